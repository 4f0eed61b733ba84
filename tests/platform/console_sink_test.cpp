// The console's sink holder and the default syslog sink.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "core/console_line.hpp"
#include "platform/linux/syslog_console_sink.hpp"
#include "tests/support/capturing_console_sink.hpp"

namespace vesk {
namespace {

using testing::CapturingConsoleSink;
using testing::ScopedConsoleCapture;

TEST(ConsoleSink, LinesGoToTheInstalledSinkWithSubsystemAndCategory) {
    ScopedConsoleCapture capture;
    consoleLine("VeskPush", "shown");
    auto lines = capture.sink().lines();
    ASSERT_EQ(lines.size(), 1U);
    EXPECT_EQ(lines[0].subsystem, "Vesk");
    EXPECT_EQ(lines[0].category, "VeskPush");
    EXPECT_EQ(lines[0].text, "shown");
}

TEST(ConsoleSink, NullSinkSilencesTheConsole) {
    ScopedConsoleCapture capture;
    setConsoleSink(nullptr);
    EXPECT_EQ(currentConsoleSink(), nullptr);
    consoleLine("c", "dropped");
    EXPECT_TRUE(capture.sink().lines().empty());
}

TEST(ConsoleSink, DefaultSinkIsTheSyslogSink) {
    ScopedConsoleCapture capture;  // restores whatever was there
    auto previous = currentConsoleSink();
    setConsoleSink(std::make_shared<SyslogConsoleSink>());
    EXPECT_NE(dynamic_cast<SyslogConsoleSink*>(currentConsoleSink().get()), nullptr);
}

TEST(ConsoleSink, SwappingWhileOtherThreadsWriteLosesNoLineOfTheLastSink) {
    ScopedConsoleCapture outer;
    std::atomic<bool> stop{false};
    std::vector<std::thread> writers;
    for (int t = 0; t < 3; ++t) {
        writers.emplace_back([&] {
            while (!stop.load()) {
                consoleLine("race", "line");
            }
        });
    }
    auto last = std::make_shared<CapturingConsoleSink>();
    for (int i = 0; i < 200; ++i) {
        setConsoleSink(std::make_shared<CapturingConsoleSink>());
    }
    setConsoleSink(last);
    while (last->lines().size() < 10) {
        std::this_thread::yield();
    }
    stop = true;
    for (auto& w : writers) {
        w.join();
    }
    for (const auto& line : last->lines()) {
        EXPECT_EQ(line.text, "line");
    }
}

TEST(SyslogConsoleSink, InternedIdentOutlivesTheCallersString) {
    const char* first = nullptr;
    {
        std::string ident = "com.example.ident-test";
        first = internSyslogIdent(ident);
        ident.assign(ident.size(), 'x');  // the caller's buffer changes; the ident must not
    }
    EXPECT_STREQ(first, "com.example.ident-test");
    EXPECT_EQ(internSyslogIdent(std::string("com.example.ident-test")), first);
    EXPECT_NE(internSyslogIdent("another"), first);
    EXPECT_STREQ(internSyslogIdent(std::string_view("cut\0here", 8)), "cut");
}

TEST(SyslogConsoleSink, WritesWithAnySubsystemAndOddText) {
    SyslogConsoleSink sink;
    std::string subsystem = "com.example.temp";
    sink.write(subsystem, "VeskStore", "a line with %s %n format characters");
    subsystem.clear();
    sink.write(subsystem, std::string_view(), std::string_view());
    sink.write("Vesk", "cat", std::string("nul\0inside", 10));
    EXPECT_STREQ(internSyslogIdent("com.example.temp"), "com.example.temp");
}

}  // namespace
}  // namespace vesk
