#include "push/push_notification_service.hpp"

#include <algorithm>
#include <cctype>

#include "core/system_console.hpp"
#include "push/push_use_cases.hpp"

namespace vesk {

namespace {

constexpr const char* kDeviceType = "mobile";

std::string lowerCased(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

std::shared_ptr<PushNotificationService> PushNotificationService::make(
    PushEnvironment environment) {
    std::shared_ptr<PushNotificationService> service(
        new PushNotificationService(std::move(environment)));
    service->start();
    return service;
}

PushNotificationService::PushNotificationService(PushEnvironment environment)
    : environment_(std::move(environment)), checker_(environment_) {}

void PushNotificationService::start() {
    std::weak_ptr<PushNotificationService> weak = weak_from_this();
    const auto pairs = rx::combineLatest(environment_.isInit, token_.asObservable()) |
                       rx::filter([](const std::tuple<bool, std::string>& pair) {
                           return std::get<0>(pair) && !std::get<1>(pair).empty();
                       });
    disposeBag.insert(pairs.subscribe([weak](const std::tuple<bool, std::string>& pair) {
        if (auto self = weak.lock()) {
            self->registerToken(std::get<1>(pair));
        }
    }));
}

std::shared_ptr<PushService> PushNotificationService::renewService() {
    const auto settings = environment_.networkSettings ? environment_.networkSettings() : nullptr;
    service_ = settings ? std::make_shared<PushService>(environment_.api, settings) : nullptr;
    return service_;
}

void PushNotificationService::registerToken(const std::string& token) {
    const auto vendorId = environment_.device()->identifierForVendor();
    if (!vendorId) {
        return;
    }
    const auto service = renewService();
    if (!service) {
        return;
    }
    // The reply changes nothing: a failed subscription is tried again at the next setup.
    disposeBag.insert(service->send(token, lowerCased(*vendorId), kDeviceType, "").subscribe());
}

void PushNotificationService::setToken(const std::string& token) {
    if (token != token_.value()) {
        token_.accept(token);
    }
}

void PushNotificationService::deleteToken() {
    token_.accept("");
    const auto service = renewService();
    if (!service) {
        return;
    }
    const auto vendorId = environment_.device()->identifierForVendor();
    if (!vendorId) {
        return;
    }
    disposeBag.insert(service->remove(*vendorId, kDeviceType).subscribe());
}

void PushNotificationService::addNotification(const Message& message) {
    // The pipeline runs to its end inside `subscribe`; nothing is left to keep.
    (void)(rx::just(message) | checkNeededShowPushNotificationUseCase(environment_) |
           getPushNotificationDataUseCase() | showPushNotifyUseCase(environment_.center))
        .subscribe();
}

void PushNotificationService::show(const JsonValue& payload,
                                   const std::optional<std::string>& appGroudDomain,
                                   std::function<void()> present, bool log) {
    const auto& console = SystemConsole::shared();
    if (log) {
        console.writeSeparator("Вызван show push", kConsoleCategory);
    }
    if (!checker_.isSdkReady(payload)) {
        return;
    }
    checker_.isShownEarlier(
        payload, appGroudDomain, [present = std::move(present), log](bool shownEarlier) {
            const auto& out = SystemConsole::shared();
            if (log) {
                out.writeSeparator(
                    std::string("пуш будет показан: ") + (shownEarlier ? "false" : "true"),
                    kConsoleCategory);
            }
            if (shownEarlier) {
                return;
            }
            present();
            if (log) {
                out.writeSeparator("Уведомление показано", kConsoleCategory);
            }
        });
}

void PushNotificationService::clickNotification(const JsonValue& payload) {
    if (const auto conversation = payloadString(payload, "conversation_id")) {
        if (environment_.openConversation) {
            environment_.openConversation(*conversation);
        }
        return;
    }
    if (environment_.openChat) {
        environment_.openChat();
    }
}

void PushNotificationService::isShownEarlier(const JsonValue& payload,
                                             const std::optional<std::string>& appGroudDomain,
                                             std::function<void(bool)> completion) {
    checker_.isShownEarlier(payload, appGroudDomain, std::move(completion));
}

void PushNotificationService::deleteDuplicateNotification(const NotificationContent& content,
                                                          const std::string& appGroudDomain) {
    checker_.deleteDuplicateNotification(content, appGroudDomain);
}

}  // namespace vesk
