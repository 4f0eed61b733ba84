#include "ui/color.hpp"

#include <gtest/gtest.h>

namespace vesk {
namespace {

struct HexCase {
    const char* text;
    std::optional<Rgba> expected;
};

Rgba rgba255(int r, int g, int b, int a) {
    return {r / 255.0, g / 255.0, b / 255.0, a / 255.0};
}

class ColorFromHex : public ::testing::TestWithParam<HexCase> {};

TEST_P(ColorFromHex, ParsesAlphaFirst) {
    auto color = Color::fromHexString(GetParam().text);
    ASSERT_EQ(color.has_value(), GetParam().expected.has_value()) << GetParam().text;
    if (color) {
        EXPECT_EQ(color->resolved(Appearance::light), *GetParam().expected) << GetParam().text;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ColorFromHex,
    ::testing::Values(
        HexCase{"fff", rgba255(255, 255, 255, 255)},  // three: doubled, opaque
        HexCase{"#fff", rgba255(255, 255, 255, 255)}, HexCase{"f0a", rgba255(255, 0, 170, 255)},
        HexCase{"ff000000", rgba255(0, 0, 0, 255)},  // alpha first: opaque black
        HexCase{"#ff000000", rgba255(0, 0, 0, 255)}, HexCase{"80FF0000", rgba255(255, 0, 0, 128)},
        HexCase{"00ff0000", rgba255(255, 0, 0, 0)},
        HexCase{"1A2B3C", rgba255(0x1A, 0x2B, 0x3C, 255)},  // six: opaque
        HexCase{"#1a2b3c", rgba255(0x1A, 0x2B, 0x3C, 255)},
        HexCase{"g1ff00", rgba255(0, 255, 0, 255)},  // bad pair, no leading digit: 0
        HexCase{"1gff00", rgba255(1, 255, 0, 255)},  // bad pair reads its leading digit
        HexCase{"zzz", rgba255(0, 0, 0, 255)}, HexCase{"fffff", std::nullopt},  // five characters
        HexCase{"#fffff", std::nullopt}, HexCase{"", std::nullopt}, HexCase{"#", std::nullopt},
        HexCase{"ff", std::nullopt}, HexCase{"ffff", std::nullopt},
        HexCase{"fffffff", std::nullopt}, HexCase{"fffffffff", std::nullopt},
        HexCase{"##fff", std::nullopt},  // only one "#" is dropped
        // Characters, not bytes: "é" is one character, and a pair holding it reads as 0.
        HexCase{"\xC3\xA9\xC3\xA9\xC3\xA9", rgba255(0, 0, 0, 255)},
        HexCase{"e\xCC\x81"
                "ff",
                rgba255(14, 255, 255, 255)}));

TEST(Color, HexStringRoundTrips) {
    for (const char* hex : {"1A2B3C", "801A2B3C", "000000", "FFFFFF", "00FFFFFF"}) {
        auto color = Color::fromHexString(hex);
        ASSERT_TRUE(color.has_value());
        EXPECT_EQ(color->hexString(), hex);
    }
    EXPECT_EQ(Color::grey(179 / 255.0).hexString(), "B3B3B3");
}

TEST(Color, DynamicColourFollowsTheAppearance) {
    Color light = Color::rgba(1, 1, 1);
    Color dark = Color::rgba(0, 0, 0);
    Color dynamic = Color::dynamic(light, dark);
    EXPECT_TRUE(dynamic.isDynamic());
    EXPECT_FALSE(light.isDynamic());
    EXPECT_EQ(currentAppearance(), Appearance::light);
    EXPECT_EQ(dynamic.resolved(), light.resolved(Appearance::light));
    setAppearance(Appearance::dark);
    EXPECT_EQ(dynamic.resolved(), dark.resolved(Appearance::dark));
    EXPECT_EQ(light.resolved(), light.resolved(Appearance::light));
    setAppearance(Appearance::light);
    EXPECT_EQ(dynamic.resolved(), light.resolved(Appearance::light));
}

TEST(Color, DynamicOfDynamicTakesTheMatchingVariants) {
    Color a = Color::dynamic(Color::rgba(1, 0, 0), Color::rgba(0, 1, 0));
    Color b = Color::dynamic(Color::rgba(0, 0, 1), Color::rgba(1, 1, 0));
    Color c = Color::dynamic(a, b);
    EXPECT_EQ(c.resolved(Appearance::light), (Rgba{1, 0, 0, 1}));
    EXPECT_EQ(c.resolved(Appearance::dark), (Rgba{1, 1, 0, 1}));
}

}  // namespace
}  // namespace vesk
