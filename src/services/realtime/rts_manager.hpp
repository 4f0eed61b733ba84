// The real-time sockets of the library, one per application id.
//
// Sockets are stopped when the host goes to the background or the network
// goes offline and started again on the way back. Threading: main executor.
//
// The runtime context owns the one manager and hands it the app-state and
// reachability streams; on every new settings value it stops all sockets and
// starts the one of the settings' application.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/rx/rx.hpp"
#include "services/network/network_settings.hpp"
#include "services/realtime/vesk_socket.hpp"
#include "vesk/executor.hpp"

namespace vesk {

class RtsManager {
  public:
    // `realtimeBase`: the base URL of every socket. `isBackground` and
    // `isOnline` should deliver their current value at subscription. Repeats of
    // `isBackground` are ignored; every `isOnline` value acts. `executor` must
    // outlive the manager.
    RtsManager(Executor& executor, std::string realtimeBase, SocketOptions socketOptions,
               const rx::Observable<bool>& isBackground, const rx::Observable<bool>& isOnline);
    RtsManager(const RtsManager&) = delete;
    RtsManager& operator=(const RtsManager&) = delete;

    // Connects the socket of `settings->appId`, creating it on first use
    // (absent when `channels` is empty or no URL can be built). A socket that
    // exists takes the new settings and channels (an empty list keeps its
    // own) and drops its resume point for another user before it connects;
    // its service stays.
    std::shared_ptr<VeskSocket> startRts(const NetworkSettingsPtr& settings,
                                         std::vector<Channel> channels,
                                         std::shared_ptr<RtsServiceProtocol> service);

    // Closes the socket of `appId` (normal closure); it stays known.
    void stopRts(const std::string& appId);
    void startRtsAll();
    void stopRtsAll();

    // Sockets known, connected or not.
    [[nodiscard]] std::size_t getActiveCount() const { return sockets_.size(); }
    [[nodiscard]] std::shared_ptr<VeskSocket> socket(const std::string& appId) const;

  private:
    Executor& executor_;
    std::string realtimeBase_;
    SocketOptions socketOptions_;
    std::map<std::string, std::shared_ptr<VeskSocket>> sockets_;
    rx::DisposeBag disposeBag_;  // last: ends the subscriptions before the sockets go
};

}  // namespace vesk
