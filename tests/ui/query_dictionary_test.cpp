#include "ui/text/query_dictionary.hpp"

#include <gtest/gtest.h>

namespace vesk::text {
namespace {

using Dict = std::map<std::string, std::string>;

TEST(QueryDictionary, SplitsPairsAndDecodesValues) {
    EXPECT_EQ(queryDictionary("https://x.com/p?a=1&b=two"), (Dict{{"a", "1"}, {"b", "two"}}));
    EXPECT_EQ(queryDictionary("vesk://open?conversation_id=42#frag"),
              (Dict{{"conversation_id", "42"}}));
}

TEST(QueryDictionary, NoQueryIsAbsent) {
    EXPECT_FALSE(queryDictionary("https://x.com/p").has_value());
    EXPECT_FALSE(queryDictionary("https://x.com/p#a?b=c").has_value());  // '?' in the fragment
}

TEST(QueryDictionary, AnyPartWithoutEqualsMakesTheWholeResultAbsent) {
    EXPECT_FALSE(queryDictionary("https://x.com/?flag").has_value());
    EXPECT_FALSE(queryDictionary("https://x.com/?a=1&flag").has_value());
    EXPECT_FALSE(queryDictionary("https://x.com/?a=1&").has_value());  // an empty last part
    EXPECT_FALSE(queryDictionary("https://x.com/?").has_value());      // an empty query
}

TEST(QueryDictionary, PlusBecomesASpaceBeforePercentDecoding) {
    EXPECT_EQ(queryDictionary("x:?q=a+b%2Bc%20d"), (Dict{{"q", "a b+c d"}}));
    EXPECT_EQ(queryDictionary("x:?q=%D0%BF%D1%80%D0%B8"),
              (Dict{{"q", "\xD0\xBF\xD1\x80\xD0\xB8"}}));
}

TEST(QueryDictionary, TheLastOfARepeatedKeyWinsAndOnlyTheFirstEqualsSplits) {
    EXPECT_EQ(queryDictionary("x:?a=1&a=2&a=3"), (Dict{{"a", "3"}}));
    EXPECT_EQ(queryDictionary("x:?a=b=c&d="), (Dict{{"a", "b=c"}, {"d", ""}}));
    EXPECT_EQ(queryDictionary("x:?=v"), (Dict{{"", "v"}}));
    EXPECT_EQ(queryDictionary("x:?a%20b+c=1"), (Dict{{"a%20b+c", "1"}}));  // keys stay as written
}

TEST(QueryDictionary, UndecodableValueIsKeptAsWritten) {
    EXPECT_EQ(queryDictionary("x:?a=100%&b=%zz+x&c=%FF"),
              (Dict{{"a", "100%"}, {"b", "%zz x"}, {"c", "%FF"}}));
}

TEST(RemovingPercentEncoding, RejectsBadEscapesAndNonUtf8) {
    EXPECT_EQ(removingPercentEncoding("a%41%c3%a9"), "aA\xC3\xA9");
    EXPECT_FALSE(removingPercentEncoding("%").has_value());
    EXPECT_FALSE(removingPercentEncoding("%4").has_value());
    EXPECT_FALSE(removingPercentEncoding("%G1").has_value());
    EXPECT_FALSE(removingPercentEncoding("%C3").has_value());
}

}  // namespace
}  // namespace vesk::text
