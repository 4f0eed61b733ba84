#include "ui/popup_presenter.hpp"

#include <algorithm>
#include <optional>
#include <type_traits>
#include <variant>

#include "core/system_console.hpp"
#include "ui/bridge/page_events.hpp"
#include "ui/bridge/page_payloads.hpp"
#include "ui/bridge/page_scripts.hpp"
#include "ui/bridge/page_url.hpp"
#include "ui/popup_layout.hpp"
#include "ui/resources.hpp"
#include "ui/web_view.hpp"

namespace vesk {

class PopupPresenter::Card final : public PopupCardListener,
                                   public std::enable_shared_from_this<Card> {
  public:
    Card(PopupPresenter& owner, rx::BehaviorRelay<PopupEntity> entity,
         std::shared_ptr<PopupCard> card, std::shared_ptr<WebView> webView)
        : id(entity.value().id),
          view(std::move(card)),
          page(std::move(webView)),
          owner_(owner),
          entity_(std::move(entity)) {}

    void start();
    void closeTapped() override { owner_.close(*this); }
    void screenChanged() override { layOut(); }

    const std::string id;
    const std::shared_ptr<PopupCard> view;
    const std::shared_ptr<WebView> page;

  private:
    void fill() const;
    void layOut() const;
    void act(const PageMessage& message);

    PopupPresenter& owner_;
    // The holder the card was made for: a popup stored again under this id
    // gets a holder of its own, and this card keeps to its own.
    const rx::BehaviorRelay<PopupEntity> entity_;
    bool pill_ = true;
    rx::DisposeBag disposeBag_;
};

void PopupPresenter::Card::start() {
    auto& deps = owner_.deps_;
    view->setListener(weak_from_this());
    disposeBag_.insert(page->didFinishLoad.asObservable().subscribe([this](bool loaded) {
        if (loaded) {
            fill();
        }
    }));
    disposeBag_.insert(entity_.asObservable().subscribe([this](const PopupEntity&) { layOut(); }));
    // The pill goes for good once the settings say so.
    disposeBag_.insert(deps.conversations.messenger.messenger.asObservable().subscribe(
        [this](const std::optional<Messenger>& messenger) {
            if (messenger && !messenger->isPoweredByVisible && pill_) {
                pill_ = false;
                layOut();
            }
        }));
    disposeBag_.insert(page->messages.asObservable().subscribe(
        [this](const PageMessage& message) { act(message); }));
    disposeBag_.insert(deps.conversations.popups.dissmissPopup.asObservable().subscribe(
        [this](const std::string& expired) {
            if (expired == id) {
                owner_.close(*this);
            }
        }));
    view->present();
    page->load();
}

void PopupPresenter::Card::fill() const {
    const auto& deps = owner_.deps_;
    const auto& messenger = deps.conversations.messenger.messenger.value();
    if (!messenger) {
        return;  // the card keeps an empty page and its close button
    }
    const auto language = deps.languageCode ? deps.languageCode() : std::nullopt;
    const auto script = script::initPopup(
        localizedSettingsText(*messenger, deps.providerName, language), entity_.value().bodyJson);
    if (!script) {
        SystemConsole::shared().write("popup " + id + ": its body is not JSON", "VeskPopup");
        return;
    }
    page->evaluate(*script);
}

void PopupPresenter::Card::layOut() const {
    const std::string& text = R::string::poweredBy();
    auto layout = popupLayout(owner_.deps_.platform.screenSize(), entity_.value().height,
                              pill_ ? std::optional<double>(view->pillWidth(text)) : std::nullopt);
    if (layout.pill) {
        layout.pillText = text;
    }
    view->setLayout(layout);
}

void PopupPresenter::Card::act(const PageMessage& message) {
    auto& deps = owner_.deps_;
    const auto event = popupPageEvent(message);
    if (event && std::holds_alternative<page::PopUpIsReady>(*event)) {
        if (const auto height = std::get<page::PopUpIsReady>(*event).height) {
            auto updated = entity_.value();
            updated.height = *height;
            entity_.accept(std::move(updated));
        }
        return;
    }
    if (event) {
        std::visit(
            [&](const auto& e) {
                using E = std::decay_t<decltype(e)>;
                if constexpr (std::is_same_v<E, page::Identify>) {
                    std::vector<UserProperty> properties;
                    if (e.properties) {
                        for (const auto& [key, value] : *e.properties) {
                            properties.emplace_back(key, value,
                                                    UserProperty::Operations::updateOrCreate);
                        }
                    }
                    if (deps.setUserProperty && !properties.empty()) {
                        deps.setUserProperty(std::move(properties));
                    }
                } else if constexpr (std::is_same_v<E, page::TrackEvent>) {
                    if (deps.trackEvent) {
                        deps.trackEvent(e.name, "");
                    }
                } else if constexpr (std::is_same_v<E, page::OpenLink>) {
                    if (const auto link = e.url ? openableLink(*e.url) : std::nullopt) {
                        view->openUrl(*link);
                    }
                }
            },
            *event);
    } else if (message.name != "identify" && message.name != "trackEvent" &&
               message.name != "openLink" && message.name != "closePopUp") {
        return;  // not a popup's message
    }
    // Each of the four closes the card, done or not.
    owner_.close(*this);
}

PopupPresenter::PopupPresenter(ChatDependencies& deps) : deps_(deps) {
    disposeBag_.insert(deps_.conversations.popups.newPopup().subscribe(
        [this](const std::string& id) { show(id); }));
}

PopupPresenter::~PopupPresenter() {
    for (const auto& card : cards_) {
        card->view->dismiss();
    }
}

std::vector<std::string> PopupPresenter::shown() const {
    std::vector<std::string> ids;
    for (const auto& card : cards_) {
        ids.push_back(card->id);
    }
    return ids;
}

void PopupPresenter::show(const std::string& id) {
    const auto& stored = deps_.conversations.popups.activePopups;
    const auto entity = stored.find(id);
    if (deps_.screen.isOpen.value() || entity == stored.end()) {
        return;
    }
    auto page = deps_.platform.createWebPage(PageMode::popup);
    auto view = page ? deps_.platform.createPopupCard(page) : nullptr;
    if (!view) {
        return;  // a host without popups
    }
    auto card =
        std::make_shared<Card>(*this, entity->second, std::move(view),
                               WebView::make({.page = std::move(page),
                                              .mode = PageMode::popup,
                                              .url = pageUrl(deps_.widgetUrl, PageMode::popup),
                                              .screen = deps_.screen,
                                              .isReachable = deps_.isReachable,
                                              .showsFailures = false}));
    cards_.push_back(card);
    card->start();
}

void PopupPresenter::close(const Card& card) {
    const auto at = std::find_if(cards_.begin(), cards_.end(),
                                 [&card](const auto& shown) { return shown.get() == &card; });
    if (at == cards_.end()) {
        return;
    }
    auto closing = std::move(*at);
    cards_.erase(at);
    closing->view->dismiss();
    // The card may be inside one of its own callbacks: it goes on a later turn.
    deps_.scheduler.schedule(Scheduler::Duration::zero(), [closing = std::move(closing)] {});
}

}  // namespace vesk
