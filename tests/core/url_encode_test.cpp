#include "core/url_encode.hpp"

#include <gtest/gtest.h>

#include <chrono>

#include "core/log_error.hpp"

namespace vesk {
namespace {

TEST(URLEncode, EncodesExactlyItsCharacterSet) {
    EXPECT_EQ(URLEncode(":#[]@ !$&'()*+,;="),
              "%3A%23%5B%5D%40%20%21%24%26%27%28%29%2A%2B%2C%3B%3D");
    EXPECT_EQ(URLEncode("a/b?c%d-é"), "a/b?c%d-é");
    EXPECT_EQ(URLEncode(""), "");
}

TEST(LogError, FormatsDateLocationAndMessage) {
    const auto epoch = std::chrono::system_clock::time_point{} + std::chrono::milliseconds(7);
    const LogError error("boom", "/src/App/Vesk.swift", "setup(withApiKey:)", 42, epoch);
    const auto& text = error.message();
    // The date part depends on the local time zone; its shape and the rest do not.
    ASSERT_GE(text.size(), 24U);
    EXPECT_EQ(text.substr(19, 4), ".007");
    EXPECT_EQ(text.substr(23), " Vesk.setup line:42 - boom");
}

}  // namespace
}  // namespace vesk
