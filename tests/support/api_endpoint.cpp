#include "tests/support/api_endpoint.hpp"

#include "net/http_client.hpp"

namespace vesk::testing {

ApiEndpointPtr endpointAt(const std::string& baseUrl, Executor& executor, bool logging) {
    auto endpoint = std::make_shared<ApiEndpoint>();
    endpoint->client = std::make_shared<net::HttpClient>(executor);
    endpoint->baseUrl = baseUrl;
    endpoint->logging = logging;
    return endpoint;
}

ApiEndpointPtr endpointAt(const std::string& baseUrl, std::shared_ptr<net::HttpClient> client) {
    auto endpoint = std::make_shared<ApiEndpoint>();
    endpoint->client = std::move(client);
    endpoint->baseUrl = baseUrl;
    return endpoint;
}

ApiEndpointPtr endpointWithoutClient(const std::string& baseUrl) {
    auto endpoint = std::make_shared<ApiEndpoint>();
    endpoint->baseUrl = baseUrl;
    return endpoint;
}

}  // namespace vesk::testing
