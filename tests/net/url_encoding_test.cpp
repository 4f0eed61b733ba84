#include "net/url_encoding.hpp"

#include <gtest/gtest.h>

#include <string>

namespace vesk::net {
namespace {

struct EncodeCase {
    std::string input;
    std::string expected;
};

class PercentEncode : public ::testing::TestWithParam<EncodeCase> {};

TEST_P(PercentEncode, EncodesEverythingOutsideUnreserved) {
    EXPECT_EQ(percentEncode(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PercentEncode,
    ::testing::Values(EncodeCase{"AZaz09-._~", "AZaz09-._~"}, EncodeCase{"a b", "a%20b"},
                      // Sub-delimiters and gen-delimiters are data inside a value.
                      EncodeCase{"!*'();:@&=+$,/?#[]",
                                 "%21%2A%27%28%29%3B%3A%40%26%3D%2B%24%2C%2F%3F%23%5B%5D"},
                      EncodeCase{"{user_id}", "%7Buser_id%7D"}, EncodeCase{"%", "%25"},
                      // UTF-8 byte by byte, upper-case hex.
                      EncodeCase{"\xD0\x9F\xD1\x80\xD0\xB8", "%D0%9F%D1%80%D0%B8"},
                      EncodeCase{"\xF0\x9F\x98\x80", "%F0%9F%98%80"},
                      EncodeCase{std::string("a\0b", 3), "a%00b"}, EncodeCase{"\r\n", "%0D%0A"},
                      EncodeCase{"", ""}));

TEST(PercentEncode, KeepsCharactersTheCallerAllows) {
    EXPECT_EQ(percentEncode("a/b?c=d e", "/?="), "a/b?c=d%20e");
}

TEST(PercentDecode, RoundTripsEncodedText) {
    const std::string text = "key[]=\xD0\x9F\xD1\x80\xD0\xB8 & {app_id}/~";
    EXPECT_EQ(percentDecode(percentEncode(text)), text);
    EXPECT_EQ(percentDecode("a%2fb%2Fc"), "a/b/c");
    EXPECT_EQ(percentDecode("a+b"), "a+b");
}

TEST(PercentDecode, RejectsMalformedEscapesAndInvalidUtf8) {
    for (const char* bad : {"%", "%4", "abc%", "%G1", "%1G", "%FF", "%C0%AF", "%ED%A0%80",
                            "%F4%90%80%80", "%E2%82"}) {
        EXPECT_EQ(percentDecode(bad), std::nullopt) << bad;
    }
}

TEST(EncodeForm, KeepsTheGivenOrderAndDuplicates) {
    const Parameters fields{
        {"z", "1"}, {"a", "x y"}, {"ids[]", "1"}, {"ids[]", "2"}, {"empty", ""}};
    EXPECT_EQ(encodeForm(fields), "z=1&a=x%20y&ids%5B%5D=1&ids%5B%5D=2&empty=");
    EXPECT_EQ(encodeForm({}), "");
}

struct QueryCase {
    std::string url;
    std::string expected;
};

class AppendQuery : public ::testing::TestWithParam<QueryCase> {};

TEST_P(AppendQuery, JoinsOntoWhatTheUrlAlreadyHas) {
    EXPECT_EQ(appendQuery(GetParam().url, {{"auth_token", "t+1"}, {"id_as_string", "1"}}),
              GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AppendQuery,
    ::testing::Values(
        QueryCase{"https://h/v1/x", "https://h/v1/x?auth_token=t%2B1&id_as_string=1"},
        QueryCase{"https://h/v1/x?", "https://h/v1/x?auth_token=t%2B1&id_as_string=1"},
        QueryCase{"https://h/v1/x?a=b", "https://h/v1/x?a=b&auth_token=t%2B1&id_as_string=1"},
        QueryCase{"https://h/v1/x?a=b&", "https://h/v1/x?a=b&auth_token=t%2B1&id_as_string=1"},
        QueryCase{"https://h/p#frag", "https://h/p?auth_token=t%2B1&id_as_string=1#frag"}));

TEST(AppendQuery, LeavesTheUrlAloneWithoutParameters) {
    EXPECT_EQ(appendQuery("https://h/p?x=1#f", {}), "https://h/p?x=1#f");
}

}  // namespace
}  // namespace vesk::net
