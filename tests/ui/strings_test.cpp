#include "ui/text/strings.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "ui/text/collections.hpp"
#include "ui/text/graphemes.hpp"
#include "ui/text/numbers.hpp"

namespace vesk::text {
namespace {

using Strings = std::vector<std::string>;

TEST(Trim, RemovesUnicodeWhitespaceAndNewlinesAtBothEnds) {
    EXPECT_EQ(trim("  hi  "), "hi");
    EXPECT_EQ(trim("\t\r\n hi there \n"), "hi there");
    EXPECT_EQ(trim("\xC2\xA0\xE3\x80\x80hi\xE2\x80\xA8\xC2\x85"),
              "hi");                                      // NBSP, ideographic, LS, NEL
    EXPECT_EQ(trim("\xE2\x80\x8Bhi"), "\xE2\x80\x8Bhi");  // a zero-width space is not white space
    EXPECT_EQ(trim(" \xFF "), "\xFF");                    // invalid bytes are kept
    EXPECT_EQ(trim(""), "");
    EXPECT_EQ(trim(" \n\t "), "");
}

TEST(IsEmpty, TrueOnlyWhenNothingButWhitespaceRemains) {
    EXPECT_TRUE(isEmpty(""));
    EXPECT_TRUE(isEmpty(" \n\t\xC2\xA0"));
    EXPECT_FALSE(isEmpty(" a "));
    EXPECT_FALSE(isEmpty("\xFF"));
}

struct GroupCase {
    const char* name;
    std::string text;
    int of;
    Strings expected;
};

class Group : public ::testing::TestWithParam<GroupCase> {};

TEST_P(Group, CutsIntoCharacterGroups) {
    EXPECT_EQ(group(GetParam().text, GetParam().of), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Group,
    ::testing::Values(
        GroupCase{"Ascii", "abcdefg", 3, {"abc", "def", "g"}},
        GroupCase{"Exact", "abcdef", 2, {"ab", "cd", "ef"}}, GroupCase{"Empty", "", 3, {}},
        GroupCase{"NotPositive", "abc", 0, {}}, GroupCase{"Negative", "abc", -2, {}},
        GroupCase{"Cyrillic",
                  "\xD0\xBF\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82",
                  4,
                  {"\xD0\xBF\xD1\x80\xD0\xB8\xD0\xB2", "\xD0\xB5\xD1\x82"}},
        GroupCase{"CombiningMark",
                  "e\xCC\x81"
                  "ab",
                  1,
                  {"e\xCC\x81", "a", "b"}},
        GroupCase{"FlagPairs",
                  "\xF0\x9F\x87\xB7\xF0\x9F\x87\xBA\xF0\x9F\x87\xAB\xF0\x9F\x87\xB7",
                  1,
                  {"\xF0\x9F\x87\xB7\xF0\x9F\x87\xBA", "\xF0\x9F\x87\xAB\xF0\x9F\x87\xB7"}},
        // woman + ZWJ + laptop, then a thumbs-up with a skin tone
        GroupCase{
            "EmojiSequences",
            "\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x92\xBB\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD",
            1,
            {"\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x92\xBB", "\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD"}},
        GroupCase{"CrLf", "a\r\nb", 1, {"a", "\r\n", "b"}},
        GroupCase{"HangulJamo",
                  "\xE1\x84\x80\xE1\x85\xA1\xE1\x86\xA8x",
                  1,
                  {"\xE1\x84\x80\xE1\x85\xA1\xE1\x86\xA8", "x"}},
        GroupCase{"InvalidBytesStandAlone", "a\xFF\xC3", 1, {"a", "\xFF", "\xC3"}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(Graphemes, NeverSplitsAUtf8SequenceOfAnyLength) {
    std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z";
    std::string joined;
    for (auto g : graphemeClusters(text)) {
        joined += g;
        auto lead = static_cast<unsigned char>(g.front());
        EXPECT_NE(lead & 0xC0, 0x80) << "a cluster starts inside a sequence";
    }
    EXPECT_EQ(joined, text);
    EXPECT_EQ(graphemeClusters(text).size(), 5U);
}

struct DoubleCase {
    std::optional<std::string> text;
    std::optional<double> expected;
};

class ParseDouble : public ::testing::TestWithParam<DoubleCase> {};

TEST_P(ParseDouble, WholeStringOrNothing) {
    std::optional<std::string_view> text;
    if (GetParam().text) {
        text = *GetParam().text;
    }
    auto got = parseDouble(text);
    ASSERT_EQ(got.has_value(), GetParam().expected.has_value())
        << GetParam().text.value_or("<absent>");
    if (got) {
        EXPECT_DOUBLE_EQ(*got, *GetParam().expected) << *GetParam().text;
    }
}

constexpr double kInf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseDouble,
    ::testing::Values(DoubleCase{std::nullopt, std::nullopt}, DoubleCase{"", std::nullopt},
                      DoubleCase{"1.5", 1.5}, DoubleCase{"-1.5", -1.5}, DoubleCase{"+2", 2.0},
                      DoubleCase{".5", 0.5}, DoubleCase{"5.", 5.0}, DoubleCase{"1e3", 1000.0},
                      DoubleCase{"0x1p4", 16.0}, DoubleCase{"-0x1.8p1", -3.0},
                      DoubleCase{"inf", kInf}, DoubleCase{"-Infinity", -kInf},
                      DoubleCase{"1e400", kInf}, DoubleCase{"-1e400", -kInf},
                      DoubleCase{"1e-400", 0.0}, DoubleCase{"1,5", std::nullopt},
                      DoubleCase{" 1", std::nullopt}, DoubleCase{"1 ", std::nullopt},
                      DoubleCase{"+-1", std::nullopt}, DoubleCase{"--1", std::nullopt},
                      DoubleCase{"0x", std::nullopt}, DoubleCase{"abc", std::nullopt},
                      DoubleCase{"1.5f", std::nullopt}));

TEST(ParseDouble, NanIsANumberHere) {
    auto nan = parseDouble("nan");
    ASSERT_TRUE(nan.has_value());
    EXPECT_TRUE(std::isnan(*nan));
}

TEST(ParseInt, Base10WholeStringWithinSixtyFourBits) {
    EXPECT_EQ(parseInt("42"), 42);
    EXPECT_EQ(parseInt("-42"), -42);
    EXPECT_EQ(parseInt("+7"), 7);
    EXPECT_EQ(parseInt("9223372036854775807"), INT64_MAX);
    EXPECT_EQ(parseInt("-9223372036854775808"), INT64_MIN);
    for (const char* bad :
         {"", "9223372036854775808", "1.0", " 1", "1 ", "0x10", "+-1", "+", "-"}) {
        EXPECT_FALSE(parseInt(bad).has_value()) << bad;
    }
    EXPECT_FALSE(parseInt(std::nullopt).has_value());
    std::optional<std::string> owned = "12";
    EXPECT_EQ(parseInt(owned), 12);
}

TEST(SafeAt, InsideGivesTheElementOutsideNothing) {
    std::vector<int> v = {10, 20, 30};
    EXPECT_EQ(safeAt(v, 0), 10);
    EXPECT_EQ(safeAt(v, 2U), 30);
    EXPECT_FALSE(safeAt(v, 3).has_value());
    EXPECT_FALSE(safeAt(v, -1).has_value());
    EXPECT_FALSE(safeAt(std::vector<int>{}, 0).has_value());
    EXPECT_EQ(safeAt(std::string("ab"), 1), 'b');
}

TEST(Difference, IsTheSymmetricDifferenceOfTheSets) {
    auto d = difference<std::string>({"a", "b", "b", "c"}, {"c", "d", "d"});
    std::sort(d.begin(), d.end());
    EXPECT_EQ(d, (Strings{"a", "b", "d"}));
    EXPECT_TRUE(difference<int>({1, 2}, {2, 1}).empty());
    EXPECT_EQ(difference<int>({}, {5}), std::vector<int>{5});
}

}  // namespace
}  // namespace vesk::text
