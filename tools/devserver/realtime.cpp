#include "realtime.hpp"

#include <algorithm>
#include <boost/json/serialize.hpp>
#include <charconv>

#include "crypto.hpp"

namespace vesk::dev {

namespace json = boost::json;

namespace {

constexpr std::string_view kChannels[] = {
    "conversation",
    "conversation_reply",
    "conversation_reply_changed",
    "conversation_typing",
    "conversation_read",
    "run_script",
    "users_removed",
    "user_ban",
    "ping",
    "conversation_assigned",
    "conversation_tag_removed_from_app",
};

std::optional<std::uint64_t> parseSequence(const std::string& text) {
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc{} || ptr != end || text.empty()) {
        return std::nullopt;
    }
    return value;
}

// Sockets and the frames each gets from one call, so that a sink is called once per call.
struct Outgoing {
    std::shared_ptr<FrameSink> sink;
    std::vector<Frame> frames;
};

void sendAll(std::vector<Outgoing>& outgoing) {
    for (auto& o : outgoing) {
        if (!o.frames.empty()) {
            o.sink->send(o.frames.data(), o.frames.size());
        }
    }
}

}  // namespace

bool isRealtimeChannel(std::string_view name) {
    return std::find(std::begin(kChannels), std::end(kChannels), name) != std::end(kChannels);
}

std::string encodeTextFrame(std::string_view payload) {
    std::string frame;
    frame.reserve(payload.size() + 10);
    frame.push_back(static_cast<char>(0x81));  // final fragment, text
    const std::uint64_t n = payload.size();
    if (n < 126) {
        frame.push_back(static_cast<char>(n));
    } else if (n <= 0xffff) {
        frame.push_back(static_cast<char>(126));
        frame.push_back(static_cast<char>((n >> 8) & 0xff));
        frame.push_back(static_cast<char>(n & 0xff));
    } else {
        frame.push_back(static_cast<char>(127));
        for (int shift = 56; shift >= 0; shift -= 8) {
            frame.push_back(static_cast<char>((n >> shift) & 0xff));
        }
    }
    frame.append(payload);
    return frame;
}

bool Realtime::Socket::listensTo(std::string_view channel) const {
    return std::find(channels.begin(), channels.end(), channel) != channels.end();
}

Realtime::Realtime() : tag_(randomHex(8)) {}

std::string Realtime::tag() const {
    std::lock_guard lock(mutex_);
    return tag_;
}

std::size_t Realtime::restart() {
    std::lock_guard lock(mutex_);
    tag_ = randomHex(8);
    std::size_t dropped = 0;
    for (auto& [userId, line] : users_) {
        line.history.clear();
        for (const Socket& s : line.sockets) {
            if (auto sink = s.sink.lock()) {
                sink->drop();
                ++dropped;
            }
        }
        line.sockets.clear();
    }
    return dropped;
}

std::uint64_t Realtime::lastSequence() const {
    std::lock_guard lock(mutex_);
    return sequence_;
}

std::function<void()> Realtime::attach(const std::shared_ptr<FrameSink>& sink,
                                       Subscription subscription) {
    std::lock_guard lock(mutex_);
    UserLine& line = users_[subscription.userId];
    const std::uint64_t id = ++nextSocket_;
    Socket socket{id, sink, std::move(subscription.channels)};

    // A resume point of this run replays what came after it; any other (a restarted server's,
    // one from the future, none) starts with live events only.
    std::optional<std::uint64_t> after;
    if (subscription.tag && subscription.time && *subscription.tag == tag_) {
        after = parseSequence(*subscription.time);
        if (after && *after > sequence_) {
            after.reset();
        }
    }
    if (after) {
        std::vector<Frame> replay;
        for (const Event& e : line.history) {
            if (e.sequence > *after && socket.listensTo(e.channel)) {
                replay.push_back(e.frame);
            }
        }
        if (!replay.empty()) {
            sink->send(replay.data(), replay.size());
        }
    }
    line.sockets.push_back(std::move(socket));
    return [this, userId = std::move(subscription.userId), id] { detach(userId, id); };
}

