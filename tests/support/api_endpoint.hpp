// API endpoints for tests of services: one that sends through a real HTTP
// client on the given executor, or one without a client for tests that only
// build requests.
#pragma once

#include <memory>
#include <string>

#include "services/network/api_endpoint.hpp"
#include "vesk/executor.hpp"

namespace vesk::net {
class HttpClient;
}

namespace vesk::testing {

ApiEndpointPtr endpointAt(const std::string& baseUrl, Executor& executor, bool logging = false);
ApiEndpointPtr endpointAt(const std::string& baseUrl, std::shared_ptr<net::HttpClient> client);
ApiEndpointPtr endpointWithoutClient(const std::string& baseUrl = "http://127.0.0.1:9/v1/");

}  // namespace vesk::testing
