#include "app/reachability_service.hpp"

#include "net/reachability_probe.hpp"
#include "services/network/vesk_provider.hpp"

namespace vesk {

namespace {

constexpr auto kProbeTimeout = std::chrono::milliseconds(3000);
constexpr auto kProbePeriod = std::chrono::seconds(10);

class ApiHostReachability final : public ReachabilitySource,
                                  public std::enable_shared_from_this<ApiHostReachability> {
  public:
    ApiHostReachability(Executor& executor, Scheduler& scheduler, Scheduler::Duration period,
                        std::string apiUrl)
        : probe_(executor, kProbeTimeout),
          scheduler_(scheduler),
          period_(period),
          apiUrl_(std::move(apiUrl)) {}

    ~ApiHostReachability() override { timer_.cancel(); }

    void start(std::function<void(bool)> report) override {
        report_ = std::move(report);
        std::weak_ptr<ApiHostReachability> weak = weak_from_this();
        timer_ = scheduler_.schedulePeriodic(Scheduler::Duration::zero(), period_, [weak] {
            if (auto self = weak.lock()) {
                self->probeNow();
            }
        });
    }

    void probeNow() override {
        std::string host;
        std::uint16_t port = 0;
        const auto base = VeskProvider::checkedBaseUrl(apiUrl_);
        if (!base || !net::hostAndPort(*base, host, port)) {
            deliver(false);
            return;
        }
        std::weak_ptr<ApiHostReachability> weak = weak_from_this();
        probe_.probe(host, port, [weak](bool reachable) {
            if (auto self = weak.lock()) {
                self->deliver(reachable);
            }
        });
    }

  private:
    void deliver(bool reachable) {
        if (last_ == reachable) {
            return;
        }
        last_ = reachable;
        if (report_) {
            report_(reachable);
        }
    }

    net::ReachabilityProbe probe_;
    Scheduler& scheduler_;
    Scheduler::Duration period_;
    std::string apiUrl_;
    TimerHandle timer_;
    std::function<void(bool)> report_;
    std::optional<bool> last_;
};

}  // namespace

std::shared_ptr<ReachabilitySource> makeApiHostReachability(Executor& executor,
                                                            Scheduler& scheduler,
                                                            Scheduler::Duration period,
                                                            std::string apiUrl) {
    return std::make_shared<ApiHostReachability>(executor, scheduler, period, std::move(apiUrl));
}

void ReachabilityService::start(Executor& executor, Scheduler& scheduler,
                                const std::string& apiUrl) {
    if (!source_) {
        setSource(makeApiHostReachability(executor, scheduler, kProbePeriod, apiUrl));
    }
}

void ReachabilityService::setSource(std::shared_ptr<ReachabilitySource> source) {
    source_ = std::move(source);
    lastReport_.reset();
    const auto generation = ++*generation_;
    if (source_) {
        // A source may outlive this service (the host keeps it): it holds only a weak view.
        source_->start(
            [this, weak = std::weak_ptr<std::uint64_t>(generation_), generation](bool reachable) {
                if (const auto current = weak.lock(); current && *current == generation) {
                    report(reachable);
                }
            });
    }
}

void ReachabilityService::report(bool reachable) {
    lastReport_ = reachable;
    isReachable.accept(reachable ? Status::online : Status::offline);
}

void ReachabilityService::probeNow() {
    if (source_) {
        source_->probeNow();
    }
}

ReachabilityService::Status ReachabilityService::connection() const {
    return lastReport_.value_or(false) ? Status::online : Status::offline;
}

}  // namespace vesk
