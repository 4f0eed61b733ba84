#include "vesk/vesk.hpp"

#include "app/library.hpp"
#include "app/vesk_impl.hpp"
#include "usecases/conversation_use_cases.hpp"
#include "vesk/chat.hpp"
#include "vesk/integrations.hpp"
#include "vesk/knowledge_base.hpp"
#include "vesk/notification_service.hpp"
#include "vesk/runtime.hpp"
#include "vesk/version.hpp"

namespace vesk {

namespace {

std::shared_ptr<Library> independentLibrary(VeskOptions options) {
    LibraryOptions library;
    library.executor = mainExecutor();
    library.scheduler = std::move(options.scheduler);
    library.standardStore = std::move(options.store);
    return Library::make(std::move(library));
}

}  // namespace

Vesk::Vesk(VeskOptions options) : Vesk(independentLibrary(std::move(options))) {}

Vesk::Vesk(std::shared_ptr<Library> library)
    : library_(std::move(library)),
      chat_(std::make_unique<Chat>(library_)),
      knowledgeBase_(std::make_unique<VeskKnowledgeBase>(library_)),
      integrations_(std::make_unique<VeskIntegrations>(library_)),
      notifications_(std::make_unique<VeskNotificationService>(library_)) {
    library_->dispatch([](Library&) {});  // the instance starts with its facade
}

Vesk::~Vesk() = default;

const std::string& Vesk::version() {
    static const std::string kVersion(libraryVersion());
    return kVersion;
}

void Vesk::setBundle(Bundle bundle) {
    library_->dispatch([bundle = std::move(bundle)](Library& library) {
        library.sdkApp.bundle = bundle;
        library.facade->bundle = bundle;
    });
}

void Vesk::setup(const std::string& apiKey, SuccessHandler successHandler,
                 ErrorHandler errorHandler) {
    library_->dispatch([apiKey, successHandler = std::move(successHandler),
                        errorHandler = std::move(errorHandler)](Library& library) mutable {
        library.facade->setup(apiKey, std::move(successHandler), std::move(errorHandler));
    });
}

void Vesk::auth(const std::string& userId, const std::string& userAuthKey,
                SuccessHandler successHandler, ErrorHandler errorHandler) {
    library_->dispatch([userId, userAuthKey, successHandler = std::move(successHandler),
                        errorHandler = std::move(errorHandler)](Library& library) mutable {
        library.facade->auth(userId, userAuthKey, std::move(successHandler),
                             std::move(errorHandler));
    });
}

void Vesk::logout() {
    library_->dispatch([](Library& library) { library.facade->logout(); });
}

void Vesk::closeChat() {
    library_->dispatch(
        [](Library& library) { library.sdkApp.navigateTo(SdkStep::of(SdkStep::Kind::closeChat)); });
}

void Vesk::setUserProperty(const std::vector<UserProperty>& properties) {
    library_->dispatch(
        [properties](Library& library) { library.facade->setUserProperty(properties); });
}

void Vesk::trackEvent(const std::string& name, const std::string& params) {
    library_->dispatch(
        [name, params](Library& library) { library.facade->trackEvent(name, params); });
}

void Vesk::setPushToken(const std::string& token) {
    notificationService().setToken(token);
}

void Vesk::deletePushToken() {
    notificationService().deleteToken();
}

void Vesk::show(const Notification& notification, const std::optional<std::string>& appGroudDomain,
                std::function<void(PresentationOptions)> completionHandler) {
    show(JsonValue(notification.request.content.userInfo), appGroudDomain,
         std::move(completionHandler));
}

void Vesk::show(const JsonValue& payload, const std::optional<std::string>& appGroudDomain,
                std::function<void(PresentationOptions)> completionHandler) {
    library_->dispatch([payload, appGroudDomain,
                        completionHandler = std::move(completionHandler)](Library& library) {
        // The centre may answer on its own thread.
        library.push->show(
            payload, appGroudDomain,
            [executor = library.sharedExecutor(), weak = library.weak_from_this(),
             completionHandler] {
                executor->post([weak, completionHandler] {
                    if (weak.lock() && completionHandler) {
                        completionHandler(
                            {PresentationOptions::kAlert | PresentationOptions::kSound});
                    }
                });
            },
            true);
    });
}

void Vesk::openChat() {
    library_->dispatch([](Library& library) { library.openChat(); });
}

void Vesk::showButton(std::weak_ptr<PlatformView> view) {
    library_->dispatch([view = std::move(view)](Library& library) { library.showButton(view); });
}

void Vesk::hideButton() {
    library_->dispatch([](Library& library) { library.hideButton(); });
}

void Vesk::setButton(std::optional<Image> icon) {
    library_->dispatch([icon = std::move(icon)](Library& library) { library.setButtonIcon(icon); });
}

void Vesk::getUreadConversations(std::function<void(int)> handler) {
    if (!handler) {
        return;
    }
    library_->dispatch([handler = std::move(handler)](Library& library) {
        library.facade->disposeBag.insert(
            (library.conversations.dialogs.dialogs.asObservable() | getUreadDialogsCountUseCase())
                .subscribe([handler](int count) { handler(count); }));
    });
}

}  // namespace vesk
