#include "services/network/vesk_service.hpp"

namespace vesk {

rx::Observable<net::HttpReply> sendRequest(std::shared_ptr<net::HttpClient> client,
                                           VeskProvider provider, TargetRequest target) {
    return rx::Observable<net::HttpReply>::create(
        [client = std::move(client), provider = std::move(provider),
         target = std::move(target)](const rx::Observer<net::HttpReply>& observer) {
            if (!client) {
                observer.onError(Error::make(Error::Kind::invalid, "The library is not set up."));
                return rx::Disposable{};
            }
            auto request = provider.request(target);
            if (!request) {
                SystemConsole::shared().write(request.error().detail, "VeskNetwork");
                observer.onError(request.error());
                return rx::Disposable{};
            }
            provider.logRequest(*request);
            // Only the logger needs the request after it is handed over.
            auto logged = provider.logging() ? std::make_shared<const net::HttpRequest>(*request)
                                             : std::shared_ptr<const net::HttpRequest>();
            const auto id = client->send(
                std::move(*request), [observer, provider, logged](Expected<net::HttpReply> reply) {
                    if (reply) {
                        if (logged) {
                            provider.logReply(*logged, &*reply, nullptr);
                        }
                        observer.onNext(*reply);
                        observer.onCompleted();
                    } else {
                        if (logged) {
                            provider.logReply(*logged, nullptr, &reply.error());
                        }
                        observer.onError(reply.error());
                    }
                });
            std::weak_ptr<net::HttpClient> weak = client;
            return rx::Disposable::create([weak, id] {
                if (auto c = weak.lock()) {
                    c->cancel(id);
                }
            });
        });
}

}  // namespace vesk
