// The base of every API service: one provider built from one settings object.
//
// A service never changes its settings; when they change, its owner builds a
// new one. Requests are cold streams: each subscription sends one request,
// and disposing it cancels the request. Replies arrive on the main executor.
// Threading: main executor.
#pragma once

#include <memory>
#include <string>

#include "core/reply_mapping.hpp"
#include "core/rx/rx.hpp"
#include "net/http_client.hpp"
#include "services/network/api_endpoint.hpp"
#include "services/network/vesk_provider.hpp"

namespace vesk {

// One request through `provider` and `client`: the reply whatever its status,
// or a failed stream for a transport failure or a request that cannot be built.
rx::Observable<net::HttpReply> sendRequest(std::shared_ptr<net::HttpClient> client,
                                           VeskProvider provider, TargetRequest target);

template <class Target>
class VeskService {
  public:
    VeskService(const ApiEndpointPtr& endpoint, NetworkSettingsPtr networkSettings)
        : networkSettings_(std::move(networkSettings)),
          provider_(networkSettings_, endpoint->baseUrl, endpoint->logging),
          client_(endpoint->client) {}
    virtual ~VeskService() = default;

    [[nodiscard]] const NetworkSettingsPtr& networkSettings() const noexcept {
        return networkSettings_;
    }
    [[nodiscard]] const VeskProvider& provider() const noexcept { return provider_; }

    // The raw reply, for services that map it themselves.
    [[nodiscard]] rx::Observable<net::HttpReply> requestRaw(Target target) const {
        return sendRequest(client_, provider_, std::move(target));
    }

    // One Result of the envelope, or a failed stream (see mapReply).
    template <class T>
    [[nodiscard]] rx::Observable<Result<Response<T>>> request(const Target& target) const {
        return requestRaw(target) | rx::tryMap([](const net::HttpReply& reply) {
                   return mapReply<T>(reply.status, reply.body);
               });
    }

    // The envelope's data itself, or a failed stream carrying an ApiError.
    template <class T>
    [[nodiscard]] rx::Observable<T> requestValue(const Target& target) const {
        return requestRaw(target) | rx::tryMap([](const net::HttpReply& reply) {
                   return mapSingleValue<T>(reply.status, reply.body);
               });
    }

  protected:
    [[nodiscard]] const std::shared_ptr<net::HttpClient>& client() const noexcept {
        return client_;
    }

  private:
    NetworkSettingsPtr networkSettings_;
    VeskProvider provider_;
    std::shared_ptr<net::HttpClient> client_;
};

}  // namespace vesk
