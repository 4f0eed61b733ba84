// A development server on loopback and the library's runtime on the test thread:
// one RunLoop for the whole test binary, driven with bounded runUntil calls.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "tests/support/temp_dir.hpp"
#include "tools/devserver/dev_server.hpp"
#include "vesk/executor.hpp"
#include "vesk/host_events.hpp"
#include "vesk/key_value_store.hpp"

namespace vesk::testing {

// The binary's main executor; the first call also makes it the library's.
RunLoop& testLoop();

// Reachability the test decides.
class PushedReachability final : public ReachabilitySource {
  public:
    void start(std::function<void(bool)> report) override { report_ = std::move(report); }
    void push(bool reachable) const {
        if (report_) {
            report_(reachable);
        }
    }

  private:
    std::function<void(bool)> report_;
};

class DevServerTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Runs the loop until `done` holds (generous bound: the machine may be loaded).
    bool runUntil(const std::function<bool()>& done,
                  std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // Runs the loop until the server has recorded `count` requests to `path`.
    bool waitForRequests(const std::string& path, std::size_t count);
    [[nodiscard]] std::vector<dev::RecordedRequest> requestsTo(const std::string& path) const;
    // A standard store on a file of this test's directory; each call opens the file anew.
    [[nodiscard]] std::shared_ptr<KeyValueStore> openStore() const;

    std::unique_ptr<dev::DevServer> server;
    std::shared_ptr<PushedReachability> reachability = std::make_shared<PushedReachability>();
    TempDir dir;
};

}  // namespace vesk::testing
