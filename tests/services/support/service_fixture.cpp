#include "tests/services/support/service_fixture.hpp"

#include "core/in_memory_key_value_store.hpp"
#include "services/user_service.hpp"
#include "tests/support/api_endpoint.hpp"
#include "tests/support/temp_dir.hpp"
#include "vesk/key_value_store.hpp"
#include "vesk/version.hpp"

namespace vesk::testing {

namespace {

class AlwaysReachable final : public ReachabilitySource {
  public:
    void start(std::function<void(bool)> report) override { report(true); }
};

}  // namespace

RunLoop& serviceLoop() {
    static auto* loop = [] {
        auto* made = new RunLoop();
        made->runPending();  // the test thread is the loop's from now on
        return made;
    }();
    return *loop;
}

Library& ServiceTest::instance() {
    if (!library_) {
        LibraryOptions options;
        options.executor = std::shared_ptr<Executor>(std::shared_ptr<void>{}, &serviceLoop());
        Configuration configuration;
        configuration.apiUrl = server->apiBaseUrl();
        options.configuration = configuration;
        options.httpClient = api->client;
        options.standardStore = makeInMemoryKeyValueStore();
        options.stores = makeInMemoryKeyValueStoreFactory();
        options.reachability = std::make_shared<AlwaysReachable>();
        library_ = Library::make(std::move(options));
    }
    return *library_;
}

Vesk& ServiceTest::facade() {
    if (!facade_) {
        facade_ = std::make_unique<Vesk>(instance().shared_from_this());
    }
    return *facade_;
}

void ServiceTest::SetUp() {
    serviceLoop();
    std::string error;
    server = dev::DevServer::start({}, &error);
    ASSERT_TRUE(server) << error;
    api = endpointAt(server->apiBaseUrl(), serviceLoop());
    const auto connected = first(
        UserService(api, nullptr).connect(server->demoApiKey(), std::string(libraryVersion())));
    ASSERT_TRUE(connected && connected->succeed());
    const auto& [user, messenger] = *connected->success();
    settings = std::make_shared<const NetworkSettings>(NetworkSettings::ConnectionType::sdk,
                                                       *user.token, messenger.appId, user.id);
    server->clearRequests();
}

void ServiceTest::TearDown() {
    // Replies still posted for this test's requests must not reach the next one.
    facade_.reset();
    library_.reset();
    serviceLoop().runPending();
}

bool ServiceTest::runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    return serviceLoop().runUntil(done, timeout);
}

std::vector<dev::RecordedRequest> ServiceTest::requestsTo(const std::string& path) const {
    std::vector<dev::RecordedRequest> out;
    for (auto& request : server->requests()) {
        if (request.path == path) {
            out.push_back(std::move(request));
        }
    }
    return out;
}

dev::RecordedRequest ServiceTest::lastRequest() const {
    const auto all = server->requests();
    return all.empty() ? dev::RecordedRequest{} : all.back();
}

NetworkSettingsPtr ServiceTest::settingsAs(const std::string& userId) const {
    return std::make_shared<const NetworkSettings>(settings->connection, settings->token,
                                                   settings->appId, userId);
}

}  // namespace vesk::testing
