#include "platform/linux/desktop_notification_center.hpp"

#include <systemd/sd-bus.h>

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <optional>

#include "core/platform_hooks.hpp"
#include "core/system_console.hpp"

namespace vesk::platform {

namespace {

constexpr const char* kService = "org.freedesktop.Notifications";
constexpr const char* kPath = "/org/freedesktop/Notifications";
constexpr const char* kInterface = "org.freedesktop.Notifications";
constexpr std::uint64_t kCallTimeoutUsec = 2'000'000;
constexpr const char* kCategory = "VeskNotifications";

struct BusDeleter {
    void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
struct MessageDeleter {
    void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};
using BusPtr = std::unique_ptr<sd_bus, BusDeleter>;
using MessagePtr = std::unique_ptr<sd_bus_message, MessageDeleter>;

// Owns an sd_bus_error for the length of one call.
struct BusError {
    sd_bus_error error{};  // SD_BUS_ERROR_NULL, without its C compound literal
    BusError() = default;
    BusError(const BusError&) = delete;
    BusError& operator=(const BusError&) = delete;
    ~BusError() { sd_bus_error_free(&error); }
};

constexpr std::size_t kKeptDelivered = 100;

struct Shown {
    Notification notification;
    std::optional<std::uint32_t> busId;  // the service's id, when it was shown
};

}  // namespace

struct DesktopNotificationCenter::State {
    std::string appName;
    mutable std::mutex mutex;
    std::vector<Shown> delivered;
    BusPtr bus;
    bool busTried = false;
    bool reported = false;
    bool connected = false;

    // The session bus, opened on first use; null when there is none.
    sd_bus* sessionBus() {
        if (!busTried) {
            busTried = true;
            sd_bus* opened = nullptr;
            if (sd_bus_open_user(&opened) >= 0) {
                bus.reset(opened);
            } else {
                report("no session bus; notifications are kept but not shown");
            }
        }
        return bus.get();
    }

    void report(const std::string& text) {
        if (!reported) {
            reported = true;
            SystemConsole::shared().write(text, kCategory);
        }
    }

    std::optional<std::uint32_t> notify(const NotificationContent& content) {
        sd_bus* b = sessionBus();
        if (b == nullptr) {
            return std::nullopt;
        }
        sd_bus_message* raw = nullptr;
        if (sd_bus_message_new_method_call(b, &raw, kService, kPath, kInterface, "Notify") < 0) {
            return std::nullopt;
        }
        MessagePtr call(raw);
        int r = sd_bus_message_append(call.get(), "susss", appName.c_str(), 0U, "",
                                      content.title.c_str(), content.body.c_str());
        if (r >= 0) {
            r = sd_bus_message_append(call.get(), "as", 0);
        }
        if (r >= 0) {
            r = sd_bus_message_open_container(call.get(), 'a', "{sv}");
        }
        if (r >= 0 && content.sound) {
            r = sd_bus_message_append(
                call.get(), "{sv}", "sound-name", "s",
                content.sound == "default" ? "message-new-instant" : content.sound->c_str());
        }
        if (r >= 0) {
            r = sd_bus_message_close_container(call.get());
        }
        if (r >= 0) {
            r = sd_bus_message_append(call.get(), "i", -1);
        }
        if (r < 0) {
            return std::nullopt;
        }
        BusError error;
        sd_bus_message* replyRaw = nullptr;
        if (sd_bus_call(b, call.get(), kCallTimeoutUsec, &error.error, &replyRaw) < 0) {
            report(std::string("the notification service did not answer: ") +
                   (error.error.message != nullptr ? error.error.message : "unknown error"));
            return std::nullopt;
        }
        MessagePtr reply(replyRaw);
        std::uint32_t id = 0;
        if (sd_bus_message_read(reply.get(), "u", &id) < 0) {
            return std::nullopt;
        }
        connected = true;
        return id;
    }

    void close(std::uint32_t id) {
        sd_bus* b = sessionBus();
        if (b == nullptr) {
            return;
        }
        BusError error;
        sd_bus_message* replyRaw = nullptr;
        if (sd_bus_call_method(b, kService, kPath, kInterface, "CloseNotification", &error.error,
                               &replyRaw, "u", id) >= 0) {
            sd_bus_message_unref(replyRaw);
        }
    }
};

DesktopNotificationCenter::DesktopNotificationCenter(std::string appName)
    : state_(std::make_unique<State>()) {
    state_->appName = std::move(appName);
}

DesktopNotificationCenter::~DesktopNotificationCenter() = default;

void DesktopNotificationCenter::add(NotificationRequest request) {
    const std::lock_guard lock(state_->mutex);
    // The desktop shows it at once: a one-second trigger is not worth a timer thread.
    const auto busId = state_->notify(request.content);
    state_->delivered.push_back({{std::move(request), std::chrono::system_clock::now()}, busId});
    // Every operator reply may come here; the desktop keeps only recent ones too.
    if (state_->delivered.size() > kKeptDelivered) {
        state_->delivered.erase(
            state_->delivered.begin(),
            state_->delivered.end() - static_cast<std::ptrdiff_t>(kKeptDelivered));
    }
}

void DesktopNotificationCenter::getDeliveredNotifications(
    std::function<void(std::vector<Notification>)> handler) {
    std::vector<Notification> out;
    {
        const std::lock_guard lock(state_->mutex);
        out.reserve(state_->delivered.size());
        for (const auto& shown : state_->delivered) {
            out.push_back(shown.notification);
        }
    }
    handler(std::move(out));
}

void DesktopNotificationCenter::removeDeliveredNotifications(
    const std::vector<std::string>& identifiers) {
    const std::lock_guard lock(state_->mutex);
    std::erase_if(state_->delivered, [&](const Shown& shown) {
        const bool match = std::find(identifiers.begin(), identifiers.end(),
                                     shown.notification.request.identifier) != identifiers.end();
        if (match && shown.busId) {
            state_->close(*shown.busId);
        }
        return match;
    });
}

bool DesktopNotificationCenter::connected() const {
    const std::lock_guard lock(state_->mutex);
    return state_->connected;
}

std::shared_ptr<NotificationCenter> makeDefaultNotificationCenter() {
    return std::make_shared<DesktopNotificationCenter>();
}

}  // namespace vesk::platform
