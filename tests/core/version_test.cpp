#include "vesk/version.hpp"

#include <gtest/gtest.h>

TEST(Version, MatchesTheVersionSentAtConnect) {
    EXPECT_EQ(vesk::libraryVersion(), "1.0.33");
}
