// The user's text messages the service does not have yet. Each is kept in the
// standard store (one JSON value under `kStoreKey`, written in one
// transaction per change) from the moment it is sent until the service takes
// it or the user deletes it, so a message typed while the network or the
// service is down is neither lost nor posted twice:
//
// - Messages go one at a time, oldest first, each with the random id it was
//   created with; the service stores a retried random id only once.
// - A transport failure (no connection, no answer, a torn answer) marks every
//   message of the user failed and tries again after a jittered, doubling
//   delay (`kFirstRetry` up to `kLastRetry`), or at once on `resume`.
// - A refusal (the service answered with an error) holds that message until
//   the user retries it, the connection returns or the library starts again;
//   the next message goes on.
// - A message that started a conversation takes the others waiting without
//   one along to it.
//
// Only the messages of the user the current settings name are sent; those of
// another user wait for them. Listing puts the current user's messages back
// in their conversations (at start, or after a conversation was emptied), as
// the local copies the screens show as unsent.
//
// Threading: main executor; the request's answer arrives there.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "core/rx/rx.hpp"
#include "services/models/message.hpp"
#include "usecases/conversation_context.hpp"
#include "usecases/conversation_requests.hpp"

namespace vesk {

class Outbox {
  public:
    static constexpr std::string_view kStoreKey = "VeskOutbox";
    // After the n-th transport failure in a row the next try waits between
    // half and all of kFirstRetry * 2^(n-1), at most kLastRetry.
    static constexpr std::chrono::milliseconds kFirstRetry{1'000};
    static constexpr std::chrono::milliseconds kLastRetry{60'000};

    enum class State { sending, failed, sent };
    struct Change {
        std::int64_t randomId = 0;
        State state = State::sending;
        // sent: the conversation the message started, when it started one.
        std::optional<std::string> started;
    };

    // `userId`: the user messages are listed for (empty: none). Reads what
    // `ctx.store` holds. Requires: `ctx` outlives the outbox.
    Outbox(ConversationContext& ctx, std::function<std::string()> userId);
    ~Outbox();
    Outbox(const Outbox&) = delete;
    Outbox& operator=(const Outbox&) = delete;

    // Keeps a user's text message (its `from` names the user; listed by the
    // caller) and sends it when it can. Without a user it is only reported
    // failed.
    void send(const Message& message);
    // Sends a held or failed message now. False when it is not kept.
    bool retry(std::int64_t randomId);
    // Forgets a message for good (it is not sent again).
    void remove(std::int64_t randomId);
    // The connection may be back: every message is tried again at once.
    void resume();
    // Lists each kept message of the user in its conversation, unless the
    // conversation lists it (or the service's copy of it) already.
    void list();

    [[nodiscard]] bool holds(std::int64_t randomId) const;
    // Whether the last try of a kept message failed.
    [[nodiscard]] bool failed(std::int64_t randomId) const;
    // The kept messages of `userId`, oldest first.
    [[nodiscard]] std::vector<Message> pending(const std::string& userId) const;

    // Every try of a message and how it ended.
    rx::PublishSubject<Change> changes;

  private:
    struct Entry {
        std::string user;
        Message message;
        bool failed = false;
        bool held = false;
    };

    void load();
    void save() const;
    void sendNext();
    void finish(std::uint64_t attempt, const std::optional<SendOutcome>& outcome);
    void failAll(const std::string& user);
    void moveStarted(const Entry& sent, const std::string& conversation);
    [[nodiscard]] Entry* find(std::int64_t randomId);
    [[nodiscard]] const Entry* find(std::int64_t randomId) const;

    ConversationContext& ctx_;
    std::function<std::string()> userId_;
    std::vector<Entry> entries_;
    // The message being sent and the number of its try; the answer of an
    // older try is ignored.
    std::optional<std::int64_t> sending_;
    std::uint64_t attempt_ = 0;
    rx::Disposable request_;
    int failures_ = 0;  // transport failures in a row
    TimerHandle retry_;
    std::minstd_rand jitter_;
};

}  // namespace vesk
