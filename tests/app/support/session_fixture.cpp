#include "tests/app/support/session_fixture.hpp"

#include "app/runtime.hpp"
#include "app/sdk_app.hpp"
#include "usecases/messenger_repository.hpp"
#include "vesk/configuration.hpp"
#include "vesk/runtime.hpp"

namespace vesk::testing {

RunLoop& testLoop() {
    static auto* loop = [] {
        static TempDir data;  // the shared stores of the runtime context
        setDataDirectory(data.path());
        auto made = std::make_shared<RunLoop>();
        setMainExecutor(made);
        Runtime::shared();
        made->runPending();
        return new std::shared_ptr<RunLoop>(made);
    }();
    return **loop;
}

void DevServerTest::SetUp() {
    testLoop();
    std::string error;
    server = dev::DevServer::start({}, &error);
    ASSERT_TRUE(server) << error;
    // Coming online restarts the sockets of earlier tests: let them aim at the
    // previous (stopped) server, not record themselves on this one.
    setReachabilitySource(reachability);
    reachability->push(true);
    DeploymentValues values;
    values.apiUrl = server->apiBaseUrl();
    values.wssUrl = server->realtimeBaseUrl();  // each setup starts the user's socket
    configure(values);
    MessengerRepository::shared().messenger.accept(std::nullopt);
    SdkApp::shared().networkSetting.accept(nullptr);
}

void DevServerTest::TearDown() {
    // Replies still posted for this test's requests must not reach the next one.
    testLoop().runPending();
    SdkApp::shared().rtsManager->stopRtsAll();
    setReachabilitySource(nullptr);
    reportReachability(false);  // as a fresh process starts
    MessengerRepository::shared().messenger.accept(std::nullopt);
    SdkApp::shared().networkSetting.accept(nullptr);
}

bool DevServerTest::runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    return testLoop().runUntil(done, timeout);
}

std::vector<dev::RecordedRequest> DevServerTest::requestsTo(const std::string& path) const {
    std::vector<dev::RecordedRequest> out;
    for (auto& request : server->requests()) {
        if (request.path == path) {
            out.push_back(std::move(request));
        }
    }
    return out;
}

bool DevServerTest::waitForRequests(const std::string& path, std::size_t count) {
    // The server records on its own thread; poll between loop tasks.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        if (requestsTo(path).size() >= count) {
            return true;
        }
        testLoop().runUntil([] { return false; }, std::chrono::milliseconds(5));
    }
    return false;
}

std::shared_ptr<KeyValueStore> DevServerTest::openStore() const {
    return makeFileKeyValueStoreFactory(dir.path())->standard();
}

}  // namespace vesk::testing
