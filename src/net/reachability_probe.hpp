// Tells whether a host accepts TCP connections, off the main thread.
//
// Threading: `probe` may be called from any thread; probes run one at a time
// on the probe's own thread and each result is posted to the executor.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "vesk/executor.hpp"

namespace vesk::net {

class ReachabilityProbe {
  public:
    using Callback = std::function<void(bool reachable)>;

    // Requires: `executor` outlives the probe.
    ReachabilityProbe(Executor& executor, std::chrono::milliseconds timeout);
    ~ReachabilityProbe();  // waits for a probe in progress (at most `timeout`)
    ReachabilityProbe(const ReachabilityProbe&) = delete;
    ReachabilityProbe& operator=(const ReachabilityProbe&) = delete;

    // Connects to host:port once; `done` gets the outcome on the executor. A
    // probe asked for while another waits replaces the waiting one.
    void probe(std::string host, std::uint16_t port, Callback done);

  private:
    struct Impl;
    std::shared_ptr<Impl> impl_;
};

// Host and port of an http(s) URL (port defaulting by scheme); false when the
// URL has neither.
bool hostAndPort(const std::string& url, std::string& host, std::uint16_t& port);

}  // namespace vesk::net
