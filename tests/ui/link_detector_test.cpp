#include "ui/text/link_detector.hpp"

#include <gtest/gtest.h>

#include <chrono>

namespace vesk::text {
namespace {

struct UrlCase {
    const char* text;
    bool valid;
};

class IsValidUrl : public ::testing::TestWithParam<UrlCase> {};

TEST_P(IsValidUrl, OnlyWhenTheFirstLinkIsTheWholeText) {
    EXPECT_EQ(isValidUrl(GetParam().text), GetParam().valid) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Links, IsValidUrl,
    ::testing::Values(
        UrlCase{"https://example.com", true}, UrlCase{"http://example.com/a/b?c=d&e=f#g", true},
        UrlCase{"HTTPS://EXAMPLE.COM/", true}, UrlCase{"ftp://files.example.org/x.zip", true},
        UrlCase{"http://localhost:8080/path", true}, UrlCase{"http://127.0.0.1:3000", true},
        UrlCase{"http://[::1]:8080/", true}, UrlCase{"https://user:pw@example.com/x", true},
        UrlCase{"http://intranet", true}, UrlCase{"https://en.wikipedia.org/wiki/Foo_(bar)", true},
        UrlCase{"https://example.com/search?q=a+b%20c", true}, UrlCase{"example.com", true},
        UrlCase{"example.com/path", true}, UrlCase{"www.example.co.uk/a?b=c", true},
        UrlCase{"sub.domain.io:8443/x", true}, UrlCase{"mailto:someone@example.com", true},
        UrlCase{"someone@example.com", true}, UrlCase{"first.last+tag@mail.example.ru", true},
        UrlCase{"\xD0\xBF\xD1\x80\xD0\xB8\xD0\xBC\xD0\xB5\xD1\x80.\xD1\x80\xD1\x84",
                true},  // пример.рф
        UrlCase{"https://\xD0\xBF\xD1\x80\xD0\xB8\xD0\xBC\xD0\xB5\xD1\x80.\xD1\x80\xD1\x84/"
                "\xD0\xBF\xD1\x83\xD1\x82\xD1\x8C",
                true}));

INSTANTIATE_TEST_SUITE_P(
    NotLinks, IsValidUrl,
    ::testing::Values(
        UrlCase{"", false}, UrlCase{"hello", false}, UrlCase{"hello world", false},
        UrlCase{"see https://example.com for details", false},  // a sentence with a link
        UrlCase{"https://example.com is the site", false}, UrlCase{"example.com and more", false},
        UrlCase{" https://example.com", false}, UrlCase{"https://example.com ", false},
        UrlCase{"https://example.com.", false},  // the period ends the sentence, not the link
        UrlCase{"(https://example.com)", false}, UrlCase{"https://example.com)", false},
        UrlCase{"https://example.com,", false}, UrlCase{"https://", false},
        UrlCase{"http://.com", false}, UrlCase{"https://exa mple.com", false},
        UrlCase{"https://a.com https://b.com", false}, UrlCase{"1.5", false},
        UrlCase{"e.g.", false}, UrlCase{"file.txt", false}, UrlCase{"Mr.Smith", false},
        UrlCase{"example.invalidtld", false}, UrlCase{"foo_bar.com", false},
        UrlCase{"someone@", false}, UrlCase{"@example.com", false},
        UrlCase{"javascript:alert(1)", false}, UrlCase{"example.com<script>", false},
        UrlCase{"-example.com", false}, UrlCase{"example-.com", false}));

TEST(FindFirstLink, FindsTheFirstLinkInASentence) {
    std::string text = "Write to help@example.com or open https://example.com/help.";
    auto link = findFirstLink(text);
    ASSERT_TRUE(link.has_value());
    EXPECT_EQ(text.substr(link->begin, link->end - link->begin), "help@example.com");

    std::string second = text.substr(link->end);
    auto next = findFirstLink(second);
    ASSERT_TRUE(next.has_value());
    EXPECT_EQ(second.substr(next->begin, next->end - next->begin), "https://example.com/help");
}

TEST(FindFirstLink, BracketsAndQuotesAroundALinkAreNotPartOfIt) {
    for (std::string text : {"(example.com/a)", "\"https://example.com\"", "<https://example.com>",
                             "\xC2\xAB"
                             "https://example.com"
                             "\xC2\xBB"}) {
        auto link = findFirstLink(text);
        ASSERT_TRUE(link.has_value()) << text;
        std::string found = text.substr(link->begin, link->end - link->begin);
        EXPECT_TRUE(found == "example.com/a" || found == "https://example.com") << found;
    }
}

// Inputs built to make a naive scanner re-read the text from every position.
TEST(FindFirstLink, HostileInputsTakeLinearTime) {
    const std::size_t n = 200'000;
    std::vector<std::string> inputs;
    std::string dotted;
    for (std::size_t i = 0; i < n / 2; ++i) {
        dotted += "a.";
    }
    inputs.push_back(dotted);
    std::string schemes;
    while (schemes.size() < n) {
        schemes += "http://.";
    }
    inputs.push_back(schemes);
    std::string mailtos;
    while (mailtos.size() < n) {
        mailtos += "mailto:x";
    }
    inputs.push_back(mailtos);
    inputs.push_back(std::string(n, '('));
    std::string ats;
    while (ats.size() < n) {
        ats += "a@b@";
    }
    inputs.push_back(ats);
    for (const auto& input : inputs) {
        // Not a timing test: a quadratic scan of 200k characters would not finish in the
        // suite's time; a linear one is instant.
        EXPECT_FALSE(isValidUrl(input));
    }
}

}  // namespace
}  // namespace vesk::text
