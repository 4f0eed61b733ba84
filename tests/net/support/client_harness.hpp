// Shared helpers for driving an HttpClient from a test's RunLoop.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "net/http_client.hpp"
#include "vesk/executor.hpp"

namespace vesk::net::test {

// Real I/O on a loaded machine: wait long, fail rarely.
inline constexpr std::chrono::milliseconds kWait{30'000};

// Polls for a condition another thread brings about (the server seeing a
// request), without running the loop.
inline bool waitFor(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + kWait;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// What one request's callback saw: how often it ran, whether always on the
// loop's thread, and the last outcome.
struct Outcome {
    int calls = 0;
    bool onLoop = true;
    std::optional<Expected<HttpReply>> result;

    [[nodiscard]] bool isError(Error::Kind kind) const {
        return result && !result->hasValue() && result->error().kind == kind;
    }
};

// Sends `request` and returns a record its callback fills in.
inline std::shared_ptr<Outcome> track(HttpClient& client, RunLoop& loop, HttpRequest request,
                                      RequestId* id = nullptr) {
    auto outcome = std::make_shared<Outcome>();
    const RequestId sent =
        client.send(std::move(request), [outcome, &loop](Expected<HttpReply> result) {
            ++outcome->calls;
            outcome->onLoop = outcome->onLoop && loop.isCurrent();
            outcome->result.emplace(std::move(result));
        });
    if (id != nullptr) {
        *id = sent;
    }
    return outcome;
}

// Runs the loop until every outcome has been called, then drains it so that
// a second call would show.
inline bool settle(RunLoop& loop, const std::vector<std::shared_ptr<Outcome>>& outcomes) {
    const bool done = loop.runUntil(
        [&] {
            for (const auto& o : outcomes) {
                if (o->calls == 0) {
                    return false;
                }
            }
            return true;
        },
        kWait);
    loop.runPending();
    return done;
}

// Sends, waits, and checks the callback ran exactly once on the loop.
inline Expected<HttpReply> fetch(HttpClient& client, RunLoop& loop, HttpRequest request) {
    auto outcome = track(client, loop, std::move(request));
    settle(loop, {outcome});
    if (outcome->calls != 1 || !outcome->onLoop || !outcome->result) {
        return unexpected(Error::make(Error::Kind::invalid,
                                      "callback ran " + std::to_string(outcome->calls) +
                                          " times, on loop: " + std::to_string(outcome->onLoop)));
    }
    return std::move(*outcome->result);
}

}  // namespace vesk::net::test
