// What the host tells the library about its application and the network.
// These reach the process's library instance (the one of `Vesk::shared()`).
//
// Threading: call on the main executor.
#pragma once

#include <functional>
#include <memory>

namespace vesk {

// The application stopped or started being active (went to the background or
// came back). The real-time connection and the shared background flag follow.
void notifyAppWillResignActive();
void notifyAppDidBecomeActive();

// Reports whether the service can be reached. By default the library probes
// the configured API host itself; a host that knows better installs its own
// source, or pushes the status with `reportReachability`.
class ReachabilitySource {
  public:
    virtual ~ReachabilitySource() = default;
    // Starts reporting; `report` is called on the main executor.
    virtual void start(std::function<void(bool reachable)> report) = 0;
    // Asks for a fresh report as soon as possible.
    virtual void probeNow() {}
};

// A source given before the library's first use is the one it starts with.
void setReachabilitySource(std::shared_ptr<ReachabilitySource> source);
void reportReachability(bool reachable);

}  // namespace vesk
