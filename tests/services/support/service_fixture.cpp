#include "tests/services/support/service_fixture.hpp"

#include "app/runtime.hpp"
#include "core/config/library_bundles.hpp"
#include "services/user_service.hpp"
#include "tests/support/temp_dir.hpp"
#include "vesk/configuration.hpp"
#include "vesk/key_value_store.hpp"
#include "vesk/runtime.hpp"

namespace vesk::testing {

RunLoop& serviceLoop() {
    static auto* loop = [] {
        static TempDir data;  // the runtime context's shared stores
        setDataDirectory(data.path());
        auto made = std::make_shared<RunLoop>();
        setMainExecutor(made);
        Runtime::shared();
        made->runPending();
        return new std::shared_ptr<RunLoop>(made);
    }();
    return **loop;
}

void ServiceTest::SetUp() {
    serviceLoop();
    std::string error;
    server = dev::DevServer::start({}, &error);
    ASSERT_TRUE(server) << error;
    DeploymentValues values;
    values.apiUrl = server->apiBaseUrl();
    configure(values);
    const auto connected = first(UserService(nullptr).connect(server->demoApiKey(), "1.0.33"));
    ASSERT_TRUE(connected && connected->succeed());
    const auto& [user, messenger] = *connected->success();
    settings = std::make_shared<const NetworkSettings>(NetworkSettings::ConnectionType::sdk,
                                                       *user.token, messenger.appId, user.id);
    server->clearRequests();
}

void ServiceTest::TearDown() {
    // Replies still posted for this test's requests must not reach the next one.
    serviceLoop().runPending();
    for (auto& bundle : config::makeLibraryBundles()) {
        registerBundle(std::move(bundle));
    }
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
