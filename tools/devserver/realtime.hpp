// The real-time side of the development server without its transport: which sockets a user
// has, the envelopes they receive, and the per-user history that a reconnect resumes from.
//
// Every event gets the next number of a sequence that runs for the life of the server. Its
// envelope carries that number as "id" and, as text, as "time"; "tag" is a random text chosen at
// start. A socket that connects with this tag and a time gets every kept event of its user after
// that time first, then the live ones. Replay and registration happen under the same lock as
// publishing, so nothing is missed or sent twice across a reconnect.
//
// Threading: every member may be called from any thread. Sinks are called under the hub's lock,
// so a sink must never call back into the hub from send() or drop().
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "http_message.hpp"
#include "store.hpp"

namespace vesk::dev {

using Frame = std::shared_ptr<const std::string>;  // a whole encoded WebSocket frame

// An unmasked, final text frame (server to client) carrying `payload`.
[[nodiscard]] std::string encodeTextFrame(std::string_view payload);

// The sending side of one accepted WebSocket, as the hub sees it; implemented by the transport.
class FrameSink {
  public:
    virtual ~FrameSink() = default;
    // Any thread; frames go out in the order of the calls and never block the caller.
    virtual void send(const Frame* frames, std::size_t count) = 0;
    // Closes the connection at once, without a close frame.
    virtual void drop() = 0;
};

// The answer to a WebSocket upgrade request.
struct UpgradeOutcome {
    std::optional<HttpReply> rejection;  // set: answered with it, then the connection closes
    // Otherwise called with the new socket before the handshake reply is written; what it
    // returns is called once when the socket ends.
    std::function<std::function<void()>(const std::shared_ptr<FrameSink>&)> accept;
};

// What an upgrade request asks for once its target is understood.
struct Subscription {
    std::string appId, userId;
    std::vector<std::string> channels;  // bare names: "conversation_reply", ...
    std::optional<std::string> tag, time;
};

struct RealtimeUserStats {
    std::string userId;
    std::size_t sockets = 0;
    std::vector<std::vector<std::string>> channels;  // per socket
};

class Realtime {
  public:
    static constexpr std::size_t kHistoryLimit = 1000;  // kept events per user

    Realtime();

    [[nodiscard]] std::string tag() const;
    [[nodiscard]] std::uint64_t lastSequence() const;

    // Registers the socket: queues the replay its resume point asks for, then receives live
    // events. The returned function unregisters it; call it when the socket ends.
    [[nodiscard]] std::function<void()> attach(const std::shared_ptr<FrameSink>& sink,
                                               Subscription subscription);

    // Numbers, records and sends each publication to the sockets of its user whose channel list
    // holds its channel.
    void publish(const std::vector<Publication>& publications);

    // A text frame outside the event sequence (not recorded, not replayed), to sockets of the
    // user listening on `channel` (every socket when it is empty). The number of sockets.
    std::size_t pushRaw(const std::string& userId, const std::string& channel,
                        std::string_view text);
    std::size_t drop(const std::string& userId);  // the number of sockets dropped
    // As if the real-time side had restarted: a new tag, no history, every socket dropped; a
    // client can resume from none of its points. The number of sockets dropped.
    std::size_t restart();
    [[nodiscard]] std::size_t socketCount(const std::string& userId) const;
    [[nodiscard]] std::vector<RealtimeUserStats> stats() const;

  private:
    struct Event {
        std::uint64_t sequence;
        std::string channel;
        Frame frame;
    };
    struct Socket {
        std::uint64_t id;
        std::weak_ptr<FrameSink> sink;
        std::vector<std::string> channels;
        [[nodiscard]] bool listensTo(std::string_view channel) const;
    };
    struct UserLine {
        std::deque<Event> history;
        std::vector<Socket> sockets;
    };

    void detach(const std::string& userId, std::uint64_t socketId);

    std::string tag_;  // under mutex_
    mutable std::mutex mutex_;
    std::uint64_t sequence_ = 0;
    std::uint64_t nextSocket_ = 0;
    std::unordered_map<std::string, UserLine> users_;
};

// The real-time channel names a socket may ask for.
[[nodiscard]] bool isRealtimeChannel(std::string_view name);

}  // namespace vesk::dev
