#include "ui/launcher_presenter.hpp"

#include <re2/re2.h>

#include "core/url_encode.hpp"
#include "ui/launcher_layout.hpp"
#include "ui/resources.hpp"
#include "usecases/conversation_use_cases.hpp"
#include "vesk/emoji.hpp"

namespace vesk {

namespace {

// The channels' public chat links; the messenger's text for each follows.
constexpr const char* kVkPrefix = "https://vk.me/";
constexpr const char* kViberPrefix = "viber://pa?chatURI=";
constexpr const char* kFacebookPrefix = "https://m.me/";
constexpr const char* kTelegramPrefix = "https://t.me/";

// The texts allowed after a prefix: a channel name stays a name, never a path
// or another URL.
constexpr std::string_view kChannelNameAllowed = "-._~";

}  // namespace

std::string buildBody(const Message& message) {
    std::string text = message.type == "vote" ? R::string::rateOperator() : message.body;
    if (text.empty()) {
        text = "...";
    }
    if (message.type == "article") {
        const auto* object = message.bodyJson ? message.bodyJson->object() : nullptr;
        const auto* name = object ? object->find("name") : nullptr;
        text = name && *name && (*name)->string() ? *(*name)->string() : "...";
    }
    text = emojiUnescapedString(text);
    static const RE2 kTag("<[^>]+>");
    RE2::GlobalReplace(&text, kTag, "");
    return text.empty() ? "..." : text;
}

std::optional<std::string> badgeText(int unread) {
    if (unread < 1) {
        return std::nullopt;
    }
    return unread > 99 ? std::string("...") : std::to_string(unread);
}

std::vector<LauncherChannel> socialChannels(const Messenger& messenger) {
    struct Channel {
        bool visible;
        const std::optional<std::string>& text;
        const std::string& label;
        const char* image;
        const char* prefix;
    };
    const Channel channels[] = {
        {messenger.isVkVisible, messenger.vkText, R::string::vkLabel(), "VK", kVkPrefix},
        {messenger.isViberVisible, messenger.viberText, R::string::viberLabel(), "Viber",
         kViberPrefix},
        {messenger.isFacebookVisible, messenger.facebookText, R::string::facebookLabel(),
         "Facebook", kFacebookPrefix},
        {messenger.isTelegramVisible, messenger.telegramText, R::string::telegramLabel(),
         "Telegram", kTelegramPrefix},
    };
    std::vector<LauncherChannel> out;
    for (const auto& c : channels) {
        // Without a text the link would be the bare prefix: no item.
        if (!c.visible || !c.text || c.text->empty()) {
            continue;
        }
        const std::string link = c.prefix + percentEncode(*c.text, kChannelNameAllowed);
        if (isWellFormedUrl(link)) {
            out.push_back({{c.label, c.image}, link});
        }
    }
    return out;
}

std::shared_ptr<LauncherPresenter> LauncherPresenter::attach(ChatDependencies& deps,
                                                             std::shared_ptr<LauncherView> view,
                                                             Actions actions) {
    std::shared_ptr<LauncherPresenter> presenter(
        new LauncherPresenter(deps, std::move(view), std::move(actions)));
    presenter->start();
    return presenter;
}

LauncherPresenter::LauncherPresenter(ChatDependencies& deps, std::shared_ptr<LauncherView> view,
                                     Actions actions)
    : deps_(deps), view_(std::move(view)), actions_(std::move(actions)) {
    content_.image = R::drawable::chat();
}

void LauncherPresenter::start() {
    view_->setListener(weak_from_this());
    auto& ctx = deps_.conversations;
    // Each source replays at once; what it shows is published once, at the end.
    removed_ = true;
    disposeBag_.insert(ctx.messenger.messenger.asObservable().subscribe(
        [this](const std::optional<Messenger>& messenger) {
            content_.color =
                accentColor(messenger ? std::optional(messenger->color) : std::nullopt);
            content_.items.clear();
            links_.clear();
            if (messenger) {
                for (auto& channel : socialChannels(*messenger)) {
                    content_.items.push_back(std::move(channel.item));
                    links_.push_back(std::move(channel.link));
                }
            }
            content_.menuOpen = content_.menuOpen && !content_.items.empty();
            publish();
        }));
    disposeBag_.insert((ctx.dialogs.dialogs.asObservable() | getUreadDialogsCountUseCase())
                           .subscribe([this](int n) {
                               content_.badge = badgeText(n);
                               publish();
                           }));
    disposeBag_.insert(getBubbleLastUnread(ctx).subscribe([this](const std::optional<Dialog>& d) {
        bubbleDialog_ = d;
        content_.bubble.reset();
        if (d) {
            LauncherBubble bubble{buildBody(d->partLast), d->lastAdmin.avatar};
            const Size text = view_->measureBubbleText(
                bubble.text, bubbleTextWidth(deps_.platform.screenSize().width),
                BubbleMetrics::maxLines);
            layoutBubble(bubble, text, view_->isRightToLeft());
            content_.bubble = std::move(bubble);
        }
        publish();
    }));
    removed_ = false;
    publish();
}

void LauncherPresenter::publish() {
    if (!removed_ && shown_ != content_) {
        shown_ = content_;
        view_->show(content_);
    }
}

void LauncherPresenter::setIcon(std::optional<Image> icon) {
    content_.icon = std::move(icon);
    publish();
}

void LauncherPresenter::remove() {
    if (!removed_) {
        removed_ = true;
        disposeBag_.dispose();
        view_->remove();
    }
}

void LauncherPresenter::buttonTapped() {
    if (content_.items.empty()) {
        if (actions_.open) {
            actions_.open(std::nullopt);
        }
        return;
    }
    content_.menuOpen = !content_.menuOpen;
    publish();
}

void LauncherPresenter::bubbleTapped() {
    if (bubbleDialog_ && actions_.open) {
        actions_.open(bubbleDialog_->id);
    }
}

void LauncherPresenter::bubbleCloseTapped() {
    if (bubbleDialog_) {
        // The bubble follows: the closed list is published again.
        deps_.conversations.currentState.closeMessage(bubbleDialog_->partLast.id);
    }
}

void LauncherPresenter::itemTapped(std::size_t index) {
    if (index < links_.size()) {
        view_->openUrl(links_[index]);
    }
}

void LauncherPresenter::overlayTapped() {
    if (content_.menuOpen) {
        content_.menuOpen = false;
        publish();
    }
}

}  // namespace vesk
