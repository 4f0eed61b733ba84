// Where every API service of one library instance sends its requests.
// Threading: immutable once built; shared by the services of the instance.
#pragma once

#include <memory>
#include <string>

namespace vesk::net {
class HttpClient;
}

namespace vesk {

struct ApiEndpoint {
    // Replies arrive on the instance's main executor.
    std::shared_ptr<net::HttpClient> client;
    // The configured API base URL (ends in "/v1/").
    std::string baseUrl;
    // Every request and reply goes to the console.
    bool logging = false;
};

using ApiEndpointPtr = std::shared_ptr<const ApiEndpoint>;

}  // namespace vesk
