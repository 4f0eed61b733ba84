#include "vesk/json_value.hpp"

#include <gtest/gtest.h>

#include <string>

namespace vesk {
namespace {

TEST(JsonValue, DecodesEachCaseInOrder) {
    const auto v = JsonValue::parse(R"({"a":1,"b":1.5,"c":true,"d":null,"e":[],"f":"x"})");
    ASSERT_TRUE(v && v->isObject());
    const auto& o = *v->object();
    EXPECT_EQ(o.find("a")->value(), JsonValue(1));
    EXPECT_TRUE(o.find("a")->value().isInt());
    EXPECT_TRUE(o.find("b")->value().isDouble());
    EXPECT_EQ(o.find("c")->value(), JsonValue(true));
    EXPECT_TRUE(o.find("d")->value().isEmpty());
    EXPECT_EQ(o.find("e")->value(), JsonValue(JsonArray{}));
    EXPECT_EQ(o.find("f")->value(), JsonValue("x"));
    EXPECT_EQ(v->encode(), R"({"a":1,"b":1.5,"c":true,"d":null,"e":[],"f":"x"})");
}

TEST(JsonValue, WholeNumbersInRangeAreIntegersOthersDoubles) {
    EXPECT_TRUE(JsonValue::parse("1.0")->isInt());
    EXPECT_TRUE(JsonValue::parse("-9223372036854775808")->isInt());
    EXPECT_TRUE(JsonValue::parse("9223372036854775808")->isDouble());  // beyond int64
    EXPECT_TRUE(JsonValue::parse("18446744073709551615")->isDouble());
    EXPECT_TRUE(JsonValue::parse("1e300")->isDouble());
    EXPECT_EQ(*JsonValue::parse("1e2")->integer(), 100);
}

// Boost.JSON 1.81 reads these as NaN, which compares unequal to itself and
// broke decode/encode round trips (found by the models fuzzer).
TEST(JsonValue, AZeroWithAHugeExponentIsZero) {
    for (const char* text : {"0e400", "0.0e999", "-0e5000", "0e700000000"}) {
        const auto value = JsonValue::parse(text);
        ASSERT_TRUE(value) << text;
        ASSERT_TRUE(value->isInt()) << text;
        EXPECT_EQ(*value->integer(), 0) << text;
    }
    const auto array = JsonValue::parse("[0e400]");
    ASSERT_TRUE(array);
    EXPECT_EQ(*array, *array);
}

TEST(JsonValue, RejectsWhatIsNotOneJsonText) {
    for (const char* bad : {"", "{", "[1,]", "{\"a\":1} x", "nul", "\"\\x\"", "\xff", "01"}) {
        EXPECT_FALSE(JsonValue::parse(bad)) << bad;
    }
}

TEST(JsonValue, NestingIsCapped) {
    const int deep = JsonValue::kMaxDepth + 1;
    EXPECT_FALSE(JsonValue::parse(std::string(deep, '[') + std::string(deep, ']')));
    const int ok = JsonValue::kMaxDepth - 1;
    EXPECT_TRUE(JsonValue::parse(std::string(ok, '[') + std::string(ok, ']')));
    // Far beyond the cap must fail cleanly, not exhaust the stack.
    EXPECT_FALSE(JsonValue::parse(std::string(1'000'000, '[')));
}

TEST(JsonValue, DuplicateKeysKeepTheLastValue) {
    const auto v = JsonValue::parse(R"({"a":1,"a":2})");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->object()->size(), 1U);
    EXPECT_EQ(v->getString("a"), "2");
}

// Past a handful of keys the parser looks repeats up in an index instead of
// scanning; both ways must keep the first place and the last value.
TEST(JsonValue, RepeatedKeysInALargeObjectKeepTheirFirstPlace) {
    std::string text = "{";
    for (int i = 0; i < 40; ++i) {
        text += "\"k" + std::to_string(i) + "\":" + std::to_string(i) + ",";
    }
    text += R"("k3":"late","k30":{"x":1,"x":[2]},"k39":null})";
    const auto v = JsonValue::parse(text);
    ASSERT_TRUE(v && v->isObject());
    const auto& o = *v->object();
    ASSERT_EQ(o.size(), 40U);
    const auto at = [&](std::size_t i) { return *std::next(o.begin(), static_cast<long>(i)); };
    EXPECT_EQ(at(3).first, "k3");
    EXPECT_EQ(at(3).second, JsonValue("late"));
    EXPECT_EQ(at(30).second->encode(), R"({"x":[2]})");
    EXPECT_TRUE(at(39).second->isEmpty());
    EXPECT_EQ(at(38).second, JsonValue(38));
}

TEST(JsonValue, EscapesInKeysAndValues) {
    const auto v = JsonValue::parse(R"({"a\u00e9\"b":"x\ny\u0041\/"})");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->getString("a\xc3\xa9\"b"), "x\nyA/");
}

