// Whether the service can be reached, as a relay the session waits on.
//
// The default source probes the configured API host over TCP, at start, on a
// timer and on demand, and reports only changes; a host may install its own
// source or push reports. Threading: main executor.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "core/rx/rx.hpp"
#include "vesk/clock.hpp"
#include "vesk/host_events.hpp"

namespace vesk {

class ReachabilityService {
  public:
    enum class Status { online, offline };

    // Installs the default source (probing the host of `apiUrl`) unless one is set.
    void start(Executor& executor, Scheduler& scheduler, const std::string& apiUrl);
    // Replaces the source; reports of the previous one are ignored from now on.
    void setSource(std::shared_ptr<ReachabilitySource> source);
    // A report: reachable pushes `online`, anything else `offline`.
    void report(bool reachable);
    // Asks the source for a fresh report.
    void probeNow();

    // `online` when a source exists and its last report was reachable.
    [[nodiscard]] Status connection() const;

    rx::DisposeBag disposeBag;
    rx::BehaviorRelay<Status> isReachable{Status::offline};

  private:
    std::shared_ptr<ReachabilitySource> source_;
    std::optional<bool> lastReport_;
    // Bumped by every new source; the reports of older ones are ignored.
    std::shared_ptr<std::uint64_t> generation_ = std::make_shared<std::uint64_t>(0);
};

// Probes the host of `apiUrl`: once at start, then every `period`, and
// whenever asked; reports the first result and every change.
std::shared_ptr<ReachabilitySource> makeApiHostReachability(Executor& executor,
                                                            Scheduler& scheduler,
                                                            Scheduler::Duration period,
                                                            std::string apiUrl);

}  // namespace vesk
