// Services against a development server on loopback: one RunLoop for the whole
// test binary serves as the library's main executor; each test gets a fresh
// server and an anonymous user of its demo app.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/library.hpp"
#include "core/error.hpp"
#include "core/rx/rx.hpp"
#include "services/network/network_settings.hpp"
#include "tools/devserver/dev_server.hpp"
#include "vesk/executor.hpp"
#include "vesk/vesk.hpp"

namespace vesk::testing {

// The binary's main executor.
RunLoop& serviceLoop();

class ServiceTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Runs the loop until `done` holds (generous bound: the machine may be loaded).
    bool runUntil(const std::function<bool()>& done,
                  std::chrono::milliseconds timeout = std::chrono::seconds(20));

    // The first value of `stream`, or absent when it failed (then in *failure)
    // or completed empty.
    template <class T>
    std::optional<T> first(const rx::Observable<T>& stream, Error* failure = nullptr) {
        std::optional<T> out;
        bool done = false;
        rx::DisposeBag bag;
        bag.insert(stream.subscribe(
            [&](const T& value) {
                if (!out) {
                    out = value;
                }
                done = true;
            },
            [&](const Error& error) {
                if (failure != nullptr) {
                    *failure = error;
                }
                done = true;
            },
            [&] { done = true; }));
        EXPECT_TRUE(runUntil([&] { return done; }));
        return out;
    }

    // Every request the server recorded to `path` (e.g. "/v1/knowledgebase/1001").
    [[nodiscard]] std::vector<dev::RecordedRequest> requestsTo(const std::string& path) const;
    [[nodiscard]] dev::RecordedRequest lastRequest() const;

    // Settings of this test's user with another user id (an operator's, say).
    [[nodiscard]] NetworkSettingsPtr settingsAs(const std::string& userId) const;

    // A library instance on this test's server, whose connection the test
    // sets, and its facade; made on first use.
    Library& instance();
    Vesk& facade();

    std::unique_ptr<dev::DevServer> server;
    ApiEndpointPtr api;
    NetworkSettingsPtr settings;  // the anonymous user's connection

  private:
    std::shared_ptr<Library> library_;
    std::unique_ptr<Vesk> facade_;
};

}  // namespace vesk::testing
