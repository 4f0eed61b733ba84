#include "services/realtime/vesk_socket.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <utility>

#include "core/url_encode.hpp"

namespace vesk {

namespace {

// Each connect waits this long for the connection and each handshake.
constexpr std::chrono::seconds kConnectTimeout{60};

// Only letters and digits stay as they are; everything else is %XX.
std::string encodeResumeValue(std::string_view text) {
    return percentEncode(text, {});
}

}  // namespace

std::optional<std::string> VeskSocket::getUrl(const std::string& base,
                                              const NetworkSettings& settings,
                                              const std::vector<Channel>& channels,
                                              const std::optional<std::string>& tag,
                                              const std::optional<std::string>& time) {
    std::string url = base;
    // The configured base usually ends in "/"; the path must not start with "//".
    while (!url.empty() && url.back() == '/') {
        url.pop_back();
    }
    for (const Channel channel : channels) {
        url += '/';
        url += rawValue(channel);
        url += '.';
        url += settings.appId;
        if (settings.connection == NetworkSettings::ConnectionType::sdk) {
            url += '.';
            url += settings.userId;
        }
    }
    url += "?auth_token=";
    url += settings.getToken();
    if (tag && time) {
        url += "&tag=" + encodeResumeValue(*tag) + "&time=" + encodeResumeValue(*time);
    }
    if (!isWellFormedUrl(url)) {
        return std::nullopt;
    }
    return url;
}

std::shared_ptr<VeskSocket> VeskSocket::create(Executor& executor, std::string base,
                                               NetworkSettingsPtr settings,
                                               std::vector<Channel> channels,
                                               std::shared_ptr<RtsServiceProtocol> service,
                                               SocketOptions options) {
    if (!settings || !getUrl(base, *settings, channels, std::nullopt, std::nullopt)) {
        return nullptr;
    }
    return std::shared_ptr<VeskSocket>(new VeskSocket(executor, std::move(base),
                                                      std::move(settings), std::move(channels),
                                                      std::move(service), std::move(options)));
}

VeskSocket::VeskSocket(Executor& executor, std::string base, NetworkSettingsPtr settings,
                       std::vector<Channel> channels, std::shared_ptr<RtsServiceProtocol> service,
                       SocketOptions options)
    : base_(std::move(base)),
      settings_(std::move(settings)),
      channels_(std::move(channels)),
      service_(std::move(service)),
      reconnect_(options.reconnect),
      jitter_(std::random_device{}()),
      client_(std::make_unique<net::WebSocketClient>(
          executor, [this](const net::WebSocketEvent& event) { handle(event); },
          [this](net::ConnectionId connection, const std::string& text) {
              return acceptOnIoThread(connection, text);
          },
          net::WebSocketClient::kMaxMessageSize, std::move(options.caFile))) {}

VeskSocket::~VeskSocket() {
    retry_.cancel();
}

void VeskSocket::connect() {
    const auto plain = getUrl(base_, *settings_, channels_, std::nullopt, std::nullopt);
    if (!plain || (active_ && *plain == activeUrl_)) {
        return;
    }
    retry_.cancel();
    // Held across the call so the I/O thread cannot see a frame of the new
    // connection before it is the one being recorded.
    std::lock_guard lock(mutex_);
    const auto url = getUrl(base_, *settings_, channels_, tag_, time_);
    if (!url) {
        return;
    }
    connection_ = client_->connect({*url, kConnectTimeout});
    recording_ = connection_;
    active_ = true;
    activeUrl_ = *plain;
}

void VeskSocket::disconnect(std::optional<double> forceTimeout, std::uint16_t closeCode) {
    std::optional<std::chrono::milliseconds> force;
    if (forceTimeout && std::isfinite(*forceTimeout) && *forceTimeout >= 0) {
        force = std::chrono::milliseconds(static_cast<std::int64_t>(*forceTimeout * 1000.0));
    }
    retry_.cancel();
    client_->disconnect(closeCode, force);
    active_ = false;
    activeUrl_.clear();
    std::lock_guard lock(mutex_);
    recording_ = 0;
}

void VeskSocket::update(NetworkSettingsPtr settings, std::vector<Channel> channels) {
    if (!settings) {
        return;
    }
    const bool otherUser =
        settings->userId != settings_->userId || settings->token != settings_->token;
    settings_ = std::move(settings);
    channels_ = std::move(channels);
    if (!otherUser) {
        return;
    }
    if (active_) {
        disconnect(std::nullopt, 1000);
    }
    firstCurrent_ = connection_ + 1;
    connectedBefore_ = false;
    std::lock_guard lock(mutex_);
    recording_ = 0;
    tag_.reset();
    time_.reset();
}

std::optional<std::string> VeskSocket::tag() const {
    std::lock_guard lock(mutex_);
    return tag_;
}

std::optional<std::string> VeskSocket::time() const {
    std::lock_guard lock(mutex_);
    return time_;
}

bool VeskSocket::acceptOnIoThread(net::ConnectionId connection, const std::string& text) {
    // Read before the lock: the main executor may be waiting for it in connect.
    auto point = resumePointOf(text);
    std::lock_guard lock(mutex_);
    if (connection != recording_) {
        // Sent after we stopped listening: the server resends it from the resume point.
        return false;
    }
    if (point) {
        tag_ = std::move(point->tag);
        time_ = std::move(point->time);
    }
    return true;
}

void VeskSocket::handle(const net::WebSocketEvent& event) {
    using Kind = net::WebSocketEvent::Kind;
    if (event.kind == Kind::text) {
        if (event.connection < firstCurrent_) {
            return;  // the previous user's
        }
        message.accept(event.payload);
        if (service_) {
            service_->onMessage(event.payload);
        }
        return;
    }
    if (event.kind == Kind::connected && event.connection == connection_) {
        if (reconnect_) {
            connectedAt_ = reconnect_->now();
        }
        if (std::exchange(connectedBefore_, true) && service_) {
            service_->onReconnected();
        }
    }
    if (event.kind == Kind::disconnected && event.connection == connection_) {
        // Still active: nobody asked for this close.
        const bool unexpected = active_;
        active_ = false;
        activeUrl_.clear();
        if (unexpected) {
            scheduleReconnect();
        }
    }
    message.accept(std::string());
}

void VeskSocket::scheduleReconnect() {
    if (!reconnect_) {
        return;
    }
    const auto now = reconnect_->now();
    if (connectedAt_ && now - *connectedAt_ >= kStable) {
        retries_ = 0;
    }
    connectedAt_.reset();
    const std::chrono::milliseconds ceiling = std::min<std::chrono::milliseconds>(
        kLastRetry, kFirstRetry * (1 << std::min(retries_, 10)));
    ++retries_;
    std::uniform_int_distribution<std::int64_t> draw(ceiling.count() / 2, ceiling.count());
    // The socket cancels the timer before it goes, so `this` is alive when it fires.
    retry_ = reconnect_->schedule(std::chrono::milliseconds(draw(jitter_)), [this] { connect(); });
}

}  // namespace vesk