void Realtime::detach(const std::string& userId, std::uint64_t socketId) {
    std::lock_guard lock(mutex_);
    auto it = users_.find(userId);
    if (it == users_.end()) {
        return;
    }
    auto& sockets = it->second.sockets;
    sockets.erase(std::remove_if(sockets.begin(), sockets.end(),
                                 [&](const Socket& s) { return s.id == socketId; }),
                  sockets.end());
}

void Realtime::publish(const std::vector<Publication>& publications) {
    std::vector<Outgoing> outgoing;  // released after the lock: it may hold a sink's last owner
    std::lock_guard lock(mutex_);
    std::unordered_map<std::uint64_t, std::size_t> slot;  // socket id -> index in outgoing
    for (const Publication& p : publications) {
        const std::uint64_t sequence = ++sequence_;
        const std::string number = std::to_string(sequence);
        std::string envelope;
        envelope.reserve(256);
        envelope += R"({"id":)";
        envelope += number;
        envelope += R"(,"channel":)";
        envelope += json::serialize(json::string(p.channel + "." + p.appId + "." + p.userId));
        envelope += R"(,"message":)";
        envelope += json::serialize(p.message);
        envelope += R"(,"tag":")";
        envelope += tag_;  // hexadecimal: nothing to escape
        envelope += R"(","time":")";
        envelope += number;
        envelope += R"("})";
        Frame frame = std::make_shared<const std::string>(encodeTextFrame(envelope));

        UserLine& line = users_[p.userId];
        line.history.push_back({sequence, p.channel, frame});
        if (line.history.size() > kHistoryLimit) {
            line.history.pop_front();
        }
        for (const Socket& s : line.sockets) {
            if (!s.listensTo(p.channel)) {
                continue;
            }
            auto [at, added] = slot.try_emplace(s.id, outgoing.size());
            if (added) {
                std::shared_ptr<FrameSink> sink = s.sink.lock();
                if (!sink) {
                    slot.erase(at);
                    continue;
                }
                outgoing.push_back({std::move(sink), {}});
            }
            outgoing[at->second].frames.push_back(frame);
        }
    }
    sendAll(outgoing);
}

std::size_t Realtime::pushRaw(const std::string& userId, const std::string& channel,
                              std::string_view text) {
    const Frame frame = std::make_shared<const std::string>(encodeTextFrame(text));
    std::lock_guard lock(mutex_);
    auto it = users_.find(userId);
    if (it == users_.end()) {
        return 0;
    }
    std::size_t sent = 0;
    for (const Socket& s : it->second.sockets) {
        if (channel.empty() || s.listensTo(channel)) {
            if (auto sink = s.sink.lock()) {
                sink->send(&frame, 1);
                ++sent;
            }
        }
    }
    return sent;
}

std::size_t Realtime::drop(const std::string& userId) {
    std::lock_guard lock(mutex_);
    auto it = users_.find(userId);
    if (it == users_.end()) {
        return 0;
    }
    std::size_t dropped = 0;
    for (const Socket& s : it->second.sockets) {
        if (auto sink = s.sink.lock()) {
            sink->drop();
            ++dropped;
        }
    }
    // Gone for the hub at once, even before the transport has closed them.
    it->second.sockets.clear();
    return dropped;
}

std::size_t Realtime::socketCount(const std::string& userId) const {
    std::lock_guard lock(mutex_);
    auto it = users_.find(userId);
    if (it == users_.end()) {
        return 0;
    }
    return static_cast<std::size_t>(
        std::count_if(it->second.sockets.begin(), it->second.sockets.end(),
                      [](const Socket& s) { return !s.sink.expired(); }));
}

std::vector<RealtimeUserStats> Realtime::stats() const {
    std::lock_guard lock(mutex_);
    std::vector<RealtimeUserStats> out;
    for (const auto& [userId, line] : users_) {
        RealtimeUserStats s{userId, 0, {}};
        for (const Socket& socket : line.sockets) {
            if (!socket.sink.expired()) {
                ++s.sockets;
                s.channels.push_back(socket.channels);
            }
        }
        if (s.sockets > 0) {
            out.push_back(std::move(s));
        }
    }
    std::sort(out.begin(), out.end(), [](const RealtimeUserStats& a, const RealtimeUserStats& b) {
        return a.userId < b.userId;
    });
    return out;
}

}  // namespace vesk::dev