TEST(JsonValue, AsStringValuePerCase) {
    EXPECT_EQ(JsonValue("x").asStringValue(), "x");
    EXPECT_EQ(JsonValue(42).asStringValue(), "42");
    EXPECT_EQ(JsonValue(2.5).asStringValue(), "2.5");
    EXPECT_EQ(JsonValue(false).asStringValue(), "false");
    EXPECT_EQ(JsonValue(JsonEmpty{}).asStringValue(), "");
    EXPECT_EQ(JsonValue(JsonArray{JsonValue(1)}).asStringValue(), std::nullopt);
    EXPECT_EQ(JsonValue(Model{}).asStringValue(), std::nullopt);
    EXPECT_EQ(JsonValue(JsonObject{{"k", JsonValue("v")}}).asStringValue(), R"({"k":"v"})");
}

TEST(JsonValue, AsStringIsTheJsonTextOfTheWholeValue) {
    EXPECT_EQ(JsonValue("a\"b\n").asString(), R"("a\"b\n")");
    EXPECT_EQ(JsonValue(Model{}).asString(), "{}");
    EXPECT_EQ(JsonValue(JsonEmpty{}).asString(), "null");
    EXPECT_EQ(JsonValue(std::string("\x01", 1)).asString(), "\"\\u0001\"");
    EXPECT_EQ(JsonValue("Привет").asString(), "\"Привет\"");
}

TEST(JsonValue, GetItemFromArrayBounds) {
    const JsonValue array(JsonArray{JsonValue(1), JsonValue(2)});
    EXPECT_EQ(array.getItemFromArray(0), JsonValue(1));
    EXPECT_EQ(array.getItemFromArray(1), JsonValue(2));
    EXPECT_EQ(array.getItemFromArray(-1), std::nullopt);
    EXPECT_EQ(array.getItemFromArray(2), std::nullopt);
    EXPECT_EQ(JsonValue("x").getItemFromArray(0), std::nullopt);
}

TEST(JsonValue, AppendReplacesOnObjectsOnlyAndAbsentMembersEncodeAsNull) {
    JsonValue object(JsonObject{{"a", JsonValue(1)}});
    object.append("a", JsonValue(2));
    object.append("b", std::nullopt);
    EXPECT_EQ(object.encode(), R"({"a":2,"b":null})");
    EXPECT_EQ(object.getString("b"), std::nullopt);  // exists but holds no value
    EXPECT_EQ(object.getString("missing"), std::nullopt);

    JsonValue text("x");
    text.append("a", JsonValue(1));
    EXPECT_EQ(text, JsonValue("x"));
}

TEST(JsonValue, RoundTripsThroughItsOwnEncoding) {
    const char* text =
        R"({"s":"\u00e9\ud83d\ude00","n":-3,"d":0.1,"big":1e+300,"arr":[true,null,{"x":[]}]})";
    const auto first = JsonValue::parse(text);
    ASSERT_TRUE(first);
    const auto second = JsonValue::parse(first->encode());
    ASSERT_TRUE(second);
    EXPECT_EQ(*first, *second);
}

struct DoubleCase {
    double value;
    const char* text;
};

class DoubleText : public ::testing::TestWithParam<DoubleCase> {};

TEST_P(DoubleText, IsShortestWithAFractionOrExponent) {
    EXPECT_EQ(doubleText(GetParam().value), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Values, DoubleText,
    ::testing::Values(DoubleCase{5.0, "5.0"}, DoubleCase{0.1, "0.1"}, DoubleCase{-2.5, "-2.5"},
                      DoubleCase{100000.0, "100000.0"}, DoubleCase{1701234567.0, "1701234567.0"},
                      DoubleCase{1701234567.123, "1701234567.123"}, DoubleCase{1e16, "1e+16"},
                      DoubleCase{1e-5, "1e-05"}, DoubleCase{0.0, "0.0"}));

}  // namespace
}  // namespace vesk
