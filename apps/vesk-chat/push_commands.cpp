#include "push_commands.hpp"

#include <memory>

#include "vesk/notification_center.hpp"
#include "vesk/notification_service.hpp"
#include "vesk/runtime.hpp"
#include "vesk/vesk.hpp"

namespace vesk::chat {

const char* const kPushUsage =
    "  push-token <token> | push-delete | show-push <payloadJson> | click-push <payloadJson>\n";

namespace {

void usage(const EventSink& sink, const std::string& text) {
    sink("error", {{"error", JsonValue("usage: " + text)}}, "usage: " + text);
}

// Anything that is not JSON is passed on as null: not the library's.
JsonValue parsePayload(const std::string& text) {
    return JsonValue::parse(text).value_or(JsonValue());
}

}  // namespace

void installNotificationPrinter(EventSink sink) {
    auto center = std::make_shared<InMemoryNotificationCenter>();
    center->setObserver([sink = std::move(sink)](const NotificationRequest& request) {
        const auto& content = request.content;
        sink("notification",
             {{"title", JsonValue(content.title)},
              {"body", JsonValue(content.body)},
              {"userInfo", JsonValue(content.userInfo)}},
             "notification: " + content.title + ": " + content.body);
    });
    setNotificationCenter(std::move(center));
}

bool runPushCommand(const std::string& name, const std::string& rest,
                    const std::optional<std::string>& appGroup, const EventSink& sink,
                    const std::function<void()>& hold, std::function<void()> release) {
    auto& vesk = Vesk::shared();
    if (name == "push-token") {
        if (rest.empty()) {
            usage(sink, "push-token <token>");
            return true;
        }
        vesk.setPushToken(rest);
        sink("push-token", {{"token", JsonValue(rest)}}, "push token set: " + rest);
    } else if (name == "push-delete") {
        vesk.deletePushToken();
        sink("push-delete", {}, "push token deleted");
    } else if (name == "show-push") {
        const auto payload = parsePayload(rest);
        auto presented = std::make_shared<bool>(false);
        vesk.show(payload, appGroup, [presented](PresentationOptions) { *presented = true; });
        // The decision (and the completion it posts) runs before this task.
        hold();
        mainExecutor()->post([presented, sink, release = std::move(release)] {
            sink("show-push", {{"present", JsonValue(*presented)}},
                 std::string("show-push: ") + (*presented ? "presented" : "not presented"));
            release();
        });
    } else if (name == "click-push") {
        const auto payload = parsePayload(rest);
        const bool handled = VeskNotificationService::canHandle(payload);
        VeskNotificationService::shared().clickNotification(payload);
        sink("click-push", {{"canHandle", JsonValue(handled)}},
             std::string("click-push: ") + (handled ? "the library's" : "not the library's") +
                 "; the chat opens");
    } else {
        return false;
    }
    return true;
}

}  // namespace vesk::chat
