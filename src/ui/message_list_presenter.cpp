#include "ui/message_list_presenter.hpp"

#include <algorithm>
#include <chrono>

#include "core/config/bundle_lookup.hpp"
#include "core/url_encode.hpp"
#include "services/message_service.hpp"
#include "ui/bridge/page_payloads.hpp"
#include "ui/bridge/page_scripts.hpp"
#include "ui/presentation.hpp"
#include "ui/text/strings.hpp"
#include "usecases/conversation_requests.hpp"
#include "usecases/conversation_use_cases.hpp"

namespace vesk {

namespace {

constexpr auto kPageDebounce = std::chrono::milliseconds(200);
constexpr auto kTypingShown = std::chrono::seconds(10);
constexpr auto kIdentifyProgress = std::chrono::milliseconds(500);

// The debounce key of a page message: its name and arguments.
std::string keyOf(const PageMessage& message) {
    std::string key = message.name;
    if (message.arguments) {
        for (const auto& [name, value] : *message.arguments) {
            key += '\n' + name + '=' + value;
        }
    }
    return key;
}

// A message the user wrote that the service has not given an id of its own yet.
bool isUnsent(const Message& m) {
    return m.type == "reply_user" && m.randomId != 0 && m.id == std::to_string(m.randomId);
}

// The attachments of a message: each object's "url" and "mime_type".
std::vector<std::pair<std::string, std::string>> attachmentsOf(const Message& m) {
    std::vector<std::pair<std::string, std::string>> out;
    const auto* items = m.attachments ? m.attachments->array() : nullptr;
    if (items == nullptr) {
        return out;
    }
    for (const auto& item : *items) {
        if (const auto* object = item.object()) {
            auto url = json::optString(*object, "url");
            if (url) {
                out.emplace_back(std::move(*url),
                                 json::optString(*object, "mime_type").value_or(""));
            }
        }
    }
    return out;
}

}  // namespace

MessageListWebViewPresenter::MessageListWebViewPresenter(ChatDependencies& deps, ChatWindow& window,
                                                         std::shared_ptr<WebView> page)
    : deps_(deps), window_(window), page_(std::move(page)) {
    disposeBag_.insert(page_->messages.asObservable().subscribe(
        [this](const PageMessage& message) { onPageMessage(message); }));
}

bool MessageListWebViewPresenter::initWebView() {
    const auto& messenger = deps_.conversations.messenger.messenger.value();
    if (!messenger) {
        return false;
    }
    const auto language = deps_.languageCode ? deps_.languageCode() : std::nullopt;
    page_->evaluate(
        script::initDialogue(localizedSettingsText(*messenger, deps_.providerName, language)));
    page_->evaluate(script::blurOnTouch());
    return true;
}

void MessageListWebViewPresenter::clearMessages() {
    const bool shown = !displayed_.empty() || !typing_.empty();
    displayed_.clear();
    byId_.clear();
    byRandomId_.clear();
    shownList_.reset();
    for (auto& [id, timer] : typing_) {
        timer.cancel();
    }
    typing_.clear();
    if (shown) {
        initWebView();  // a fill starts the page over, empty
    }
}

void MessageListWebViewPresenter::addOrUpdateMessages(const MessageList& list) {
    std::optional<std::vector<const Message*>> added;
    if (shownList_) {
        added = list.addedSince(*shownList_);
    }
    if (!added) {
        added.emplace();
        for (const auto& message : list) {
            added->push_back(&message);
        }
    }
    shownList_ = list;
    std::vector<MessageEntity> fresh;
    for (const Message* message : *added) {
        auto entity = getMessageEntity(*message, unsentStatus(*message), "");
        const auto sameId = byId_.find(entity.id);
        auto at = sameId != byId_.end() ? std::optional<std::size_t>(sameId->second) : std::nullopt;
        if (!at && entity.randomId != 0) {
            if (const auto sameRandom = byRandomId_.find(entity.randomId);
                sameRandom != byRandomId_.end()) {
                at = sameRandom->second;
            }
        }
        if (!at) {
            fresh.push_back(std::move(entity));
            continue;
        }
        // The page knows the message by the id it was given; the update may carry a new one.
        auto& shown = displayed_[*at];
        page_->evaluate(
            script::updateMessage(shown.id, json::Codec<MessageEntity>::encode(entity)));
        byId_.erase(shown.id);
        byId_[entity.id] = *at;
        if (entity.randomId != 0) {
            byRandomId_[entity.randomId] = *at;
        }
        shown = std::move(entity);
    }
    send(fresh);
}

void MessageListWebViewPresenter::addOrUpdate(const Message& message, const std::string& status) {
    auto entity = getMessageEntity(message, status, "");
    if (const auto found = byId_.find(entity.id); found != byId_.end()) {
        page_->evaluate(
            script::updateMessage(entity.id, json::Codec<MessageEntity>::encode(entity)));
        displayed_[found->second] = std::move(entity);
        return;
    }
    send({std::move(entity)});
}

void MessageListWebViewPresenter::send(const std::vector<MessageEntity>& added) {
    if (added.empty()) {
        return;
    }
    for (const auto& entity : added) {
        byId_[entity.id] = displayed_.size();
        if (entity.randomId != 0) {
            byRandomId_[entity.randomId] = displayed_.size();
        }
        displayed_.push_back(entity);
    }
    page_->evaluate(script::addMessages(added));
}

void MessageListWebViewPresenter::showStatus(const std::string& id, const std::string& status) {
    if (byId_.contains(id)) {
        page_->evaluate(script::updateMessage(id, messageStatusJson(status)));
    }
}

void MessageListWebViewPresenter::showTyping(const Message& typing) {
    const std::string id = typing.id;
    auto [entry, isNew] = typing_.try_emplace(id);
    if (isNew) {
        page_->evaluate(script::addMessages({getMessageEntity(typing, "", "")}));
    }
    // A later notice keeps the operator shown for its own 10 seconds.
    entry->second.cancel();
    entry->second = deps_.scheduler.schedule(kTypingShown, [this, id] {
        typing_.erase(id);
        page_->evaluate(script::deleteMessage(id));
    });
}

// ---- the page's messages ----------------------------------------------------------

void MessageListWebViewPresenter::onPageMessage(const PageMessage& message) {
    auto event = conversationPageEvent(message);
    if (!event) {
        return;
    }
    // The same message again within 200 ms acts once, after the burst; another
    // message (another attachment, say) has its own wait.
    const auto key = keyOf(message);
    auto& pending = debounced_[key];
    pending.cancel();
    pending = deps_.scheduler.schedule(kPageDebounce, [this, key, event = std::move(*event)] {
        debounced_.erase(key);
        act(event);
    });
}

void MessageListWebViewPresenter::act(const ConversationPageEvent& event) {
    std::visit(
        [this](const auto& e) {
            using E = std::decay_t<decltype(e)>;
            if constexpr (std::is_same_v<E, page::ScrollTop>) {
                loadOlder();
            } else if constexpr (std::is_same_v<E, page::OpenLink>) {
                if (e.url) {
                    openLink(*e.url);
                }
            } else if constexpr (std::is_same_v<E, page::SendContactDetails>) {
                if (e.messageId && e.type && e.value) {
                    const JsonObject details{{"type", JsonValue(*e.type)},
                                             {"value", JsonValue(text::trim(*e.value))}};
                    sendMeta(*e.messageId,
                             JsonValue(JsonObject{{"contact_details", JsonValue(details)}}));
                }
            } else if constexpr (std::is_same_v<E, page::SendVote>) {
                if (e.messageId && e.vote) {
                    sendMeta(*e.messageId,
                             JsonValue(JsonObject{
                                 {"vote", JsonValue(*e.vote)},
                                 {"comment", JsonValue(text::trim(e.comment.value_or("")))}}));
                }
            } else if constexpr (std::is_same_v<E, page::Identify>) {
                identify(e.properties);
            } else if constexpr (std::is_same_v<E, page::TrackEvent>) {
                if (deps_.trackEvent) {
                    deps_.trackEvent(e.name, "");
                }
            } else if constexpr (std::is_same_v<E, page::ClickErrorMessage>) {
                if (e.messageId) {
                    openErrorMessage(*e.messageId);
                }
            } else if constexpr (std::is_same_v<E, page::ClickImage>) {
                if (e.imageUrl) {
                    openImage(*e.imageUrl);
                }
            } else if constexpr (std::is_same_v<E, page::DownloadAttach>) {
                if (e.messageId) {
                    followDownload(*e.messageId, Download::start);
                }
            } else if constexpr (std::is_same_v<E, page::OpenAttach>) {
                if (e.messageId) {
                    followDownload(*e.messageId, Download::open);
                }
            } else if constexpr (std::is_same_v<E, page::CancelDownloadAttach>) {
                if (e.messageId) {
                    followDownload(*e.messageId, Download::cancel);
                }
            } else if constexpr (std::is_same_v<E, page::ChooseDateCalendly>) {
                deps_.steps.accept(SdkStep::calendly(e.joinUrl, e.signature));
            } else if constexpr (std::is_same_v<E, page::JoinMeetingZoom>) {
                openLink(e.joinUrl);
            }
        },
        event);
}

void MessageListWebViewPresenter::openLink(const std::string& text) {
    if (const auto link = openableLink(text)) {
        window_.openUrl(*link);
    }
}

void MessageListWebViewPresenter::identify(const page::Arguments& arguments) {
    std::vector<UserProperty> properties;
    if (arguments) {
        for (const auto& [key, value] : *arguments) {
            properties.emplace_back(key, value, UserProperty::Operations::updateOrCreate);
        }
    }
    if (deps_.setUserProperty && !properties.empty()) {
        deps_.setUserProperty(std::move(properties));
    }
    deps_.steps.accept(SdkStep::of(SdkStep::Kind::showProgress));
    progress_.cancel();
    progress_ = deps_.scheduler.schedule(kIdentifyProgress, [this] {
        deps_.steps.accept(SdkStep::of(SdkStep::Kind::hideProgress));
    });
}

void MessageListWebViewPresenter::loadOlder() {
    auto& ctx = deps_.conversations;
    const auto conversation = currentConversation();
    if (!conversation || !ctx.currentState.paginatePosition || webViewIsLoadContent_) {
        return;
    }
    webViewIsLoadContent_ = true;
    page_->evaluate(script::showBackContentLoader());
    requests_.insert((rx::just(*conversation) | loadMessagesUseCase(ctx) |
                      setPaginatePositionUseCase(ctx) | rx::take(1))
                         .subscribe([this, &ctx, id = *conversation](const MessagesPage& older) {
                             webViewIsLoadContent_ = false;
                             if (older) {
                                 ctx.messages.repository(id).add(older->data);
                             }
                             page_->evaluate(script::hideBackContentLoader());
                         }));
}

void MessageListWebViewPresenter::sendMeta(const std::string& messageId, const JsonValue& meta) {
    auto& ctx = deps_.conversations;
    const auto settings = ctx.settings();
    if (!settings) {
        return;
    }
    showStatus(messageId, "loading");
    const auto service = std::make_shared<MessageService>(ctx.api(), settings);
    const auto answered = [this, messageId](const std::optional<Message>& part) {
        if (part && byId_.contains(messageId)) {
            page_->evaluate(script::updateMessage(
                messageId,
                json::Codec<MessageEntity>::encode(getMessageEntity(*part, "loaded", ""))));
        } else {
            showStatus(messageId, "loaded");
        }
    };
    requests_.insert(service->updateMessage(messageId, meta.encode())
                         .subscribe(
                             [answered, service](const Result<Response<JsonValue>>& result) {
                                 std::optional<Message> part;
                                 if (const auto* reply = result.success()) {
                                     if (auto decoded = json::Codec<Message>::decode(reply->data)) {
                                         part = std::move(decoded).value();
                                     }
                                 }
                                 answered(part);
                             },
                             [answered](const Error&) { answered(std::nullopt); }));
}

void MessageListWebViewPresenter::openErrorMessage(const std::string& messageId) {
    const Message* found = findMessage(messageId);
    if (found == nullptr) {
        return;
    }
    const Message failed = *found;
    std::vector<AlertAction> actions;
    actions.push_back({{localize("Повторить попытку", AppType::sdk), SheetAction::Style::normal},
                       [this, failed] { resend(failed); }});
    actions.push_back(
        {{localize("Удалить", AppType::sdk), SheetAction::Style::destructive}, [this, failed] {
             deps_.outbox.remove(failed.randomId);
             page_->evaluate(script::deleteMessage(failed.id));
             forget(failed.id);
             // Gone for good: the next list must not bring it back.
             deps_.conversations.messages.repository(failed.conversation.value_or("0"))
                 .remove(failed.id);
         }});
    actions.push_back({{localize("Отмена", AppType::sdk), SheetAction::Style::cancel}, nullptr});
    deps_.steps.accept(SdkStep::actionSheet(std::move(actions)));
}

void MessageListWebViewPresenter::resend(const Message& failed) {
    showStatus(failed.id, "loading");
    if (deps_.outbox.retry(failed.randomId)) {
        return;
    }
    // Not kept: an attachment, which is sent once more as it is.
    auto& screen = deps_.screen;
    requests_.insert(
        (rx::just(failed) | sendMessageUseCase(deps_.conversations))
            .subscribe([&screen](const SendOutcome& outcome) {
                if (const auto status = sentStatus(outcome)) {
                    screen.updateMessageStatus.onNext({std::to_string(outcome.randomId), *status});
                }
            }));
}

void MessageListWebViewPresenter::openImage(const std::string& url) {
    const auto* repo = deps_.conversations.messages.existing(currentConversation().value_or("0"));
    if (repo == nullptr) {
        return;
    }
    std::vector<std::string> urls;
    for (const auto& message : repo->currentMessages()) {
        for (auto& [link, mime] : attachmentsOf(message)) {
            if (mime.rfind("image", 0) == 0) {
                urls.push_back(std::move(link));
            }
        }
    }
    if (urls.empty()) {
        return;
    }
    const auto at = std::find(urls.begin(), urls.end(), url);
    const auto index = at == urls.end() ? 0 : static_cast<std::size_t>(at - urls.begin());
    deps_.steps.accept(VXStep::showImages(std::move(urls), index));
}

void MessageListWebViewPresenter::followDownload(const std::string& messageId, Download what) {
    const Message* message = findMessage(messageId);
    const auto attachments =
        message ? attachmentsOf(*message) : std::vector<std::pair<std::string, std::string>>{};
    if (attachments.empty()) {
        return;
    }
    const std::string url = attachments.front().first;
    auto& downloads = deps_.downloads;
    auto [follower, isNew] = downloads_.try_emplace(messageId);
    if (isNew) {
        follower->second.states.insert(downloads.getFileState(url, {}).subscribe(
            [this, messageId, url](const DownloadState& state) {
                downloads_[messageId].last = state;
                deps_.screen.downloads.onNext({messageId, url, state});
                const JsonObject update{{"status", JsonValue(downloadStateName(state.kind))},
                                        {"progress", JsonValue(state.percent)}};
                page_->evaluate(script::updateMessageAttachment(messageId, JsonValue(update)));
            }));
    }
    switch (what) {
        case Download::start:
            downloads.startDownload(url);
            break;
        case Download::cancel:
            downloads.cancel(url);
            break;
        case Download::open:
            if (const auto& last = downloads_[messageId].last;
                last.kind == DownloadState::Kind::done) {
                deps_.steps.accept(VXStep::showFile(last.file));
            }
            break;
    }
}

const Message* MessageListWebViewPresenter::findMessage(const std::string& id) const {
    for (const auto& conversation : {currentConversation().value_or("0"), std::string("0")}) {
        if (const auto* repo = deps_.conversations.messages.existing(conversation)) {
            if (const auto* found = repo->find(id)) {
                return found;
            }
        }
    }
    return nullptr;
}

// A message the user wrote that the service does not have yet shows as on its
// way, or as failed when its last try failed.
std::string MessageListWebViewPresenter::unsentStatus(const Message& message) const {
    if (!isUnsent(message)) {
        return "";
    }
    return deps_.outbox.failed(message.randomId) ? "warning" : "loading";
}

std::optional<std::string> MessageListWebViewPresenter::currentConversation() const {
    return deps_.conversations.currentState.dialogId.value();
}

void MessageListWebViewPresenter::forget(const std::string& id) {
    const auto found = byId_.find(id);
    if (found == byId_.end()) {
        return;
    }
    displayed_.erase(displayed_.begin() + static_cast<std::ptrdiff_t>(found->second));
    byId_.clear();
    byRandomId_.clear();
    for (std::size_t i = 0; i < displayed_.size(); ++i) {
        byId_[displayed_[i].id] = i;
        if (displayed_[i].randomId != 0) {
            byRandomId_[displayed_[i].randomId] = i;
        }
    }
}

// ---- the screen ----------------------------------------------------------------------

MessageListPresenter::MessageListPresenter(ChatDependencies& deps, ChatWindow& window,
                                           std::shared_ptr<WebView> page)
    : deps_(deps), webViewPresenter_(deps, window, std::move(page)) {
    auto& ctx = deps_.conversations;
    disposeBag_.insert(
        webViewPresenter_.page()->didFinishLoad.asObservable().subscribe([this](bool loaded) {
            if (loaded) {
                loadData();
            }
        }));
    disposeBag_.insert(deps_.screen.updateMessageStatus.asObservable().subscribe(
        [this](const std::pair<std::string, std::string>& update) {
            webViewPresenter_.showStatus(update.first, update.second);
        }));
    disposeBag_.insert(ctx.currentState.typingIndicator.asObservable().subscribe(
        [this, &ctx](const Message& typing) {
            if (typing.conversation == ctx.currentState.dialogId.value()) {
                webViewPresenter_.showTyping(typing);
            }
        }));
}

void MessageListPresenter::appeared() {
    auto& ctx = deps_.conversations;
    const auto conversation = ctx.currentState.dialogId.value();
    if (!conversation) {
        return;
    }
    // Read here, so the counts fall at once; the service hears of it too.
    setMessageRead(ctx, conversation);
    reads_.insert((rx::just(conversation) | readDialogUseCase(ctx)).subscribe());
}

void MessageListPresenter::retry() {
    deps_.screen.state.onNext(NavigationViewState::contentLoading());
    auto& page = *webViewPresenter_.page();
    page.didFinishLoad.accept(false);
    page.load();
}

void MessageListPresenter::loadData() {
    dialogDisposeBag_ = rx::DisposeBag();
    auto& ctx = deps_.conversations;
    // The page is filled once the messenger is known; then it follows the
    // conversation shown.
    auto filled = std::make_shared<bool>(false);
    dialogDisposeBag_.insert(
        rx::combineLatest(ctx.messenger.messenger.asObservable(),
                          ctx.currentState.dialogId.asObservable())
            .subscribe(
                [this, filled](
                    const std::tuple<std::optional<Messenger>, std::optional<std::string>>& state) {
                    if (!*filled) {
                        if (!std::get<0>(state) || !webViewPresenter_.initWebView()) {
                            return;
                        }
                        *filled = true;
                    } else if (std::get<1>(state) == shownConversation_) {
                        return;
                    }
                    show(std::get<1>(state));
                }));
}

void MessageListPresenter::show(const std::optional<std::string>& conversation) {
    shownConversation_ = conversation;
    loadMessagesDisposeBag_ = rx::DisposeBag();
    webViewPresenter_.clearMessages();
    auto& ctx = deps_.conversations;
    auto& screen = deps_.screen;
    if (conversation) {
        clearMessages(ctx, conversation);
        deps_.outbox.list();  // what waits to be sent shows at once, connected or not
        loadMessagesDisposeBag_.insert(
            (rx::just(*conversation) | loadMessagesUseCase(ctx) | setPaginatePositionUseCase(ctx) |
             rx::take(1))
                .subscribe([&ctx, &screen, id = *conversation](const MessagesPage& page) {
                    if (!page) {
                        screen.state.onNext(failureState(page.error()));
                        return;
                    }
                    addPage(ctx, id, page->data);
                    screen.state.onNext(NavigationViewState::hide());
                }));
    } else {
        loadMessagesDisposeBag_.insert(
            (getWelcomeMessageUseCase(ctx) | rx::take(1)).subscribe([this](const Message& welcome) {
                webViewPresenter_.addOrUpdate(welcome, "");
            }));
        screen.state.onNext(NavigationViewState::hide());
    }
    // A message sent before its conversation exists waits under "0".
    loadMessagesDisposeBag_.insert(ctx.messages.repository(conversation.value_or("0"))
                                       .messages()
                                       .subscribe([this](const MessageList& list) {
                                           webViewPresenter_.addOrUpdateMessages(list);
                                           webViewPresenter_.page()->evaluate(
                                               script::hideBackContentLoader());
                                       }));
}

}  // namespace vesk
