// The chat's reference web widget: one script for the four pages (messages, list,
// popup, booking), told apart by <body data-vesk-page>. The library drives a page
// through window.webView and hears back through veskiossdk:// navigations, which it
// cancels. Everything shown from data is built with createElement/textContent.
'use strict';

(() => {
  const root = document.documentElement;
  const pageKind = document.body.dataset.veskPage || 'messages';

  // ---- page -> library -----------------------------------------------------------

  // Two navigations in one task replace each other, so messages leave one at a time:
  // the next after the library acknowledges the last (methodComplete), or after a
  // while when nothing acknowledges (a page opened in a plain browser).
  const outbox = [];
  let awaiting = null;
  let awaitTimer = 0;
  const kAckWaitMs = 400;

  function send(name, args) {
    let url = 'veskiossdk://' + name;
    const pairs = [];
    for (const [key, value] of Object.entries(args || {})) {
      if (value !== undefined && value !== null) {
        pairs.push(encodeURIComponent(key) + '=' + encodeURIComponent(String(value)));
      }
    }
    if (pairs.length) url += '?' + pairs.join('&');
    outbox.push({ name, url });
    pump();
  }

  function pump() {
    if (awaiting !== null || outbox.length === 0) return;
    const next = outbox.shift();
    awaiting = next.name;
    awaitTimer = setTimeout(release, kAckWaitMs);
    window.location.href = next.url;
  }

  function release() {
    clearTimeout(awaitTimer);
    awaiting = null;
    pump();
  }

  // ---- helpers -------------------------------------------------------------------

  function el(tag, className, text) {
    const node = document.createElement(tag);
    if (className) node.className = className;
    if (text !== undefined && text !== null) node.textContent = String(text);
    return node;
  }

  // Only web links leave the page; anything else (javascript:, data:, file:) is dropped.
  function webUrl(text) {
    if (typeof text !== 'string' || text === '') return null;
    try {
      const url = new URL(text);
      return url.protocol === 'http:' || url.protocol === 'https:' ? url.href : null;
    } catch (_) {
      return null;
    }
  }

  function str(value) {
    return typeof value === 'string' ? value : value === undefined || value === null ? '' : String(value);
  }

  function obj(value) {
    return value && typeof value === 'object' && !Array.isArray(value) ? value : null;
  }

  // Updates come as an object or as an array of one-member objects.
  function flatten(update) {
    if (Array.isArray(update)) {
      const out = {};
      for (const item of update) {
        const o = obj(item);
        if (o) Object.assign(out, o);
      }
      return out;
    }
    return obj(update) || {};
  }

  const settings = { color: '#2c6ef2', locale: 'en', raw: null };

  function applySettings(appSettings) {
    const s = obj(appSettings) || {};
    settings.raw = s;
    const app = obj(s.app) || {};
    const messenger = obj(app.settings) || {};
    const color = str(messenger.messenger_collapsed_color || s.messenger_collapsed_color);
    if (/^#(?:[0-9a-fA-F]{3}|[0-9a-fA-F]{6}|[0-9a-fA-F]{8})$/.test(color)) settings.color = color;
    const locale = str(s.locale || messenger.locale || navigator.language || 'en');
    settings.locale = locale.toLowerCase().startsWith('ru') ? 'ru' : 'en';
    root.lang = settings.locale;
    root.style.setProperty('--vesk-accent', settings.color);
    root.style.setProperty('--vesk-on-accent', isLight(settings.color) ? '#1b1f24' : '#ffffff');
  }

  function isLight(hex) {
    let h = hex.slice(1);
    if (h.length === 3) h = h.replace(/./g, (c) => c + c);
    const [r, g, b] = [0, 2, 4].map((i) => parseInt(h.slice(i, i + 2), 16) / 255);
    return 0.2126 * r + 0.7152 * g + 0.0722 * b > 0.6;
  }

  const texts = {
    en: {
      operator: 'Operator', typing: 'is typing', notSent: 'Not sent. Tap to retry',
      sending: 'Sending…', download: 'Download', cancel: 'Cancel', open: 'Open',
      failed: 'Download failed. Tap to retry', chooseDate: 'Choose a date',
      joinMeeting: 'Join the meeting', send: 'Send', comment: 'Add a comment',
      thanks: 'Thank you!', email: 'Your e-mail', phone: 'Your phone', ok: 'OK',
      close: 'Close', noMessages: 'No messages yet', booking: 'Book a meeting',
      pickDay: 'Pick a day', pickTime: 'Pick a time', confirm: 'Confirm',
      requested: 'Booking sent for', you: 'You', showAll: 'Show all',
    },
    ru: {
      operator: 'Оператор', typing: 'печатает', notSent: 'Не отправлено. Нажмите, чтобы повторить',
      sending: 'Отправка…', download: 'Скачать', cancel: 'Отменить', open: 'Открыть',
      failed: 'Не удалось скачать. Нажмите, чтобы повторить', chooseDate: 'Выбрать дату',
      joinMeeting: 'Присоединиться к встрече', send: 'Отправить', comment: 'Добавить комментарий',
      thanks: 'Спасибо!', email: 'Ваш e-mail', phone: 'Ваш телефон', ok: 'OK',
      close: 'Закрыть', noMessages: 'Сообщений пока нет', booking: 'Запись на встречу',
      pickDay: 'Выберите день', pickTime: 'Выберите время', confirm: 'Подтвердить',
      requested: 'Запись отправлена на', you: 'Вы', showAll: 'Показать полностью',
    },
  };
  const t = (key) => texts[settings.locale][key] || texts.en[key];

  // Formatters are costly to make; thousands of messages share two.
  const formats = { locale: '', clock: null, day: null };
  function timeText(seconds) {
    const n = Number(seconds);
    if (!Number.isFinite(n) || n <= 0) return '';
    if (formats.locale !== settings.locale) {
      formats.locale = settings.locale;
      formats.clock = new Intl.DateTimeFormat(settings.locale, { hour: '2-digit', minute: '2-digit' });
      formats.day = new Intl.DateTimeFormat(settings.locale, { day: 'numeric', month: 'short' });
    }
    const date = new Date(n * 1000);
    const clock = formats.clock.format(date);
    if (date.toDateString() === new Date().toDateString()) return clock;
    return formats.day.format(date) + ', ' + clock;
  }

  function sizeText(bytes) {
    const n = Number(bytes);
    if (!Number.isFinite(n) || n < 0) return '';
    if (n < 1024) return n + ' B';
    if (n < 1024 * 1024) return (n / 1024).toFixed(n < 10 * 1024 ? 1 : 0) + ' KB';
    return (n / (1024 * 1024)).toFixed(1) + ' MB';
  }

  // A round avatar: the person's initials under their picture, so a missing or
  // broken picture still shows someone.
  function avatar(person, className) {
    const p = obj(person) || {};
    const name = str(p.name).trim();
    const box = el('span', 'vesk-avatar' + (className ? ' ' + className : ''));
    box.setAttribute('aria-hidden', 'true');
    const initials = name.split(/\s+/).filter(Boolean).slice(0, 2).map((w) => Array.from(w)[0]).join('');
    box.appendChild(el('span', 'vesk-initials', initials.toUpperCase() || '•'));
    const src = webUrl(str(p.avatar));
    if (src) {
      const img = el('img');
      img.alt = '';
      img.loading = 'lazy';
      img.src = src;
      img.addEventListener('error', () => img.remove());
      box.appendChild(img);
    }
    return box;
  }

  // ---- text: links and emoji -----------------------------------------------------

  const kEmoji = {
    smile: '😄', smiley: '😃', grinning: '😀', grin: '😁', joy: '😂', laughing: '😆',
    blush: '😊', wink: '😉', slight_smile: '🙂', heart_eyes: '😍', kissing_heart: '😘',
    thinking: '🤔', neutral_face: '😐', confused: '😕', disappointed: '😞', cry: '😢',
    sob: '😭', angry: '😠', rage: '😡', scream: '😱', sweat_smile: '😅', sunglasses: '😎',
    innocent: '😇', upside_down: '🙃', relieved: '😌', sleeping: '😴', thumbsup: '👍', '+1': '👍',
    thumbsdown: '👎', '-1': '👎', ok_hand: '👌', clap: '👏', wave: '👋', pray: '🙏',
    muscle: '💪', raised_hands: '🙌', point_up: '☝️', v: '✌️', handshake: '🤝', heart: '❤️',
    broken_heart: '💔', star: '⭐', sparkles: '✨', fire: '🔥', tada: '🎉', gift: '🎁',
    rocket: '🚀', white_check_mark: '✅', heavy_check_mark: '✔️', x: '❌', warning: '⚠️',
    question: '❓', exclamation: '❗', bulb: '💡', eyes: '👀', coffee: '☕', calendar: '📅',
    phone: '📞', email: '📧', paperclip: '📎', lock: '🔒', key: '🔑', moneybag: '💰',
    credit_card: '💳', package: '📦', truck: '🚚', hourglass: '⌛', clock: '🕐', sun: '☀️',
    smile_cat: '😸', '100': '💯',
  };
  const kEmojiPattern = /:([a-z0-9_+-]{1,40}):/g;

  function emojify(text) {
    return text.indexOf(':') < 0 ? text : text.replace(kEmojiPattern, (m, name) => kEmoji[name] || m);
  }

  const kLinkPattern = /\b(?:https?:\/\/|www\.)[^\s<>"']+/gi;
  const kZoomPattern = /(?:^|[^A-Za-z0-9_.~:/?#@!$&*+,;=%-])((?:https?:\/\/)?(?:us[0-9]{1,2}web\.)?(?:[A-Za-z0-9-]+\.)*zoom\.us\/\w\/\d*[^\s<>"']*)/;

  function trimLink(raw) {
    return raw.replace(/[.,;:!?)\]}]+$/, '');
  }

  // The message text as text nodes and links; the whole text stays in one element.
  function richText(body, className) {
    const box = el('div', className || 'vesk-text');
    const text = emojify(body);
    let at = 0;
    kLinkPattern.lastIndex = 0;
    let links = 0;
    for (let m = kLinkPattern.exec(text); m && links < 1000; m = kLinkPattern.exec(text)) {
      const raw = trimLink(m[0]);
      const href = webUrl(/^www\./i.test(raw) ? 'https://' + raw : raw);
      if (!href) continue;
      if (m.index > at) box.appendChild(document.createTextNode(text.slice(at, m.index)));
      const a = el('a', 'vesk-link', raw);
      a.href = href;
      a.rel = 'noopener noreferrer';
      a.dataset.veskLink = href;
      box.appendChild(a);
      links += 1;
      at = m.index + raw.length;
      kLinkPattern.lastIndex = at;
    }
    if (at < text.length) box.appendChild(document.createTextNode(text.slice(at)));
    return box;
  }

  // A very long text shows its beginning until asked for the rest: laying out a
  // megabyte of text would hold the page for seconds.
  const kShortText = 20000;
  function messageText(body) {
    if (body.length <= kShortText) return richText(body);
    let cut = kShortText;
    if (/[\uDC00-\uDFFF]/.test(body[cut])) cut -= 1;
    const part = document.createDocumentFragment();
    const shown = richText(body.slice(0, cut) + '…');
    shown.dataset.truncated = String(body.length);
    const more = el('button', 'vesk-more', t('showAll'));
    more.type = 'button';
    more.addEventListener('click', () => {
      shown.replaceWith(richText(body));
      more.remove();
    });
    part.append(shown, more);
    return part;
  }

  // Links anywhere on a page go to the library, never into this web view.
  document.addEventListener('click', (event) => {
    const a = event.target instanceof Element ? event.target.closest('a[data-vesk-link]') : null;
    if (!a) return;
    event.preventDefault();
    event.stopPropagation();
    send('openLink', { url: a.dataset.veskLink });
    if (pageKind === 'popup') closeSoon();
  }, true);

  // ---- blocks shared by message cards and popups ---------------------------------

  // Buttons of a structured body: each opens a link, records an event or closes.
  function actionButtons(items, onClose) {
    const row = el('div', 'vesk-actions');
    for (const item of Array.isArray(items) ? items : []) {
      const b = obj(item);
      if (!b) continue;
      const label = str(b.text || b.title || b.label) || t('ok');
      const button = el('button', 'vesk-button', label);
      button.type = 'button';
      const url = webUrl(str(b.url || b.link));
      const eventName = str(b.event_name || b.eventName);
      // A button that does nothing else closes the popup (through data-vesk-close).
      const closes = b.action === 'close' || (!url && !eventName);
      if (onClose && closes) button.dataset.veskClose = '';
      if (b.primary === true || (b.primary !== false && !closes)) button.classList.add('vesk-primary');
      if (url || eventName) {
        button.addEventListener('click', () => {
          if (eventName) send('trackEvent', { eventName });
          if (url) send('openLink', { url });
          if (onClose) onClose();
        });
      }
      row.appendChild(button);
    }
    return row.childElementCount ? row : null;
  }

  // Fields of a structured body; their values are sent as the user's properties.
  function identifyForm(fields, submitText, done) {
    const list = (Array.isArray(fields) ? fields : []).map(obj).filter((f) => f && str(f.name));
    if (!list.length) return null;
    const form = el('form', 'vesk-form');
    const inputs = [];
    for (const f of list) {
      const label = el('label', 'vesk-field');
      label.appendChild(el('span', 'vesk-field-label', str(f.label || f.name)));
      const input = el('input', 'vesk-input');
      input.name = str(f.name);
      input.type = ['email', 'tel', 'number', 'text'].includes(f.type) ? f.type : 'text';
      input.placeholder = str(f.placeholder);
      input.required = f.required !== false;
      inputs.push(input);
      label.appendChild(input);
      form.appendChild(label);
    }
    const submit = el('button', 'vesk-button vesk-primary', str(submitText) || t('send'));
    submit.type = 'submit';
    form.appendChild(submit);
    form.addEventListener('submit', (event) => {
      event.preventDefault();
      const args = {};
      for (const input of inputs) args[input.name] = input.value.trim();
      send('identify', args);
      if (done) done();
    });
    return form;
  }

  // ---- the conversation page -----------------------------------------------------

  const chat = {
    list: null, // the element holding the messages, in page order
    records: [], // {entity, el, key, seq} sorted by (created, seq)
    byId: new Map(), // every id a message was known by -> record
    downloads: new Map(), // message id -> {state, progress}
    typing: new Map(), // typing id -> operator
    cards: new Map(), // message id -> what the user did on its card
    seq: 0,
    atTopSent: false,
    loaderShown: false,
    // Whether the view follows the newest message; cleared when the user scrolls up.
    stuck: true,
  };

  const kStatusNames = { '': 'sent' };

  function statusOf(entity) {
    const s = str(entity.status);
    return Object.prototype.hasOwnProperty.call(kStatusNames, s) ? kStatusNames[s] : s;
  }

  function isMine(entity) {
    return entity.direction === 'u2a' || entity.type === 'reply_user';
  }

  function isTyping(entity) {
    return str(entity.type).startsWith('typing');
  }

  function operatorOf(entity) {
    const from = obj(entity.from);
    return from || { name: t('operator') };
  }

  function attachmentsOf(entity) {
    return (Array.isArray(entity.attachments) ? entity.attachments : []).map(obj).filter(Boolean);
  }

  const kDownloadStates = { progress: 'downloading', done: 'done', error: 'failed', none: 'idle', '': 'idle' };

  function downloadOf(entity) {
    const known = chat.downloads.get(str(entity.id));
    if (known) return known;
    const first = attachmentsOf(entity)[0];
    const state = kDownloadStates[str(first && first.status)] || 'idle';
    return { state, progress: state === 'done' ? 100 : 0 };
  }

  function renderMessage(entity) {
    const id = str(entity.id);
    const mine = isMine(entity);
    const status = statusOf(entity);
    const row = el('div', 'vesk-message ' + (mine ? 'vesk-mine' : 'vesk-theirs'));
    row.dataset.messageId = id;
    row.dataset.status = status;
    row.dataset.type = str(entity.type);
    if (!mine) {
      const operator = operatorOf(entity);
      row.appendChild(avatar(operator));
    }
    const column = el('div', 'vesk-column');
    if (!mine) column.appendChild(el('div', 'vesk-author', str(operatorOf(entity).name) || t('operator')));
    const bubble = el('div', 'vesk-bubble');
    column.appendChild(bubble);
    const body = str(entity.body);
    const bodyJson = obj(entity.body_json);
    if (entity.type === 'article' && bodyJson) {
      bubble.classList.add('vesk-article');
      const title = el('div', 'vesk-article-title', body);
      bubble.appendChild(title);
      if (bodyJson.description) bubble.appendChild(el('div', 'vesk-article-desc', str(bodyJson.description)));
      const href = webUrl(str(bodyJson.url));
      if (href) {
        const a = el('a', 'vesk-link', href);
        a.href = href;
        a.dataset.veskLink = href;
        bubble.appendChild(a);
      }
      title.classList.add('vesk-text');
    } else if (body !== '' || !attachmentsOf(entity).length) {
      bubble.appendChild(messageText(body));
    } else {
      bubble.appendChild(el('div', 'vesk-text'));
    }
    const files = renderAttachments(entity);
    if (files) bubble.appendChild(files);
    const card = renderCard(entity, bodyJson, body);
    if (card) bubble.appendChild(card);
    const meta = el('div', 'vesk-meta');
    meta.appendChild(el('time', 'vesk-time', timeText(entity.created)));
    if (mine) meta.appendChild(statusMark(status));
    column.appendChild(meta);
    if (mine && status === 'warning') {
      column.appendChild(el('div', 'vesk-error-note', t('notSent')));
    }
    row.appendChild(column);
    return row;
  }

  function statusMark(status) {
    const mark = el('span', 'vesk-status');
    const symbols = { loading: '◷', sent: '✓', loaded: '✓', read: '✓✓', warning: '!' };
    mark.textContent = symbols[status] || '';
    mark.title = status === 'loading' ? t('sending') : status === 'warning' ? t('notSent') : '';
    return mark;
  }

  function renderAttachments(entity) {
    const items = attachmentsOf(entity);
    if (!items.length) return null;
    const box = el('div', 'vesk-attachments');
    const download = downloadOf(entity);
    items.forEach((a, index) => {
      const url = webUrl(str(a.url));
      const isImage = str(a.mime_type).startsWith('image') && url;
      const item = el('button', isImage ? 'vesk-image' : 'vesk-file');
      item.type = 'button';
      item.dataset.attachmentId = str(a.id);
      // Downloads name the message, so its first attachment carries the state.
      const state = index === 0 ? download : { state: 'idle', progress: 0 };
      item.dataset.state = state.state;
      item.dataset.progress = String(state.progress);
      if (isImage) {
        const img = el('img');
        img.alt = str(a.filename);
        img.loading = 'lazy';
        img.src = url;
        item.appendChild(img);
        item.dataset.url = url;
      } else {
        item.appendChild(el('span', 'vesk-file-icon', '📄'));
        const info = el('span', 'vesk-file-info');
        info.appendChild(el('span', 'vesk-file-name', str(a.filename) || 'file'));
        info.appendChild(el('span', 'vesk-file-size', sizeText(a.size)));
        info.appendChild(el('span', 'vesk-file-action'));
        item.appendChild(info);
        const bar = el('span', 'vesk-progress');
        bar.appendChild(el('span', 'vesk-progress-fill'));
        item.appendChild(bar);
        paintDownload(item);
      }
      box.appendChild(item);
    });
    return box;
  }

  function paintDownload(item) {
    if (!item.classList.contains('vesk-file')) return;
    const state = item.dataset.state;
    const action = item.querySelector('.vesk-file-action');
    const labels = { idle: t('download'), downloading: item.dataset.progress + '% · ' + t('cancel'), done: t('open'), failed: t('failed') };
    if (action) action.textContent = labels[state] || '';
    const fill = item.querySelector('.vesk-progress-fill');
    if (fill) fill.style.width = (state === 'downloading' ? item.dataset.progress : state === 'done' ? 100 : 0) + '%';
  }

  // Booking offers, meeting links, ratings, contact requests and structured bodies.
  function renderCard(entity, bodyJson, body) {
    const id = str(entity.id);
    const kind = str((bodyJson && bodyJson.type) || entity.reply_type);
    const meta = obj(entity.meta_data) || {};
    if (kind === 'calendly') {
      const url = webUrl(str(bodyJson && bodyJson.url));
      if (!url) return null;
      const button = el('button', 'vesk-button vesk-primary vesk-calendly', '📅 ' + t('chooseDate'));
      button.type = 'button';
      button.addEventListener('click', () => send('clickOnChooseDateCalendly', {
        joinUrl: url, signature: str(bodyJson.signature),
      }));
      return button;
    }
    if (kind === 'vote') return voteCard(id, meta);
    if (kind === 'contact_details') return contactCard(id, bodyJson, meta);
    const zoom = kZoomPattern.exec(body);
    if (zoom) {
      const raw = trimLink(zoom[1]);
      const button = el('button', 'vesk-button vesk-primary vesk-meeting', '🎥 ' + t('joinMeeting'));
      button.type = 'button';
      button.addEventListener('click', () => send('clickOnJoinMeetingZoom', {
        joinUrl: /^https?:/i.test(raw) ? raw : 'https://' + raw,
      }));
      return button;
    }
    if (bodyJson && (bodyJson.buttons || bodyJson.fields)) {
      const box = el('div', 'vesk-card');
      const buttons = actionButtons(bodyJson.buttons, null);
      if (buttons) box.appendChild(buttons);
      const form = identifyForm(bodyJson.fields, bodyJson.submit_text, () => {
        form.replaceWith(el('div', 'vesk-thanks', t('thanks')));
      });
      if (form) box.appendChild(form);
      return box.childElementCount ? box : null;
    }
    return null;
  }

  // What the user did on a card, kept over re-renders until the service's answer
  // (the message's meta_data) says it too.
  function cardState(id) {
    let state = chat.cards.get(id);
    if (!state) chat.cards.set(id, (state = {}));
    return state;
  }

  function voteCard(id, meta) {
    const local = cardState(id);
    const given = str(meta.vote) || local.vote || '';
    const box = el('div', 'vesk-vote');
    const row = el('div', 'vesk-vote-choices');
    for (const [value, symbol, label] of [['like', '👍', 'Like'], ['dislike', '👎', 'Dislike']]) {
      const b = el('button', 'vesk-vote-choice', symbol);
      b.type = 'button';
      b.dataset.vote = value;
      b.setAttribute('aria-label', label);
      b.setAttribute('aria-pressed', String(value === given));
      b.disabled = given !== '';
      b.addEventListener('click', () => {
        local.vote = value;
        send('sendEvaluation', { messageId: id, value, comment: '' });
        box.replaceWith(voteCard(id, meta));
      });
      row.appendChild(b);
    }
    box.appendChild(row);
    if (!given) return box;
    if (str(meta.comment) || local.commented) {
      box.appendChild(el('div', 'vesk-thanks', t('thanks')));
      return box;
    }
    const comment = el('form', 'vesk-vote-comment');
    const input = el('input', 'vesk-input');
    input.placeholder = t('comment');
    const submit = el('button', 'vesk-button vesk-primary', t('send'));
    submit.type = 'submit';
    comment.append(input, submit);
    comment.addEventListener('submit', (event) => {
      event.preventDefault();
      local.commented = true;
      send('sendVoteComment', { messageId: id, value: given, comment: input.value.trim() });
      comment.replaceWith(el('div', 'vesk-thanks', t('thanks')));
    });
    box.appendChild(comment);
    return box;
  }

  function contactCard(id, bodyJson, meta) {
    const details = obj(meta.contact_details);
    const local = cardState(id);
    if (details || local.contact) {
      return el('div', 'vesk-thanks', '✓ ' + str(details ? details.value : local.contact));
    }
    const type = str((bodyJson && (bodyJson.contact_type || bodyJson.field)) || 'email');
    const form = el('form', 'vesk-contact');
    const input = el('input', 'vesk-input');
    input.type = type === 'phone' ? 'tel' : 'email';
    input.placeholder = type === 'phone' ? t('phone') : t('email');
    input.required = true;
    const submit = el('button', 'vesk-button vesk-primary', t('send'));
    submit.type = 'submit';
    form.append(input, submit);
    form.addEventListener('submit', (event) => {
      event.preventDefault();
      local.contact = input.value.trim();
      send('sendContactDetails', { messageId: id, type, value: input.value });
      form.replaceWith(el('div', 'vesk-thanks', '✓ ' + local.contact));
    });
    return form;
  }

  // Taps inside the message list: failed messages, images, files.
  function onListClick(event) {
    const target = event.target instanceof Element ? event.target : null;
    if (!target || target.closest('a, input, form, .vesk-more, .vesk-vote, .vesk-calendly, .vesk-meeting, .vesk-card')) return;
    const row = target.closest('[data-message-id]');
    if (!row) return;
    const id = row.dataset.messageId;
    const image = target.closest('.vesk-image');
    if (image) {
      send('clickImage', { imageUrl: image.dataset.url });
      return;
    }
    const file = target.closest('.vesk-file');
    if (file) {
      const state = file.dataset.state;
      if (state === 'downloading') send('cancelDownloadAttachMessage', { messageId: id });
      else if (state === 'done') send('openAttachMessage', { messageId: id });
      else send('downloadAttachMessage', { messageId: id });
      return;
    }
    if (row.dataset.status === 'warning') send('clickErrorMessage', { messageId: id });
  }

  function scroller() {
    return document.body;
  }

  function nearBottom() {
    const s = scroller();
    return s.scrollHeight - s.scrollTop - s.clientHeight < 120;
  }

  function toBottom() {
    const s = scroller();
    s.scrollTop = s.scrollHeight;
    chat.stuck = true;
  }

  // Reading the layout after each call would lay out every message each time; the view
  // follows the newest message once per frame instead (or soon, where frames are not
  // drawn, as in a hidden view).
  let stickPending = 0;
  function followSoon() {
    if (stickPending) return;
    const run = () => {
      if (!stickPending) return;
      stickPending = 0;
      if (chat.stuck) toBottom();
    };
    stickPending = requestAnimationFrame(run);
    setTimeout(run, 250);
  }

  function compare(a, b) {
    return a.key - b.key || a.seq - b.seq;
  }

  // Adds a batch in one pass: sorted, then merged with what is shown, each run of new
  // messages inserted before the shown message that follows it.
  function addRecords(entities) {
    const fresh = [];
    for (const entity of entities) {
      const e = obj(entity);
      if (!e) continue;
      if (isTyping(e)) {
        showTyping(e);
        continue;
      }
      const id = str(e.id);
      const known = chat.byId.get(id);
      if (known) {
        replaceRecord(known, e);
        continue;
      }
      const record = { entity: e, el: renderMessage(e), key: Number(e.created) || 0, seq: chat.seq++ };
      chat.byId.set(id, record);
      fresh.push(record);
    }
    if (!fresh.length) return;
    fresh.sort(compare);
    const shown = chat.records;
    const onlyOlder = shown.length > 0 && compare(fresh[fresh.length - 1], shown[0]) < 0;
    const s = scroller();
    // Older messages above the reader must not move what they are reading.
    const keepPlace = onlyOlder && !chat.stuck;
    const fromBottom = keepPlace ? s.scrollHeight - s.scrollTop : 0;
    if (!shown.length || compare(fresh[0], shown[shown.length - 1]) > 0) {
      // The usual case, newer messages: one append.
      const run = document.createDocumentFragment();
      for (const record of fresh) {
        run.appendChild(record.el);
        shown.push(record);
      }
      chat.list.appendChild(run);
      afterAdd(fresh, false, false, 0);
      return;
    }
    const merged = [];
    let i = 0;
    let j = 0;
    let run = null;
    const flush = (before) => {
      if (run) chat.list.insertBefore(run, before ? before.el : null);
      run = null;
    };
    while (j < fresh.length) {
      if (i < shown.length && compare(shown[i], fresh[j]) <= 0) {
        flush(shown[i]);
        merged.push(shown[i++]);
      } else {
        run = run || document.createDocumentFragment();
        run.appendChild(fresh[j].el);
        merged.push(fresh[j++]);
      }
    }
    flush(i < shown.length ? shown[i] : null);
    while (i < shown.length) merged.push(shown[i++]);
    chat.records = merged;
    afterAdd(fresh, onlyOlder, keepPlace, fromBottom);
  }

  function afterAdd(fresh, onlyOlder, keepPlace, fromBottom) {
    markFew();
    if (keepPlace) {
      const s = scroller();
      s.scrollTop = s.scrollHeight - fromBottom;
    } else if (chat.stuck || (!onlyOlder && fresh.some((r) => isMine(r.entity)))) {
      chat.stuck = true;
      followSoon();
    }
  }

  function replaceRecord(record, entity) {
    const oldId = str(record.entity.id);
    const newId = str(entity.id);
    if (newId && newId !== oldId) {
      chat.byId.set(newId, record);
      const download = chat.downloads.get(oldId);
      if (download) chat.downloads.set(newId, download);
    }
    record.entity = entity;
    const fresh = renderMessage(entity);
    record.el.replaceWith(fresh);
    record.el = fresh;
    if (chat.stuck) followSoon();
  }

  function findRecord(id) {
    return chat.byId.get(str(id)) || null;
  }

  function removeRecord(record) {
    for (const [id, r] of chat.byId) if (r === record) chat.byId.delete(id);
    const at = chat.records.indexOf(record);
    if (at >= 0) chat.records.splice(at, 1);
    record.el.remove();
    markFew();
  }

  function showTyping(entity) {
    chat.typing.set(str(entity.id), operatorOf(entity));
    paintTyping();
  }

  function paintTyping() {
    const notice = document.getElementById('vesk-typing');
    const last = Array.from(chat.typing.values()).pop();
    notice.hidden = !last;
    notice.replaceChildren();
    if (last) {
      notice.appendChild(avatar(last, 'vesk-avatar-small'));
      notice.appendChild(el('span', 'vesk-typing-text', (str(last.name) || t('operator')) + ' ' + t('typing')));
      const dots = el('span', 'vesk-dots');
      dots.append(el('i'), el('i'), el('i'));
      notice.appendChild(dots);
      if (chat.stuck) followSoon();
    }
  }

  function resetChat() {
    chat.list.replaceChildren();
    chat.records = [];
    chat.byId.clear();
    chat.downloads.clear();
    chat.typing.clear();
    chat.cards.clear();
    chat.atTopSent = false;
    chat.stuck = true;
    paintTyping();
    setLoader(false);
    markFew();
  }

  function markFew() {
    const few = chat.records.length < 40;
    if (document.body.classList.contains('vesk-few') !== few) document.body.classList.toggle('vesk-few', few);
  }

  function setLoader(shown) {
    chat.loaderShown = shown;
    document.getElementById('vesk-back-loader').hidden = !shown;
  }

  // Reaching the top asks for the previous page once, until the user leaves the top.
  function onScroll() {
    chat.stuck = nearBottom();
    const top = scroller().scrollTop;
    if (top > 200) chat.atTopSent = false;
    if (top <= 40) askOlder();
  }

  function askOlder() {
    if (chat.atTopSent || chat.loaderShown || chat.records.length === 0) return;
    chat.atTopSent = true;
    send('onScrollTop');
  }

  function setupMessages() {
    chat.list = document.getElementById('vesk-messages');
    chat.list.addEventListener('click', onListClick);
    document.body.addEventListener('scroll', onScroll, { passive: true });
    // Heights settle after insertion (images, off-screen messages laid out late): a view
    // that follows the newest message keeps following it.
    if (window.ResizeObserver) {
      new ResizeObserver(() => {
        if (chat.stuck) toBottom();
      }).observe(document.getElementById('webView'));
    }
    // A list shorter than the screen cannot scroll; pulling at the top asks too.
    document.body.addEventListener('wheel', (e) => {
      if (e.deltaY < 0 && scroller().scrollTop <= 0) askOlder();
    }, { passive: true });
    let touchY = null;
    document.body.addEventListener('touchstart', (e) => { touchY = e.touches[0].clientY; }, { passive: true });
    document.body.addEventListener('touchmove', (e) => {
      if (touchY !== null && e.touches[0].clientY - touchY > 30 && scroller().scrollTop <= 0) askOlder();
    }, { passive: true });
    markFew();
  }

  // ---- the conversation list page ------------------------------------------------

  const dialogs = { box: null, items: new Map() };

  function previewOf(part) {
    const p = obj(part) || {};
    const body = str(p.body).replace(/\s+/g, ' ').trim();
    if (body) return emojify(body.length > 300 ? body.slice(0, 300) + '…' : body);
    const files = Array.isArray(p.attachments) ? p.attachments.map(obj).filter(Boolean) : [];
    if (files.length) return '📎 ' + str(files[0].filename);
    return '';
  }

  function renderDialog(d) {
    const item = el('button', 'vesk-conversation');
    item.type = 'button';
    item.dataset.conversationId = str(d.id);
    const admin = obj(d.last_admin) || {};
    item.appendChild(avatar(admin));
    const main = el('span', 'vesk-conversation-main');
    const top = el('span', 'vesk-conversation-top');
    top.appendChild(el('span', 'vesk-conversation-name', str(admin.name) || t('operator')));
    top.appendChild(el('time', 'vesk-time', timeText(d.last_update || d.created)));
    main.appendChild(top);
    const bottom = el('span', 'vesk-conversation-bottom');
    const part = obj(d.part_last) || {};
    const mine = part.direction === 'u2a' || part.type === 'reply_user';
    bottom.appendChild(el('span', 'vesk-conversation-preview', (mine ? t('you') + ': ' : '') + previewOf(part)));
    const count = Number(d.unread_parts_count ?? d.user_unread_count) || 0;
    const unread = el('span', 'vesk-unread', count);
    unread.hidden = count <= 0;
    bottom.appendChild(unread);
    main.appendChild(bottom);
    item.appendChild(main);
    item.classList.toggle('vesk-has-unread', count > 0);
    return item;
  }

  function putDialog(d) {
    const o = obj(d);
    if (!o || o.id === undefined) return;
    const id = str(o.id);
    const fresh = renderDialog(o);
    const known = dialogs.items.get(id);
    if (known) known.el.replaceWith(fresh);
    dialogs.items.set(id, { data: o, el: fresh });
  }

  // Newest first.
  function orderDialogs() {
    const sorted = Array.from(dialogs.items.values())
      .sort((a, b) => (Number(b.data.last_update) || 0) - (Number(a.data.last_update) || 0));
    const frag = document.createDocumentFragment();
    for (const item of sorted) frag.appendChild(item.el);
    dialogs.box.appendChild(frag);
    document.body.classList.toggle('vesk-empty', sorted.length === 0);
  }

  function setupList() {
    dialogs.box = document.getElementById('vesk-conversations');
    dialogs.box.addEventListener('click', (event) => {
      const item = event.target instanceof Element ? event.target.closest('[data-conversation-id]') : null;
      if (item) send('selectDialogue', { conversationId: item.dataset.conversationId });
    });
  }

  // ---- the popup page ------------------------------------------------------------

  // The library closes the popup after an action, so a close tap after one is not sent.
  let closing = false;
  function closeSoon() {
    closing = true;
  }

  function closePopup() {
    if (closing) return;
    closing = true;
    send('closePopUp');
  }

  function renderPopup(body) {
    const box = document.getElementById('vesk-popup');
    box.replaceChildren();
    closing = false;
    const b = obj(body);
    if (!b) {
      if (body !== undefined && body !== null) box.appendChild(richText(str(body), 'vesk-popup-text'));
      return;
    }
    const image = webUrl(str(b.image || b.image_url));
    if (image) {
      const img = el('img', 'vesk-popup-image');
      img.alt = '';
      img.src = image;
      box.appendChild(img);
    }
    const title = str(b.title || b.header);
    if (title) box.appendChild(el('h1', 'vesk-popup-title', emojify(title)));
    const text = str(b.text || b.body || b.message || b.description);
    if (text) box.appendChild(richText(text, 'vesk-popup-text'));
    if (!image && !title && !text) {
      // An unknown shape still shows its words.
      for (const value of Object.values(b)) {
        if (typeof value === 'string' && value.trim()) box.appendChild(richText(value, 'vesk-popup-text'));
      }
    }
    const form = identifyForm(b.fields, b.submit_text, closeSoon);
    if (form) box.appendChild(form);
    const buttons = actionButtons(b.buttons, closeSoon) || (form ? null : actionButtons([{ text: t('ok'), action: 'close', primary: true }], closeSoon));
    if (buttons) box.appendChild(buttons);
  }

  let reportedHeight = -1;
  function reportHeight() {
    const box = document.getElementById('vesk-popup');
    const height = Math.ceil(box.getBoundingClientRect().height);
    if (height === reportedHeight || !root.dataset.veskReady) return;
    reportedHeight = height;
    send('popUpIsReady', { height });
  }

  function setupPopup() {
    const box = document.getElementById('vesk-popup');
    box.addEventListener('click', (event) => {
      const target = event.target instanceof Element ? event.target.closest('[data-vesk-close]') : null;
      if (target) {
        event.preventDefault();
        closePopup();
      }
    });
    if (window.ResizeObserver) new ResizeObserver(reportHeight).observe(box);
    box.addEventListener('load', reportHeight, true);
  }

  // ---- the booking page ----------------------------------------------------------

  const booking = { url: '', signature: '', day: '', time: '' };

  function isoDay(date) {
    const p = (n) => String(n).padStart(2, '0');
    return date.getFullYear() + '-' + p(date.getMonth() + 1) + '-' + p(date.getDate());
  }

  function renderBooking() {
    const box = document.getElementById('vesk-calendly');
    box.replaceChildren();
    const url = webUrl(booking.url);
    box.appendChild(el('h1', 'vesk-booking-title', t('booking')));
    if (url) box.appendChild(el('div', 'vesk-booking-url', new URL(url).host + new URL(url).pathname));
    box.appendChild(el('h2', 'vesk-booking-step', t('pickDay')));
    const days = el('div', 'vesk-days');
    const today = new Date();
    for (let i = 1, shown = 0; shown < 10; i++) {
      const day = new Date(today.getFullYear(), today.getMonth(), today.getDate() + i);
      if (day.getDay() === 0 || day.getDay() === 6) continue;
      shown++;
      const b = el('button', 'vesk-day');
      b.type = 'button';
      b.dataset.date = isoDay(day);
      b.appendChild(el('span', 'vesk-day-week', day.toLocaleDateString(settings.locale, { weekday: 'short' })));
      b.appendChild(el('span', 'vesk-day-number', day.getDate()));
      b.appendChild(el('span', 'vesk-day-month', day.toLocaleDateString(settings.locale, { month: 'short' })));
      b.setAttribute('aria-pressed', String(booking.day === b.dataset.date));
      days.appendChild(b);
    }
    box.appendChild(days);
    box.appendChild(el('h2', 'vesk-booking-step', t('pickTime')));
    const times = el('div', 'vesk-times');
    for (const time of ['09:00', '10:00', '11:00', '12:00', '14:00', '15:00', '16:00', '17:00']) {
      const b = el('button', 'vesk-slot', time);
      b.type = 'button';
      b.dataset.time = time;
      b.setAttribute('aria-pressed', String(booking.time === time));
      times.appendChild(b);
    }
    box.appendChild(times);
    const confirm = el('button', 'vesk-button vesk-primary vesk-wide', t('confirm'));
    confirm.id = 'vesk-calendly-confirm';
    confirm.type = 'button';
    confirm.disabled = !(url && booking.day && booking.time);
    box.appendChild(confirm);
  }

  function setupBooking() {
    const box = document.getElementById('vesk-calendly');
    box.addEventListener('click', (event) => {
      const target = event.target instanceof Element ? event.target.closest('button') : null;
      if (!target) return;
      if (target.dataset.date) booking.day = target.dataset.date;
      else if (target.dataset.time) booking.time = target.dataset.time;
      else if (target.id === 'vesk-calendly-confirm') return confirmBooking();
      renderBooking();
    });
  }

  function confirmBooking() {
    const url = webUrl(booking.url);
    if (!url || !booking.day || !booking.time) return;
    const chosen = new URL(url);
    chosen.searchParams.set('date', booking.day + 'T' + booking.time);
    send('clickOnChooseDateCalendly', { joinUrl: chosen.href, signature: booking.signature });
    const box = document.getElementById('vesk-calendly');
    const done = el('div', 'vesk-booked');
    done.appendChild(el('div', 'vesk-booked-mark', '✓'));
    done.appendChild(el('div', 'vesk-booked-text', t('requested') + ' ' + booking.day + ' ' + booking.time));
    box.replaceChildren(done);
  }

  // ---- window.webView ------------------------------------------------------------

  // A failing call must not stop later ones; failures are counted for tests.
  function guarded(fn) {
    return function (...args) {
      try {
        return fn(...args);
      } catch (error) {
        root.dataset.veskErrors = String((Number(root.dataset.veskErrors) || 0) + 1);
        console.error('webView', error);
        return undefined;
      }
    };
  }

  function ready() {
    root.dataset.veskReady = '1';
  }

  const api = {
    // The conversation list.
    initConversationList(data) {
      const d = obj(data) || {};
      applySettings(d.appSettings);
      dialogs.items.clear();
      dialogs.box.replaceChildren();
      for (const item of Array.isArray(d.unstructuredConversationList) ? d.unstructuredConversationList : []) putDialog(item);
      orderDialogs();
      ready();
    },
    addConversations(list) {
      for (const item of Array.isArray(list) ? list : []) putDialog(item);
      orderDialogs();
    },
    updateConversation(id, update) {
      const known = dialogs.items.get(str(id));
      if (!known) return;
      const patch = flatten(update);
      const data = Object.assign({}, known.data);
      for (const key of ['parts_count', 'unread_parts_count', 'last_update']) {
        if (key in patch) data[key] = patch[key];
      }
      if ('part_last' in patch) data.part_last = Object.assign({}, obj(data.part_last), flatten(patch.part_last));
      if ('last_admin' in patch) data.last_admin = Object.assign({}, obj(data.last_admin), flatten(patch.last_admin));
      putDialog(data);
      orderDialogs();
    },
    removeConversation(id) {
      const known = dialogs.items.get(str(id));
      if (!known) return;
      known.el.remove();
      dialogs.items.delete(str(id));
      document.body.classList.toggle('vesk-empty', dialogs.items.size === 0);
    },

    // The conversation.
    initDialogue(data) {
      const d = obj(data) || {};
      applySettings(d.appSettings);
      resetChat();
      addRecords(Array.isArray(d.unstructuredMessagesData) ? d.unstructuredMessagesData : []);
      ready();
    },
    addMessages(list) {
      addRecords(Array.isArray(list) ? list : [list]);
    },
    updateMessage(id, update) {
      const record = findRecord(id);
      if (!record) return;
      const patch = flatten(update);
      replaceRecord(record, Object.assign({}, record.entity, patch));
    },
    updateMessageAttachment(id, update) {
      const record = findRecord(id);
      if (!record) return;
      const patch = flatten(update);
      const state = kDownloadStates[str(patch.status)] || 'idle';
      const percent = Math.max(0, Math.min(100, Math.round(Number(patch.progress) || 0)));
      const download = { state, progress: state === 'done' ? 100 : state === 'downloading' ? percent : 0 };
      chat.downloads.set(str(record.entity.id), download);
      const item = record.el.querySelector('[data-attachment-id]');
      if (!item) return;
      item.dataset.state = download.state;
      item.dataset.progress = String(download.progress);
      paintDownload(item);
    },
    updateMessageInputStatus(id, update) {
      const record = findRecord(id);
      if (!record) return;
      const patch = flatten(update);
      const value = 'status' in patch ? str(patch.status) : JSON.stringify(update);
      record.el.dataset.inputStatus = value;
      for (const control of record.el.querySelectorAll('input, button')) {
        control.disabled = value === 'loading' || value === 'disabled';
      }
    },
    deleteMessage(id) {
      const key = str(id);
      if (chat.typing.delete(key)) {
        paintTyping();
        return;
      }
      const record = findRecord(key);
      if (record) removeRecord(record);
    },
    showBackContentLoader() {
      setLoader(true);
    },
    hideBackContentLoader() {
      // It comes after every change of the shown messages; reading the scroll position lays
      // out the whole conversation, so only when there is a loader to hide.
      if (!chat.loaderShown) return;
      setLoader(false);
      chat.atTopSent = scroller().scrollTop <= 40;
    },

    // Every page.
    methodComplete(info) {
      const name = obj(info) ? str(info.method) : '';
      if (awaiting !== null && name === awaiting) release();
    },

    // The popup.
    initPopup(data) {
      const d = obj(data) || {};
      applySettings(d.appSettings);
      let body = d.bodyJson;
      if (typeof body === 'string') {
        try {
          body = JSON.parse(body);
        } catch (_) {
          // Plain text is shown as text.
        }
      }
      renderPopup(body);
      reportedHeight = -1;
      ready();
      reportHeight();
    },

    // The booking page.
    initCalendlyWidget(data) {
      const d = obj(data) || {};
      applySettings(d.appSettings);
      booking.url = str(d.url);
      booking.signature = str(d.signature);
      booking.day = '';
      booking.time = '';
      renderBooking();
      ready();
    },
  };

  const webView = {};
  for (const [name, fn] of Object.entries(api)) webView[name] = guarded(fn);
  window.webView = webView;

  applySettings(null);
  if (pageKind === 'messages') setupMessages();
  else if (pageKind === 'list') setupList();
  else if (pageKind === 'popup') setupPopup();
  else if (pageKind === 'calendly') setupBooking();
})();
