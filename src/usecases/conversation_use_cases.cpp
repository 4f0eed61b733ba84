#include "usecases/conversation_use_cases.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <limits>

#include "core/url_encode.hpp"
#include "services/wire_identity.hpp"

namespace vesk {

namespace {

// Further ahead than any process runs: not worth a timer.
constexpr std::int64_t kMaxExpirySeconds = std::int64_t{10} * 366 * 24 * 3600;

// What a conversation off screen keeps of what arrives: opening it loads its
// pages afresh, so older messages would only hold memory.
constexpr std::size_t kOffScreenMessages = 100;

}  // namespace

Message addMessage(ConversationContext& ctx, const Message& m) {
    const std::string key = m.conversation.value_or("0");
    auto& repo = ctx.messages.repository(key);
    if (repo.match(m) != nullptr) {
        repo.update(m);
    } else if (key != "0" && ctx.currentState.dialogId.value() != key) {
        repo.add({m}, kOffScreenMessages);
    } else {
        repo.add({m});
    }
    ctx.dialogs.addMessage(m, m.type != "reply_user");
    return m;
}

void addPage(ConversationContext& ctx, const std::string& conversation,
             const std::vector<Message>& page) {
    auto& repo = ctx.messages.repository(conversation);
    std::vector<Message> fresh;
    for (const auto& m : page) {
        const Message* listed = repo.match(m);
        if (listed == nullptr) {
            fresh.push_back(m);
        } else if (listed->id != m.id) {
            repo.update(m);
        }
    }
    repo.add(fresh);
}

std::optional<Scheduler::Duration> expiryDelay(std::int64_t expirationTime, Clock::WallTime now) {
    using std::chrono::milliseconds;
    const auto nowMs = std::chrono::duration_cast<milliseconds>(now.time_since_epoch()).count();
    const std::int64_t nowSeconds = nowMs / 1000;
    // Both are positive here, so the difference cannot overflow.
    if (expirationTime - nowSeconds > kMaxExpirySeconds) {
        return std::nullopt;
    }
    const std::int64_t delayMs = std::max<std::int64_t>(0, expirationTime * 1000 - nowMs);
    return std::chrono::duration_cast<Scheduler::Duration>(milliseconds(delayMs));
}

void AddDialogs::execute(ConversationContext& ctx) const {
    ctx.dialogs.add(dialogs);
    for (const auto& dialog : dialogs) {
        if (!dialog.expirationTime || *dialog.expirationTime <= 0) {
            continue;
        }
        const auto delay = expiryDelay(*dialog.expirationTime, ctx.wallNow());
        if (!delay) {
            continue;
        }
        ctx.dialogs.scheduleExpiry(ctx.scheduler(), *delay, [&ctx, id = dialog.id] {
            if (ctx.currentState.dialogId.value() == id) {
                return;  // the user is looking at it
            }
            ctx.popups.dissmissPopup.onNext(id);
            ctx.dialogs.remove(id);
        });
    }
}

Message createEmptyMessage() {
    Message m;
    m.id = "0";
    m.randomId = 0;
    m.type = "reply_user";
    m.created = 0;
    m.direction = "u2a";
    m.read = true;
    m.sentVia = wire::kSentVia;
    m.replyType = "text";
    m.conversation = "0";
    return m;
}

Message createMessage(const ConversationContext& ctx, const std::string& body,
                      const JsonValue& from, const std::optional<std::string>& conversation,
                      std::int64_t t, const std::string& type) {
    Message m;
    m.id = std::to_string(t);
    m.randomId = t;
    m.body = body;
    m.type = type;
    m.created = ctx.nowSeconds();
    m.direction = type == "reply_user" ? "u2a" : "a2u";
    m.read = true;
    m.sentVia = wire::kSentVia;
    m.replyType = "text";
    m.from = from;
    m.conversation = conversation.value_or("0");
    return m;
}

// The time value doubles as the message's id and random id: two sends in one
// second must not share them, so a repeat takes the next free second.
static std::int64_t uniqueSecond(std::int64_t now) {
    static std::atomic<std::int64_t> last{0};
    auto seen = last.load();
    std::int64_t next = 0;
    do {
        next = std::max(now, seen + 1);
    } while (!last.compare_exchange_weak(seen, next));
    return next;
}

Message createUserMessage(const ConversationContext& ctx, const std::string& body, const User& user,
                          const std::optional<std::string>& conversation) {
    return createMessage(ctx, body, JsonValue(user.id), conversation,
                         uniqueSecond(ctx.nowSeconds()), "reply_user");
}

void setCurrentDialogId(ConversationContext& ctx, const std::string& dialogId) {
    if (ctx.store) {
        ctx.store->setString("dialogId", dialogId);
    }
    ctx.currentState.dialogId.onNext(dialogId);
}

std::optional<Dialog> getDialog(const ConversationContext& ctx,
                                const std::optional<std::string>& id) {
    if (!id) {
        return std::nullopt;
    }
    return ctx.dialogs.find(*id);
}

std::vector<Message> setMessageRead(ConversationContext& ctx,
                                    const std::optional<std::string>& dialogId) {
    auto unread = ctx.messages.markRead(dialogId);
    ctx.dialogs.markRead(dialogId);
    return unread;
}

void clearMessages(ConversationContext& ctx, const std::optional<std::string>& dialogId) {
    ctx.messages.clearMessages(dialogId);
    ctx.currentState.paginatePosition.reset();
}

int unreadDialogsCount(const std::vector<Dialog>& dialogs) {
    return static_cast<int>(std::count_if(dialogs.begin(), dialogs.end(),
                                          [](const Dialog& d) { return d.userUnreadCount > 0; }));
}

std::optional<Dialog> bubbleCandidate(const std::vector<Dialog>& dialogs,
                                      const std::vector<std::string>& closedMessages) {
    const Dialog* best = nullptr;
    for (const auto& dialog : dialogs) {
        if (dialog.userUnreadCount < 1 || std::find(closedMessages.begin(), closedMessages.end(),
                                                    dialog.partLast.id) != closedMessages.end()) {
            continue;
        }
        // Strictly newer only: the first of equals wins, as a stable sort keeps it.
        if (best == nullptr || dialog.lastUpdate > best->lastUpdate) {
            best = &dialog;
        }
    }
    return best ? std::optional<Dialog>(*best) : std::nullopt;
}

rx::Observable<std::optional<Dialog>> getBubbleLastUnread(ConversationContext& ctx) {
    return rx::combineLatest(ctx.dialogs.dialogs.asObservable(),
                             ctx.currentState.closedMessages.asObservable() | rx::compact()) |
           rx::map([](const std::tuple<std::vector<Dialog>, std::vector<std::string>>& pair) {
               return bubbleCandidate(std::get<0>(pair), std::get<1>(pair));
           });
}

rx::Observable<std::optional<std::string>> getWelcomeMessageBodyUseCase(ConversationContext& ctx) {
    return ctx.messenger.messenger.asObservable() |
           rx::map([](const std::optional<Messenger>& m) -> std::optional<std::string> {
               return m ? std::optional<std::string>(m->welcomeMessage) : std::nullopt;
           });
}

rx::Observable<std::optional<std::string>> getWelcomeAvatarUseCase(ConversationContext& ctx) {
    return ctx.messenger.messenger.asObservable() |
           rx::map([files = ctx.filesUrl()](
                       const std::optional<Messenger>& m) -> std::optional<std::string> {
               if (!m) {
                   return std::nullopt;
               }
               const auto& avatar = m->avatar;
               if (avatar.find("://") != std::string::npos && isWellFormedUrl(avatar)) {
                   return avatar;
               }
               return files.value_or("") + "/avatars/" + avatar;
           });
}

rx::Observable<std::string> getWelcomeNameUseCase(ConversationContext& ctx) {
    return ctx.messenger.messenger.asObservable() | rx::map([](const std::optional<Messenger>& m) {
               return m ? m->name : std::string("error name");
           });
}

rx::Observable<Admin> getWelcomeAdminUseCase(ConversationContext& ctx) {
    return rx::combineLatest(getWelcomeAvatarUseCase(ctx), getWelcomeNameUseCase(ctx)) |
           rx::map([](const std::tuple<std::optional<std::string>, std::string>& parts) {
               Admin admin;
               admin.type = "admin";
               admin.avatar = std::get<0>(parts);
               admin.name = std::get<1>(parts);
               return admin;
           });
}

rx::Observable<Message> getWelcomeMessageUseCase(ConversationContext& ctx) {
    return rx::combineLatest(getWelcomeMessageBodyUseCase(ctx), getWelcomeAdminUseCase(ctx)) |
           rx::map([&ctx](const std::tuple<std::optional<std::string>, Admin>& parts) {
               Message m;
               m.id = "welcome";
               m.body = std::get<0>(parts).value_or("");
               m.type = "reply_admin";
               m.created = ctx.nowSeconds();
               m.direction = "a2u";
               m.read = true;
               m.sentVia = wire::kSentVia;
               m.replyType = "text";
               m.from = json::Codec<Admin>::encode(std::get<1>(parts));
               return m;
           });
}

rx::Observable<rx::Unit> openDialog(ConversationContext& ctx,
                                    const std::optional<std::string>& id) {
    return rx::deferred([&ctx, id] {
        clearMessages(ctx, id);
        if (id && ctx.store) {
            ctx.store->setString("dialogId", *id);
        }
        ctx.currentState.dialogId.onNext(id);
        // Every source here replays at once, so the operator is saved before this returns.
        (void)(rx::just(id) | getTitleAdminUseCase(ctx) | rx::take(1))
            .subscribe([&ctx, id](const Admin& admin) {
                (void)(rx::just(std::make_pair(admin, id)) | saveCurrentAdminUseCase(ctx))
                    .subscribe();
            });
        return rx::just(rx::Unit{});
    });
}

std::optional<std::string> dialogToOpen(const std::vector<Dialog>& dialogs) {
    const Dialog* newest = nullptr;
    for (const auto& dialog : dialogs) {
        if (dialog.type == "popup_chat" &&
            (newest == nullptr || dialog.lastUpdate > newest->lastUpdate)) {
            newest = &dialog;
        }
    }
    return newest ? std::optional<std::string>(newest->id) : std::nullopt;
}

}  // namespace vesk
