// The local-notification pipeline for one real-time message: whether it is
// shown, what it says, and scheduling it.
// Threading: main executor.
#pragma once

#include <memory>
#include <string>

#include "core/rx/rx.hpp"
#include "push/push_environment.hpp"
#include "services/models/message.hpp"
#include "vesk/notification_center.hpp"

namespace vesk {

struct PushNotificationData {
    std::string title;
    std::string body;
    std::string conversationId;  // "0" when the message names none
    std::string id;

    friend bool operator==(const PushNotificationData&, const PushNotificationData&) = default;
};

// Drops the user's own replies, everything before the messenger is loaded, and
// a message for the conversation the user is looking at.
std::function<rx::Observable<Message>(rx::Observable<Message>)>
checkNeededShowPushNotificationUseCase(PushEnvironment environment);

// The sender's name as title; the body with a file marker for an attachment and
// without tags.
PushNotificationData pushNotificationData(const Message& message);
std::function<rx::Observable<PushNotificationData>(rx::Observable<Message>)>
getPushNotificationDataUseCase();

// The request the pipeline schedules for `data` (a fresh random identifier).
NotificationRequest pushNotificationRequest(const PushNotificationData& data);
// Schedules one local notification per value; yields the request scheduled.
std::function<rx::Observable<NotificationRequest>(rx::Observable<PushNotificationData>)>
showPushNotifyUseCase(std::function<std::shared_ptr<NotificationCenter>()> center);

}  // namespace vesk
