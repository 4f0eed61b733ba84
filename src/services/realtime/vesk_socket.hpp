// One receive-only real-time connection of an application.
//
// Threading: created, used and destroyed on the main executor. Each text frame
// first updates the resume point on the client's I/O thread (so the point
// follows the wire exactly; only the point is read there, nothing is built),
// then reaches `service->onMessage` on the main executor, once and in arrival
// order, where it is parsed. A frame that moved
// the resume point is delivered even when `disconnect` came in between; frames of a connection that
// belonged to an earlier user (see `update`) are not.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/rx/rx.hpp"
#include "net/websocket_client.hpp"
#include "services/network/network_settings.hpp"
#include "services/realtime/rts_envelope.hpp"
#include "vesk/clock.hpp"
#include "vesk/executor.hpp"

namespace vesk {

struct SocketOptions {
    // A PEM file of the CAs trusted instead of the system's store.
    std::string caFile;
    // Reconnects on this clock after a close nobody asked for (a server
    // restart, a network blip); none: only `connect` connects.
    Scheduler* reconnect = nullptr;
};

class VeskSocket {
  public:
    // <base>/<channel>.<appId>[.<userId>]/...?auth_token=<token>[&tag=..&time=..];
    // the tag and time only when both are given. Absent when it is no URL.
    static std::optional<std::string> getUrl(const std::string& base,
                                             const NetworkSettings& settings,
                                             const std::vector<Channel>& channels,
                                             const std::optional<std::string>& tag,
                                             const std::optional<std::string>& time);

    // `base`: the real-time base URL. Absent when no URL can be built from
    // `settings`. `executor` must outlive the socket.
    static std::shared_ptr<VeskSocket> create(Executor& executor, std::string base,
                                              NetworkSettingsPtr settings,
                                              std::vector<Channel> channels,
                                              std::shared_ptr<RtsServiceProtocol> service,
                                              SocketOptions options = {});

    // After an unexpected close the socket waits between half and all of
    // this, doubling from the first to the last after each failed try; a
    // connection that stayed up for `kStable` starts again from the first.
    static constexpr std::chrono::milliseconds kFirstRetry{500};
    static constexpr std::chrono::milliseconds kLastRetry{30'000};
    static constexpr std::chrono::milliseconds kStable{60'000};

    VeskSocket(const VeskSocket&) = delete;
    VeskSocket& operator=(const VeskSocket&) = delete;
    ~VeskSocket();

    // Connects with the current settings, channels and resume point. While a
    // connection made with the same settings and channels is open or opening,
    // does nothing (so a second call never adds a second delivery path); with
    // other settings, replaces that connection. Does nothing when no URL can
    // be built.
    void connect();

    // Closes with `closeCode`; after `forceTimeout` seconds without the
    // server's answer, drops the connection. No reconnect follows.
    void disconnect(std::optional<double> forceTimeout, std::uint16_t closeCode);

    // New settings and channels for the next `connect`. When the user (id or
    // token) differs, the open connection is closed and the resume point is
    // dropped: it was handed out for the previous user.
    void update(NetworkSettingsPtr settings, std::vector<Channel> channels);

    // The resume point: the tag and time of the last complete envelope.
    [[nodiscard]] std::optional<std::string> tag() const;
    [[nodiscard]] std::optional<std::string> time() const;

    [[nodiscard]] const NetworkSettingsPtr& settings() const { return settings_; }
    [[nodiscard]] const std::vector<Channel>& channels() const { return channels_; }
    [[nodiscard]] const std::shared_ptr<RtsServiceProtocol>& service() const { return service_; }
    // Connected or connecting, as far as the main executor has heard.
    [[nodiscard]] bool isActive() const { return active_; }

    // The text of the latest frame delivered; "" after every other event.
    rx::BehaviorRelay<std::string> message{std::string()};

  private:
    VeskSocket(Executor& executor, std::string base, NetworkSettingsPtr settings,
               std::vector<Channel> channels, std::shared_ptr<RtsServiceProtocol> service,
               SocketOptions options);

    bool acceptOnIoThread(net::ConnectionId connection, const std::string& text);
    void handle(const net::WebSocketEvent& event);
    void scheduleReconnect();

    std::string base_;
    NetworkSettingsPtr settings_;
    std::vector<Channel> channels_;
    std::shared_ptr<RtsServiceProtocol> service_;

    // Main executor only.
    bool active_ = false;
    net::ConnectionId connection_ = 0;    // the latest connection asked for
    net::ConnectionId firstCurrent_ = 1;  // connections before it were another user's
    std::string activeUrl_;               // the URL without resume point of the open connection
    Scheduler* reconnect_;
    int retries_ = 0;               // unexpected closes since the last stable connection
    bool connectedBefore_ = false;  // as the current user
    std::optional<Scheduler::TimePoint> connectedAt_;
    TimerHandle retry_;
    std::minstd_rand jitter_;

    // Shared with the I/O thread.
    mutable std::mutex mutex_;
    std::optional<std::string> tag_;
    std::optional<std::string> time_;
    net::ConnectionId recording_ = 0;  // the connection whose frames move the resume point

    // Last, so it stops (and joins its thread) before the state above goes.
    std::unique_ptr<net::WebSocketClient> client_;
};

}  // namespace vesk
