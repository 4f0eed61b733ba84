#include "vesk/chat.hpp"

#include <utility>

#include "app/library.hpp"
#include "services/models/person.hpp"
#include "ui/presentation.hpp"
#include "usecases/conversation_requests.hpp"
#include "usecases/conversation_use_cases.hpp"

namespace vesk {

namespace {

constexpr const char* kNotConnected = "not connected: set the library up first";

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

ChatSubscription none() {
    return {};
}

}  // namespace

void Chat::loadNextConversations(std::function<void(bool)> done, ErrorHandler failed) {
    const auto library = library_.lock();
    if (!library) {
        return;
    }
    auto& ctx = library->conversations;
    if (!ctx.settings()) {
        if (failed) {
            failed(kNotConnected);
        }
        return;
    }
    // An empty position is where the last page left the list.
    if (ctx.dialogs.paginatePosition && ctx.dialogs.paginatePosition->empty()) {
        if (done) {
            done(false);
        }
        return;
    }
    library->requests.add([&ctx, done, failed](const InFlight::Done& finished) {
        return (rx::just(rx::Unit{}) | loadDialogsUseCase(ctx) | rx::take(1))
            .subscribe([done, failed, finished](const Expected<bool>& more) {
                finished();
                if (!more) {
                    if (failed) {
                        failed(more.error().description);
                    }
                } else if (done) {
                    done(*more);
                }
            });
    });
}

void Chat::loadMessages(const std::string& conversationId,
                        std::function<void(std::vector<ChatMessage>)> done, ErrorHandler failed) {
    const auto library = library_.lock();
    if (!library) {
        return;
    }
    auto& ctx = library->conversations;
    if (!ctx.settings()) {
        if (failed) {
            failed(kNotConnected);
        }
        return;
    }
    auto& screen = library->screen;
    library->requests.add(
        [&ctx, &screen, conversationId, done, failed](const InFlight::Done& finished) {
            return (rx::just(conversationId) | loadMessagesUseCase(ctx) |
                    setPaginatePositionUseCase(ctx) | rx::take(1))
                .subscribe([&ctx, &screen, conversationId, done, failed,
                            finished](const MessagesPage& page) {
                    finished();
                    if (!page) {
                        // The chat window's overlay shows the failure; the caller hears its title.
                        const auto state = failureState(page.error());
                        screen.state.onNext(state);
                        if (failed) {
                            failed(state.getTitle());
                        }
                        return;
                    }
                    ctx.messages.repository(conversationId).add(page->data);
                    std::vector<ChatMessage> out;
                    out.reserve(page->data.size());
                    for (const auto& m : page->data) {
                        out.push_back(toChat(m));
                    }
                    if (done) {
                        done(std::move(out));
                    }
                });
        });
}

void Chat::open(const std::optional<std::string>& conversationId) {
    if (const auto library = library_.lock()) {
        // Every source replays at once: this has run to its end when subscribe returns.
        (void)openConversation(library->screen, library->conversations, conversationId).subscribe();
        library->outbox.list();  // the emptied conversation still shows what waits to be sent
    }
}

std::optional<std::string> Chat::currentConversation() const {
    const auto library = library_.lock();
    return library ? library->conversations.currentState.dialogId.value() : std::nullopt;
}

void Chat::send(const std::string& text,
                std::function<void(std::int64_t, const std::string&)> status, ErrorHandler failed) {
    const auto library = library_.lock();
    if (!library) {
        return;
    }
    auto& ctx = library->conversations;
    const auto settings = ctx.settings();
    if (!settings) {
        if (failed) {
            failed(kNotConnected);
        }
        return;
    }
    User user;
    user.id = settings->userId;
    const auto conversation = ctx.currentState.dialogId.value();
    const Message message = createUserMessage(ctx, text, user, conversation);
    const std::int64_t randomId = message.randomId;
    ctx.messages.repository(message.conversation.value_or("0")).add({message});
    if (status) {
        status(randomId, "loading");
    }

    // Ends at the first final status: a failure, the start of a conversation,
    // or the echo of the message on the real-time channel. A failed message
    // stays in the outbox, which sends it again; its echo is then delivered to
    // `onMessage`.
    auto& rts = library->rts;
    auto& outbox = library->outbox;
    library->requests.add([&rts, &outbox, message, randomId,
                           status](const InFlight::Done& finished) {
        auto reported = std::make_shared<bool>(false);
        const auto report = [reported, finished, status, randomId](const std::string& value) {
            if (std::exchange(*reported, true)) {
                return;
            }
            finished();
            if (status) {
                status(randomId, value);
            }
        };
        rx::CompositeDisposable all;
        all.add(rts.newMessage.asObservable().subscribe([report, randomId](const Message& echo) {
            if (echo.randomId == randomId && echo.type == "reply_user") {
                report("");
            }
        }));
        all.add(outbox.changes.asObservable().subscribe(
            [report, randomId](const Outbox::Change& change) {
                if (change.randomId != randomId || change.state == Outbox::State::sending) {
                    return;
                }
                if (const auto value = outboxStatus(change)) {
                    report(*value);
                }
            }));
        outbox.send(message);
        return all.asDisposable();
    });
}

ChatSubscription Chat::onConversations(
    std::function<void(const std::vector<ChatConversation>&)> handler) {
    const auto library = library_.lock();
    if (!library) {
        return none();
    }
    return keep(library->conversations.dialogs.dialogs.asObservable().subscribe(
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
    const auto library = library_.lock();
    if (!library) {
        return none();
    }
    return keep(library->rts.newMessage.asObservable().subscribe(
        [handler](const Message& m) { handler(toChat(m)); }));
}

ChatSubscription Chat::onTyping(std::function<void(const TypingNotice&)> handler) {
    const auto library = library_.lock();
    if (!library) {
        return none();
    }
    return keep(library->conversations.currentState.typingIndicator.asObservable().subscribe(
        [handler](const Message& m) {
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

ChatSubscription Chat::onDownload(std::function<void(const ChatDownload&)> handler) {
    const auto library = library_.lock();
    if (!library) {
        return none();
    }
    return keep(library->screen.downloads.asObservable().subscribe(
        [handler](const AttachmentDownload& download) {
            ChatDownload out;
            out.messageId = download.messageId;
            out.url = download.url;
            out.state = downloadStateName(download.state.kind);
            out.percent = download.state.percent;
            out.path = download.state.file.string();
            out.error = download.state.error;
            handler(out);
        }));
}

}  // namespace vesk
