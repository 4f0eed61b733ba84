#include "ui/dialog_list_presenter.hpp"

#include <tuple>
#include <unordered_set>

#include "core/config/bundle_lookup.hpp"
#include "ui/bridge/page_events.hpp"
#include "ui/bridge/page_payloads.hpp"
#include "ui/bridge/page_scripts.hpp"
#include "ui/presentation.hpp"

namespace vesk {

namespace {

JsonValue dialogsJson(const std::vector<Dialog>& dialogs) {
    JsonArray out;
    out.reserve(dialogs.size());
    for (const auto& dialog : dialogs) {
        out.push_back(json::Codec<Dialog>::encode(dialog));
    }
    return JsonValue(std::move(out));
}

}  // namespace

DialogListWebViewPresenter::DialogListWebViewPresenter(ChatDependencies& deps,
                                                       std::shared_ptr<WebView> page,
                                                       std::function<void()> popList)
    : deps_(deps), page_(std::move(page)), popList_(std::move(popList)) {
    disposeBag_.insert(page_->messages.asObservable().subscribe([this](const PageMessage& message) {
        const auto event = listPageEvent(message);
        if (const auto* select = event ? std::get_if<page::SelectDialogue>(&*event) : nullptr) {
            open(select->conversationId);
        }
    }));
}

void DialogListWebViewPresenter::fill(const std::vector<Dialog>& dialogs) {
    const auto& messenger = deps_.conversations.messenger.messenger.value();
    if (isInit_ || !messenger) {
        return;
    }
    visible_.clear();
    for (const auto& dialog : dialogs) {
        visible_[dialog.id] = dialog.lastUpdate;
    }
    page_->evaluate(script::initConversationList(settingsText(*messenger), dialogsJson(dialogs)));
    isInit_ = true;
}

void DialogListWebViewPresenter::apply(const std::vector<Dialog>& dialogs) {
    if (!isInit_) {
        return;
    }
    std::vector<Dialog> added;
    std::vector<const Dialog*> changed;
    std::unordered_set<std::string> listed;
    listed.reserve(dialogs.size());
    for (const auto& dialog : dialogs) {
        listed.insert(dialog.id);
        const auto shown = visible_.find(dialog.id);
        if (shown == visible_.end()) {
            added.push_back(dialog);
        } else if (shown->second != dialog.lastUpdate) {
            changed.push_back(&dialog);
        }
    }
    if (!added.empty()) {
        for (const auto& dialog : added) {
            visible_[dialog.id] = dialog.lastUpdate;
        }
        page_->evaluate(script::addConversations(dialogsJson(added)));
    }
    for (const auto* dialog : changed) {
        visible_[dialog->id] = dialog->lastUpdate;
        page_->evaluate(script::updateConversation(dialog->id, conversationUpdateJson(*dialog)));
    }
    std::vector<std::string> gone;
    for (const auto& [id, lastUpdate] : visible_) {
        if (!listed.contains(id)) {
            gone.push_back(id);
        }
    }
    for (const auto& id : gone) {
        visible_.erase(id);
        page_->evaluate(script::removeConversation(id));
    }
}

void DialogListWebViewPresenter::open(const std::optional<std::string>& id) {
    // Every source replays at once: this has run to its end when subscribe returns.
    (void)openConversation(deps_.screen, deps_.conversations, id).subscribe();
    if (popList_) {
        popList_();
    }
}

DialogListPresenter::DialogListPresenter(ChatDependencies& deps, ChatWindow& window,
                                         std::shared_ptr<WebView> page,
                                         std::function<void()> popList)
    : deps_(deps), window_(window), webViewPresenter_(deps, std::move(page), std::move(popList)) {
    auto& ctx = deps_.conversations;
    const auto loaded = webViewPresenter_.page()->didFinishLoad.asObservable() |
                        rx::filter([](bool finished) { return finished; });
    const auto ready = rx::combineLatest(loaded, ctx.messenger.messenger.asObservable(),
                                         ctx.dialogs.dialogs.asObservable());
    dataDisposeBag_.insert(ready.subscribe(
        [this](const std::tuple<bool, std::optional<Messenger>, std::vector<Dialog>>& state) {
            const auto& dialogs = std::get<2>(state);
            if (webViewPresenter_.isInit()) {
                webViewPresenter_.apply(dialogs);
            } else {
                webViewPresenter_.fill(dialogs);
            }
        }));
    dataDisposeBag_.insert(
        ctx.dialogs.dialogs.asObservable().subscribe([this](const std::vector<Dialog>& dialogs) {
            OverlayContent note;
            if (dialogs.empty()) {
                note.kind = OverlayContent::Kind::error;
                note.title = localize("vx_sdk.dialogs.empty", AppType::sdk);
                note.description = localize("vx_sdk.dialogs.empty_details", AppType::sdk);
            }
            window_.showScreenOverlay(ChatScreen::list, note);
        }));
}

}  // namespace vesk
