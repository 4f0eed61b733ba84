#include "ui/text/html_text.hpp"

#include <gtest/gtest.h>

namespace vesk::text {
namespace {

struct HtmlCase {
    const char* name;
    std::string html;
    std::string text;
};

class HtmlEncodedString : public ::testing::TestWithParam<HtmlCase> {};

TEST_P(HtmlEncodedString, GivesTheDocumentsPlainText) {
    auto text = htmlEncodedString(GetParam().html);
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(*text, GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HtmlEncodedString,
    ::testing::Values(
        HtmlCase{"PlainText", "Hello", "Hello"},
        HtmlCase{"NamedEntities", "Tom &amp; Jerry &lt;3 &quot;ok&quot; &nbsp;x",
                 "Tom & Jerry <3 \"ok\" \xC2\xA0x"},
        HtmlCase{"NumericEntities", "&#1055;&#x440;&#1080;&#1074;&#1077;&#1090; &#x1F600;",
                 "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 \xF0\x9F\x98\x80"},
        HtmlCase{"EntityWithoutSemicolon", "a &amp b", "a & b"},
        HtmlCase{"InlineTagsDropped", "<b>bold</b> and <i>italic</i>", "bold and italic"},
        HtmlCase{"WhitespaceCollapsed", "  a \n\t  b  ", "a b"},
        HtmlCase{"LineBreaks", "one<br>two<br/>three", "one\ntwo\nthree"},
        HtmlCase{"Paragraphs", "<p>first</p><p>second</p>", "first\nsecond"},
        HtmlCase{"ListItems", "<ul><li>a</li><li>b</li></ul>", "a\nb"},
        HtmlCase{"TableCells", "<table><tr><td>a</td><td>b</td></tr><tr><td>c</td></tr></table>",
                 "a\tb\nc"},
        HtmlCase{"ScriptAndStyleDropped",
                 "<style>p{color:red}</style><script>alert('x')</script>text", "text"},
        HtmlCase{"HeadDropped", "<html><head><title>T</title></head><body>body</body></html>",
                 "body"},
        HtmlCase{"PreKeepsWhitespace", "<pre>a  b\n c</pre>", "a  b\n c"},
        HtmlCase{"LessThanAsText", "1 < 2 and 3 > 2", "1 < 2 and 3 > 2"},
        HtmlCase{"UnclosedTags", "<div><b>open", "open"},
        HtmlCase{"Comment", "a<!-- hidden -->b", "ab"}, HtmlCase{"Empty", "", ""},
        HtmlCase{"InvalidUtf8BecomesReplacement",
                 "a\xFF"
                 "b",
                 "a\xEF\xBF\xBD"
                 "b"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(HtmlEncodedString, DeepNestingIsReadFlatInsteadOfTakingQuadraticTime) {
    std::string html;
    for (int i = 0; i < 100'000; ++i) {
        html += "<div>";
    }
    html += "deep &amp; down";
    auto text = htmlEncodedString(html);
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(*text, "deep & down");
}

TEST(HtmlEncodedString, ManyUnclosedTagsWithoutAnyClosingBracket) {
    std::string html;
    for (int i = 0; i < 100'000; ++i) {
        html += "<a";
    }
    EXPECT_TRUE(htmlEncodedString(html).has_value());
}

TEST(HtmlEncodedString, ModerateNestingKeepsItsStructure) {
    std::string html;
    for (int i = 0; i < 100; ++i) {
        html += "<div>";
    }
    html += "a<br>b";
    EXPECT_EQ(htmlEncodedString(html), "a\nb");
}

}  // namespace
}  // namespace vesk::text
