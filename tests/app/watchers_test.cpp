#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "app/app_state_service.hpp"
#include "app/reachability_service.hpp"
#include "tests/support/virtual_scheduler.hpp"
#include "vesk/host_events.hpp"

namespace vesk {
namespace {

using Status = ReachabilityService::Status;

TEST(AppStateService, SignalsEachChangeOnceAndDropsRepeats) {
    AppStateService service;
    int background = 0;
    int foreground = 0;
    rx::DisposeBag bag;
    bag.insert(service.onBackground().subscribe([&](rx::Unit) { ++background; }));
    bag.insert(service.onForeground().subscribe([&](rx::Unit) { ++foreground; }));
    EXPECT_EQ(foreground, 1);  // the current value (not in the background) counts
    for (const bool value : {true, true, false, false, true}) {
        service.isBackground.accept(value);
    }
    EXPECT_EQ(background, 2);
    EXPECT_EQ(foreground, 2);
}

class PushedSource final : public ReachabilitySource {
  public:
    void start(std::function<void(bool)> report) override { report_ = std::move(report); }
    void probeNow() override { ++probes; }
    void push(bool reachable) { report_(reachable); }
    int probes = 0;

  private:
    std::function<void(bool)> report_;
};

TEST(ReachabilityService, FollowsTheInstalledSourceOnly) {
    auto first = std::make_shared<PushedSource>();
    auto second = std::make_shared<PushedSource>();
    std::vector<Status> seen;
    std::size_t seenWhileAlive = 0;
    {
        ReachabilityService service;
        rx::DisposeBag bag;
        service.setSource(first);
        bag.insert(
            service.isReachable.asObservable().subscribe([&](Status s) { seen.push_back(s); }));
        first->push(true);
        EXPECT_EQ(service.connection(), Status::online);
        service.setSource(second);
        EXPECT_EQ(service.connection(), Status::offline);
        first->push(false);  // a replaced source no longer counts
        second->push(false);
        service.probeNow();
        EXPECT_EQ(second->probes, 1);
        EXPECT_EQ(seen, (std::vector<Status>{Status::offline, Status::online, Status::offline}));
        service.report(true);
        EXPECT_EQ(service.isReachable.value(), Status::online);
        seenWhileAlive = seen.size();
    }
    second->push(false);  // the host keeps its source; the service is gone
    EXPECT_EQ(seen.size(), seenWhileAlive);
}

// A listening socket on an ephemeral loopback port.
struct Listener {
    Listener() {
        fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        ::listen(fd, 4);
        socklen_t length = sizeof(address);
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
    }
    ~Listener() { close(); }
    void close() {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }
    int fd = -1;
    std::uint16_t port = 0;
};

class ApiHostProbe : public ::testing::Test {
  protected:
    static std::string urlAt(std::uint16_t port) {
        return "http://127.0.0.1:" + std::to_string(port) + "/v1/";
    }
    RunLoop loop;
    VirtualScheduler scheduler;
};

TEST_F(ApiHostProbe, ReportsTheFirstResultAndThenOnlyChanges) {
    Listener listener;
    auto source =
        makeApiHostReachability(loop, scheduler, std::chrono::seconds(10), urlAt(listener.port));
    std::vector<bool> reports;
    source->start([&](bool reachable) { reports.push_back(reachable); });
    scheduler.advance(std::chrono::seconds(0));
    ASSERT_TRUE(loop.runUntil([&] { return reports.size() == 1; }, std::chrono::seconds(10)));
    EXPECT_TRUE(reports[0]);

    source->probeNow();  // still reachable: nothing new
    listener.close();
    scheduler.advance(std::chrono::seconds(10));
    ASSERT_TRUE(loop.runUntil([&] { return reports.size() == 2; }, std::chrono::seconds(10)));
    EXPECT_FALSE(reports[1]);
}

TEST_F(ApiHostProbe, AnUnusableBaseUrlIsUnreachable) {
    auto source = makeApiHostReachability(loop, scheduler, std::chrono::seconds(10), "not a url");
    std::vector<bool> reports;
    source->start([&](bool reachable) { reports.push_back(reachable); });
    scheduler.advance(std::chrono::seconds(0));
    EXPECT_EQ(reports, std::vector<bool>{false});
}

}  // namespace
}  // namespace vesk
