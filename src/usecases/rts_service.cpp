#include "usecases/rts_service.hpp"

#include <exception>
#include <string_view>

#include "services/models/person.hpp"
#include "usecases/conversation_requests.hpp"
#include "usecases/conversation_use_cases.hpp"
#include "usecases/popup_repository.hpp"

namespace vesk {

namespace {

// One catch-up announces at most a page; this is many reconnects' worth.
constexpr std::size_t kMaxCaughtUp = 1000;

bool isString(const JsonObject& object, std::string_view key, std::string_view expected) {
    const auto* value = json::member(object, key);
    const auto* text = value ? value->string() : nullptr;
    return text != nullptr && *text == expected;
}

}  // namespace

RtsService::RtsService(ConversationContext& ctx, std::function<bool()> isChatOpen,
                       ReadDialog readDialog)
    : ctx_(ctx), isChatOpen_(std::move(isChatOpen)), readDialog_(std::move(readDialog)) {
    if (!readDialog_) {
        readDialog_ = [&ctx](const std::optional<std::string>& id) {
            return rx::just(id) | readDialogUseCase(ctx);
        };
    }
}

void RtsService::onMessage(const std::string& text) {
    try {
        if (const auto frame = parseRtsMessage(text)) {
            dispatch(*frame);
        }
    } catch (const std::exception&) {
        // Dropped like any frame that does not make sense (allocation failure included).
    }
}

void RtsService::onReconnected() {
    if (caughtUp_.size() > kMaxCaughtUp) {
        caughtUp_.clear();  // long replayed by now
    }
    disposeBag.add(catchUp(ctx_, [this](const Message& message) {
                       caughtUp_.insert(message.id);
                       onReply(message);
                       newMessage.onNext(message);
                   }).subscribe());
    reconnected.onNext({});
}

void RtsService::dispatch(const RtsMessage& frame) {
    const auto channel = channelFromRaw(frame.channel);
    if (!channel) {
        return;
    }
    const JsonValue& payload = frame.message;
    switch (*channel) {
        case Channel::conversationReply:
            if (auto message = json::Codec<Message>::decode(payload);
                message && !isRepeat(*message)) {
                onReply(*message);
                newMessage.onNext(*message);
            }
            break;
        case Channel::conversationTyping:
            if (const auto* object = payload.object()) {
                onTyping(*object);
            }
            break;
        case Channel::conversation:
            if (const auto* object = payload.object()) {
                onConversation(payload, *object);
            }
            break;
        default:
            break;
    }
}

bool RtsService::isRepeat(const Message& message) {
    if (caughtUp_.erase(message.id) == 0 || !message.conversation) {
        return false;
    }
    const auto* repo = ctx_.messages.existing(*message.conversation);
    const Message* held = repo ? repo->find(message.id) : nullptr;
    if (held != nullptr &&
        (held->body != message.body || held->bodyJson != message.bodyJson ||
         held->attachments != message.attachments || held->metaData != message.metaData)) {
        ctx_.messages.repository(*message.conversation).update(message);
    }
    return true;
}

void RtsService::onReply(const Message& message) {
    const Message merged = addMessage(ctx_, message);
    if (!merged.from.isObject()) {
        return;
    }
    auto admin = json::Codec<Admin>::decode(merged.from);
    if (!admin) {
        return;
    }
    if (merged.conversation == ctx_.currentState.dialogId.value()) {
        ctx_.currentState.admin.onNext(std::move(admin).value());
    }
}

void RtsService::onTyping(const JsonObject& payload) {
    std::string conversation = "0";
    if (const auto* value = json::member(payload, "conversation"); value && value->isString()) {
        conversation = *value->string();
    }
    const auto* adminMember = json::member(payload, "admin");
    const JsonValue admin = adminMember ? *adminMember : JsonValue("0");
    std::string adminId = "0";
    if (admin.isObject()) {
        if (auto id = admin.getString("id")) {
            adminId = std::move(*id);
        }
    }
    Message typing = createEmptyMessage();
    typing.id = adminId;
    typing.created = ctx_.nowSeconds();
    typing.conversation = conversation;
    typing.type = "typing_admin";
    typing.from = admin;
    ctx_.currentState.typingIndicator.onNext(typing);
}

void RtsService::onConversation(const JsonValue& payload, const JsonObject& object) {
    if (isString(object, "type", "block_popup_small")) {
        if (!isString(object, "recipient_type", "sdk") &&
            !isString(object, "recipient_type", "all") &&
            !isString(object, "recipient_type", "sdk_i")) {
            return;
        }
        auto popup = json::Codec<Popup>::decode(payload);
        auto dialog = json::Codec<Dialog>::decode(payload);
        if (!popup || !dialog) {
            return;
        }
        ctx_.popups.addNewPopup(*popup);
        Dialog merged = std::move(dialog).value();
        if (!isChatOpen_ || !isChatOpen_()) {
            merged.userUnreadCount = 0;
        }
        AddDialogs{{merged}}.execute(ctx_);
        disposeBag.add(readDialog_(merged.id).subscribe());
    } else if (isString(object, "type", "popup_chat")) {
        if (auto dialog = json::Codec<Dialog>::decode(payload)) {
            AddDialogs{{*dialog}}.execute(ctx_);
            newDialog.onNext(*dialog);
        }
    }
}

}  // namespace vesk
