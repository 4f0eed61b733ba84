#include "tests/app/support/session_fixture.hpp"

#include "tests/support/api_endpoint.hpp"

namespace vesk::testing {

RunLoop& testLoop() {
    static auto* loop = [] {
        static TempDir data;  // the host's stores, for the library's process-wide defaults
        setDataDirectory(data.path());
        auto* made = new RunLoop();
        made->runPending();  // the test thread is the loop's from now on
        return made;
    }();
    return *loop;
}

void DevServerTest::SetUp() {
    std::string error;
    server = dev::DevServer::start({}, &error);
    ASSERT_TRUE(server) << error;
}

void DevServerTest::TearDown() {
    // Replies still posted for this test's requests must not reach the next one.
    testLoop().runPending();
}

LibraryOptions DevServerTest::libraryOptions() const {
    LibraryOptions options;
    options.executor = std::shared_ptr<Executor>(std::shared_ptr<void>{}, &testLoop());
    Configuration configuration;
    configuration.apiUrl = server->apiBaseUrl();
    configuration.wssUrl = server->realtimeBaseUrl();  // each setup starts the user's socket
    options.configuration = configuration;
    options.standardStore = openStore();
    options.stores = makeFileKeyValueStoreFactory(dir.path());
    options.reachability = reachability;
    return options;
}

const ApiEndpointPtr& DevServerTest::api() {
    if (!api_) {
        api_ = endpointAt(server->apiBaseUrl(), testLoop());
    }
    return api_;
}

std::shared_ptr<Library> DevServerTest::makeLibrary(std::shared_ptr<Scheduler> scheduler) const {
    auto options = libraryOptions();
    options.scheduler = std::move(scheduler);
    return Library::make(std::move(options));
}

bool DevServerTest::runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    return testLoop().runUntil(done, timeout);
}

std::string DevServerTest::connect(Vesk& vesk, const Library& library) {
    bool ok = false;
    vesk.setup(
        server->demoApiKey(), [&] { ok = true; }, [](const std::string&) {});
    EXPECT_TRUE(runUntil([&] { return ok; }));
    const auto& setting = library.sdkApp.networkSetting.value();
    const std::string user = setting ? setting->userId : "";
    EXPECT_TRUE(runUntil([&] { return server->realtimeSocketCount(user) == 1; }));
    return user;
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
