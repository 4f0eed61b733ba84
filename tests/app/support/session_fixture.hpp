// A development server on loopback and library instances of this test on the
// test thread: one RunLoop for the whole test binary is their main executor,
// driven with bounded runUntil calls. Each test builds the instances it needs;
// nothing is shared between tests.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/library.hpp"
#include "tests/support/temp_dir.hpp"
#include "tools/devserver/dev_server.hpp"
#include "vesk/executor.hpp"
#include "vesk/host_events.hpp"
#include "vesk/key_value_store.hpp"
#include "vesk/vesk.hpp"

namespace vesk::testing {

// The binary's main executor.
RunLoop& testLoop();

// Reachability the test decides, for every instance it is given to; an
// instance hears the current status when it starts listening.
class PushedReachability final : public ReachabilitySource {
  public:
    void start(std::function<void(bool)> report) override {
        report(reachable_);
        reports_.push_back(std::move(report));
    }
    void push(bool reachable) {
        reachable_ = reachable;
        for (const auto& report : reports_) {
            report(reachable);
        }
    }

  private:
    bool reachable_ = true;
    std::vector<std::function<void(bool)>> reports_;
};

class DevServerTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // An instance on this test's server, store file, loop and reachability;
    // without a scheduler its timers run in real time.
    [[nodiscard]] std::shared_ptr<Library> makeLibrary(
        std::shared_ptr<Scheduler> scheduler = nullptr) const;
    [[nodiscard]] LibraryOptions libraryOptions() const;
    // The endpoint of this test's server, on the test loop (made on first use).
    [[nodiscard]] const ApiEndpointPtr& api();

    // Runs the loop until `done` holds (generous bound: the machine may be loaded).
    bool runUntil(const std::function<bool()>& done,
                  std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // Sets `vesk` (over `library`) up and waits for its user's socket; the user's id.
    std::string connect(Vesk& vesk, const Library& library);
    // Runs the loop until the server has recorded `count` requests to `path`.
    bool waitForRequests(const std::string& path, std::size_t count);
    [[nodiscard]] std::vector<dev::RecordedRequest> requestsTo(const std::string& path) const;
    // A standard store on a file of this test's directory; each call opens the file anew.
    [[nodiscard]] std::shared_ptr<KeyValueStore> openStore() const;

    std::unique_ptr<dev::DevServer> server;
    ApiEndpointPtr api_;
    std::shared_ptr<PushedReachability> reachability = std::make_shared<PushedReachability>();
    TempDir dir;
};

}  // namespace vesk::testing
