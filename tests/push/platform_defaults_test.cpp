// The default device information and the desktop centre without a session bus.
#include <gtest/gtest.h>

#include <cstdlib>

#include "core/platform_hooks.hpp"
#include "platform/linux/desktop_notification_center.hpp"
#include "re2/re2.h"
#include "tests/support/capturing_console_sink.hpp"
#include "tests/support/temp_dir.hpp"
#include "vesk/device_information.hpp"

namespace vesk {
namespace {

TEST(StoredDeviceInformation, OneCanonicalUpperCaseIdPerInstallation) {
    const testing::TempDir dir;
    const auto first =
        platform::makeDefaultDeviceInformation(makeFileKeyValueStoreFactory(dir.path())->standard())
            ->identifierForVendor();
    ASSERT_TRUE(first);
    EXPECT_TRUE(RE2::FullMatch(
        *first, "[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}"))
        << *first;
    // Another process (a new factory on the same file) sees the same id.
    const auto again =
        platform::makeDefaultDeviceInformation(makeFileKeyValueStoreFactory(dir.path())->standard())
            ->identifierForVendor();
    EXPECT_EQ(again, first);
    // Another installation gets another one.
    const testing::TempDir other;
    EXPECT_NE(platform::makeDefaultDeviceInformation(
                  makeFileKeyValueStoreFactory(other.path())->standard())
                  ->identifierForVendor(),
              first);
}

TEST(DesktopNotificationCenter, WithoutASessionBusRemembersAndRemovesQuietly) {
    const char* saved = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    const std::string previous = saved != nullptr ? saved : "";
    setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/vesk-test-bus", 1);
    testing::ScopedConsoleCapture console;
    {
        platform::DesktopNotificationCenter center;
        NotificationRequest request;
        request.identifier = "r1";
        request.content.title = "Olga";
        request.content.body = "Hi";
        request.content.sound = "default";
        center.add(request);
        request.identifier = "r2";
        center.add(request);
        std::vector<Notification> delivered;
        center.getDeliveredNotifications(
            [&](std::vector<Notification> d) { delivered = std::move(d); });
        ASSERT_EQ(delivered.size(), 2U);
        EXPECT_EQ(delivered[0].request.identifier, "r1");
        center.removeDeliveredNotifications({"r1"});
        center.getDeliveredNotifications(
            [&](std::vector<Notification> d) { delivered = std::move(d); });
        ASSERT_EQ(delivered.size(), 1U);
        EXPECT_EQ(delivered[0].request.identifier, "r2");
        EXPECT_FALSE(center.connected());
    }
    EXPECT_EQ(console.lines("VeskNotifications").size(), 1U);
    if (saved != nullptr) {
        setenv("DBUS_SESSION_BUS_ADDRESS", previous.c_str(), 1);
    } else {
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
    }
}

}  // namespace
}  // namespace vesk
