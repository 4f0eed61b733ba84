#include "services/realtime/rts_manager.hpp"

namespace vesk {

RtsManager::RtsManager(Executor& executor, std::string realtimeBase, SocketOptions socketOptions,
                       const rx::Observable<bool>& isBackground,
                       const rx::Observable<bool>& isOnline)
    : executor_(executor),
      realtimeBase_(std::move(realtimeBase)),
      socketOptions_(std::move(socketOptions)) {
    disposeBag_.add((isBackground | rx::distinctUntilChanged()).subscribe([this](bool background) {
        if (background) {
            stopRtsAll();
        } else {
            startRtsAll();
        }
    }));
    disposeBag_.add(isOnline.subscribe([this](bool online) {
        if (online) {
            startRtsAll();
        } else {
            stopRtsAll();
        }
    }));
}

std::shared_ptr<VeskSocket> RtsManager::startRts(const NetworkSettingsPtr& settings,
                                                 std::vector<Channel> channels,
                                                 std::shared_ptr<RtsServiceProtocol> service) {
    if (!settings) {
        return nullptr;
    }
    std::shared_ptr<VeskSocket> socket;
    if (const auto found = sockets_.find(settings->appId); found != sockets_.end()) {
        socket = found->second;
        // A socket outlives logins: it must connect as the user it is started for now.
        if (!channels.empty()) {
            socket->update(settings, std::move(channels));
        } else {
            socket->update(settings, socket->channels());
        }
    } else {
        if (channels.empty()) {
            return nullptr;
        }
        socket = VeskSocket::create(executor_, realtimeBase_, settings, std::move(channels),
                                    std::move(service), socketOptions_);
        if (!socket) {
            sockets_.erase(settings->appId);
            return nullptr;
        }
        sockets_.emplace(settings->appId, socket);
    }
    socket->connect();
    return socket;
}

void RtsManager::stopRts(const std::string& appId) {
    if (const auto found = sockets_.find(appId); found != sockets_.end()) {
        found->second->disconnect(std::nullopt, 1000);
    }
}

void RtsManager::startRtsAll() {
    for (const auto& [appId, socket] : sockets_) {
        socket->connect();
    }
}

void RtsManager::stopRtsAll() {
    for (const auto& [appId, socket] : sockets_) {
        socket->disconnect(std::nullopt, 1000);
    }
}

std::shared_ptr<VeskSocket> RtsManager::socket(const std::string& appId) const {
    const auto found = sockets_.find(appId);
    return found == sockets_.end() ? nullptr : found->second;
}

}  // namespace vesk
