#include "vesk/vesk.hpp"

#include "app/app_state_service.hpp"
#include "app/push_wiring.hpp"
#include "app/reachability_service.hpp"
#include "app/runtime.hpp"
#include "app/sdk_app.hpp"
#include "app/vesk_impl.hpp"
#include "usecases/conversation_use_cases.hpp"
#include "usecases/dialog_repository.hpp"

namespace vesk {

namespace {

// Runs `f(impl)` on the main executor while the facade still exists.
template <class F>
void onMain(const std::shared_ptr<Vesk::Impl>& impl, F f) {
    Runtime::shared().dispatch(
        [weak = std::weak_ptr<Vesk::Impl>(impl), f = std::move(f)]() mutable {
            if (auto self = weak.lock()) {
                f(*self);
            }
        });
}

}  // namespace

Vesk& Vesk::shared() {
    static auto* instance = new Vesk();
    return *instance;
}

Vesk::Vesk(VeskOptions options) {
    auto& runtime = Runtime::shared();
    auto scheduler = options.scheduler ? std::move(options.scheduler) : runtime.scheduler();
    auto store = options.store ? std::move(options.store) : keyValueStoreFactory()->standard();
    impl_ = std::make_shared<Impl>(std::move(scheduler), std::move(store));
    onMain(impl_, [](Impl& impl) {
        AppStateService::shared();
        ReachabilityService::shared();
        SdkApp::shared();
        impl.start();
    });
}

Vesk::~Vesk() = default;

const std::string& Vesk::version() {
    static const std::string kVersion = "1.0.33";
    return kVersion;
}

void Vesk::setBundle(Bundle bundle) {
    onMain(impl_, [bundle = std::move(bundle)](Impl& impl) {
        SdkApp::shared().bundle = bundle;
        impl.bundle = bundle;
    });
}

void Vesk::setup(const std::string& apiKey, SuccessHandler successHandler,
                 ErrorHandler errorHandler) {
    onMain(impl_, [apiKey, successHandler = std::move(successHandler),
                   errorHandler = std::move(errorHandler)](Impl& impl) mutable {
        impl.setup(apiKey, std::move(successHandler), std::move(errorHandler));
    });
}

void Vesk::auth(const std::string& userId, const std::string& userAuthKey,
                SuccessHandler successHandler, ErrorHandler errorHandler) {
    onMain(impl_, [userId, userAuthKey, successHandler = std::move(successHandler),
                   errorHandler = std::move(errorHandler)](Impl& impl) mutable {
        impl.auth(userId, userAuthKey, std::move(successHandler), std::move(errorHandler));
    });
}

void Vesk::logout() {
    onMain(impl_, [](Impl& impl) { impl.logout(); });
}

void Vesk::closeChat() {
    onMain(impl_, [](Impl&) { SdkApp::shared().navigateTo(SdkStep::closeChat); });
}

void Vesk::setUserProperty(const std::vector<UserProperty>& properties) {
    onMain(impl_, [properties](Impl& impl) { impl.setUserProperty(properties); });
}

void Vesk::trackEvent(const std::string& name, const std::string& params) {
    onMain(impl_, [name, params](Impl& impl) { impl.trackEvent(name, params); });
}

void Vesk::setPushToken(const std::string& token) {
    onMain(impl_, [token](Impl&) { pushNotificationService().setToken(token); });
}

void Vesk::deletePushToken() {
    onMain(impl_, [](Impl&) { pushNotificationService().deleteToken(); });
}

void Vesk::show(const Notification& notification, const std::optional<std::string>& appGroudDomain,
                std::function<void(PresentationOptions)> completionHandler) {
    show(JsonValue(notification.request.content.userInfo), appGroudDomain,
         std::move(completionHandler));
}

void Vesk::show(const JsonValue& payload, const std::optional<std::string>& appGroudDomain,
                std::function<void(PresentationOptions)> completionHandler) {
    onMain(impl_,
           [payload, appGroudDomain, completionHandler = std::move(completionHandler)](Impl& impl) {
               std::weak_ptr<Impl> weak = impl.weak_from_this();
               pushNotificationService().show(
                   payload, appGroudDomain,
                   [weak, completionHandler] {
                       // The centre may answer on its own thread.
                       Runtime::shared().dispatch([weak, completionHandler] {
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
    onMain(impl_, [](Impl& impl) {
        impl.disposeBag.insert(
            (rx::just(rx::Unit{}) | openDialogsUseCase() | rx::take(1)).subscribe([](rx::Unit) {
                SdkApp::shared().createFlowAndOpen();
            }));
    });
}

void Vesk::showButton(std::weak_ptr<PlatformView> /*view*/) {}

void Vesk::hideButton() {}

void Vesk::setButton(std::optional<Image> /*icon*/) {}

void Vesk::getUreadConversations(std::function<void(int)> handler) {
    if (!handler) {
        return;
    }
    onMain(impl_, [handler = std::move(handler)](Impl& impl) {
        impl.disposeBag.insert(
            (DialogRepository::shared().dialogs.asObservable() | getUreadDialogsCountUseCase())
                .subscribe([handler](int count) { handler(count); }));
    });
}

}  // namespace vesk
