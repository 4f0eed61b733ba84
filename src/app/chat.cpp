#include "vesk/chat.hpp"

#include <map>

#include "app/runtime.hpp"
#include "app/sdk_app.hpp"
#include "services/models/person.hpp"
#include "usecases/conversation_requests.hpp"
#include "usecases/conversation_use_cases.hpp"
#include "usecases/rts_service.hpp"

namespace vesk {

namespace {

constexpr const char* kNotConnected = "not connected: set the library up first";

ConversationContext& ctx() {
    return ConversationContext::shared();
}

// Requests started here outlive their caller's stack; each is dropped once it
// has answered.
class Pending {
  public:
    static Pending& shared() {
        static Pending instance;
        return instance;
    }
    // Taken before subscribing: a request may answer while it is subscribed.
    std::uint64_t reserve() { return next_++; }
    void put(std::uint64_t id, rx::Disposable disposable) {
        bags_[id].insert(std::move(disposable));
    }
    // Deferred: the subscription being ended may be the one calling.
    void finish(std::uint64_t id) {
        Runtime::shared().dispatch([id] { shared().bags_.erase(id); });
    }

  private:
    std::map<std::uint64_t, rx::DisposeBag> bags_;
    std::uint64_t next_ = 0;
};

ChatMessage toChat(const Message& m) {
    ChatMessage out;
    out.id = m.id;
    out.randomId = m.randomId;
    out.body = m.body;
    out.type = m.type;
    out.created = m.created;
    out.direction = m.direction;
    out.read = m.read;
    out.conversation = m.conversation;
    if (m.from.object() != nullptr) {
        if (auto admin = json::Codec<Admin>::decode(m.from)) {
            out.authorName = admin->name;
        }
    }
    out.json = json::Codec<Message>::encode(m).encode();
    return out;
}

ChatConversation toChat(const Dialog& d) {
    ChatConversation out;
    out.id = d.id;
    out.type = d.type;
    out.lastUpdate = d.lastUpdate;
    out.partsCount = d.partsCount;
    out.unreadCount = d.userUnreadCount;
    out.lastMessage = toChat(d.partLast);
    out.operatorName = d.lastAdmin.name;
    return out;
}

ChatSubscription keep(rx::Disposable disposable) {
    return ChatSubscription([disposable = std::move(disposable)] { disposable.dispose(); });
}

}  // namespace

void Chat::loadNextConversations(std::function<void(bool)> done, ErrorHandler failed) {
    if (!ctx().settings()) {
        if (failed) {
            failed(kNotConnected);
        }
        return;
    }
    // An empty position is where the last page left the list.
    if (ctx().dialogs.paginatePosition && ctx().dialogs.paginatePosition->empty()) {
        if (done) {
            done(false);
        }
        return;
    }
    auto& pending = Pending::shared();
    const auto id = pending.reserve();
    pending.put(id, (rx::just(rx::Unit{}) | loadDialogsUseCase() | rx::take(1))
                        .subscribe([done, id](bool more) {
                            Pending::shared().finish(id);
                            if (done) {
                                done(more);
                            }
                        }));
}

void Chat::loadMessages(const std::string& conversationId,
                        std::function<void(std::vector<ChatMessage>)> done, ErrorHandler failed) {
    if (!ctx().settings()) {
        if (failed) {
            failed(kNotConnected);
        }
        return;
    }
    // A failed load shows its error on the overlay and yields nothing; the
    // overlay's error states answer the caller then.
    auto answered = std::make_shared<bool>(false);
    const auto id = Pending::shared().reserve();
    rx::CompositeDisposable both;
    both.add(ctx().currentState.state.asObservable().subscribe(
        [answered, id, failed](const NavigationViewState& state) {
            const auto kind = state.kind();
            if (*answered || (kind != NavigationViewState::Case::connectError &&
                              kind != NavigationViewState::Case::serverError)) {
                return;
            }
            *answered = true;
            Pending::shared().finish(id);
            if (failed) {
                failed(state.getTitle());
            }
        }));
    both.add((rx::just(conversationId) | loadMessagesUseCase() | setPaginatePositionUseCase() |
              rx::take(1))
                 .subscribe([answered, id, done, conversationId](const MessagesPage& result) {
                     if (*answered) {
                         return;
                     }
                     *answered = true;
                     Pending::shared().finish(id);
                     std::vector<ChatMessage> page;
                     if (const auto* response = result.success()) {
                         ctx().messages.repository(conversationId).add(response->data);
                         page.reserve(response->data.size());
                         for (const auto& m : response->data) {
                             page.push_back(toChat(m));
                         }
                     }
                     if (done) {
                         done(std::move(page));
                     }
                 }));
    Pending::shared().put(id, both.asDisposable());
}

void Chat::open(const std::optional<std::string>& conversationId) {
    const auto id = Pending::shared().reserve();
    Pending::shared().put(
        id, (openDialog(ctx(), conversationId) | rx::take(1)).subscribe([id](rx::Unit) {
            Pending::shared().finish(id);
        }));
}

std::optional<std::string> Chat::currentConversation() {
    return ctx().currentState.dialogId.value();
}

void Chat::send(const std::string& text,
                std::function<void(std::int64_t, const std::string&)> status, ErrorHandler failed) {
    const auto settings = ctx().settings();
    if (!settings) {
        if (failed) {
            failed(kNotConnected);
        }
        return;
    }
    User user;
    user.id = settings->userId;
    const auto conversation = ctx().currentState.dialogId.value();
    const Message message = createUserMessage(ctx(), text, user, conversation);
    const std::int64_t randomId = message.randomId;
    ctx().messages.repository(message.conversation.value_or("0")).add({message});
    if (status) {
        status(randomId, "loading");
    }

    // Ends at the first final status: a failure, the start of a conversation,
    // or the echo of the message on the real-time channel.
    auto finished = std::make_shared<bool>(false);
    const auto id = Pending::shared().reserve();
    const auto report = [finished, id, status, randomId](const std::string& value) {
        if (*finished) {
            return;
        }
        *finished = true;
        Pending::shared().finish(id);
        if (status) {
            status(randomId, value);
        }
    };
    const std::string key = std::to_string(randomId);
    rx::CompositeDisposable all;
    all.add(ctx().currentState.updateMessageStatus.asObservable().subscribe(
        [report, key](const std::pair<std::string, std::string>& update) {
            if (update.first == key) {
                report(update.second);
            }
        }));
    all.add(RtsService::shared().newMessage.asObservable().subscribe(
        [report, randomId](const Message& echo) {
            if (echo.randomId == randomId && echo.type == "reply_user") {
                report("");
            }
        }));
    all.add((rx::just(message) | sendMessageUseCase()).subscribe());
    Pending::shared().put(id, all.asDisposable());
}

ChatSubscription Chat::onConversations(
    std::function<void(const std::vector<ChatConversation>&)> handler) {
    return keep(ctx().dialogs.dialogs.asObservable().subscribe(
        [handler](const std::vector<Dialog>& dialogs) {
            std::vector<ChatConversation> out;
            out.reserve(dialogs.size());
            for (const auto& d : dialogs) {
                out.push_back(toChat(d));
            }
            handler(out);
        }));
}

ChatSubscription Chat::onMessage(std::function<void(const ChatMessage&)> handler) {
    return keep(RtsService::shared().newMessage.asObservable().subscribe(
        [handler](const Message& m) { handler(toChat(m)); }));
}

ChatSubscription Chat::onTyping(std::function<void(const TypingNotice&)> handler) {
    return keep(
        ctx().currentState.typingIndicator.asObservable().subscribe([handler](const Message& m) {
            TypingNotice notice;
            notice.conversation = m.conversation.value_or("0");
            notice.adminId = m.id;
            if (m.from.object() != nullptr) {
                if (auto admin = json::Codec<Admin>::decode(m.from)) {
                    notice.adminName = admin->name;
                }
            }
            handler(notice);
        }));
}

}  // namespace vesk
