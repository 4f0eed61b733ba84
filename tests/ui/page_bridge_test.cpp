// What a page says to the library: its address, which navigations are messages,
// and what each message asks for.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "ui/bridge/page_events.hpp"
#include "ui/bridge/page_message.hpp"
#include "ui/bridge/page_url.hpp"

namespace vesk {
namespace {

using Args = std::map<std::string, std::string>;
using namespace std::string_literals;

PageMessage message(std::string_view url) {
    auto parsed = parsePageMessage(url);
    EXPECT_TRUE(parsed.has_value()) << url;
    return parsed.value_or(PageMessage{});
}

TEST(PageUrl, OneSlashJoinsBaseAndPathAndBookingUsesTheNewerWidget) {
    for (const std::string_view base : {"https://w.example", "https://w.example/"}) {
        EXPECT_EQ(pageUrl(base, PageMode::messages),
                  "https://w.example/external-widget/0.4.0/ios/");
        EXPECT_EQ(pageUrl(base, PageMode::dialogs),
                  "https://w.example/external-widget/0.4.0/ios/list/");
        EXPECT_EQ(pageUrl(base, PageMode::popup),
                  "https://w.example/external-widget/0.4.0/ios/popup/");
        EXPECT_EQ(pageUrl(base, PageMode::calendly),
                  "https://w.example/external-widget/0.4.2/ios/calendly");
    }
}

TEST(PageNavigation, OnlyThePrivateSchemeInAnyCaseIsCancelled) {
    EXPECT_TRUE(isPageMessageUrl("veskiossdk://onScrollTop"));
    EXPECT_TRUE(isPageMessageUrl("VeskIOSsdk://onScrollTop"));
    for (const std::string_view url :
         {"", "https://veskiossdk/x", "veskiossdkx://onScrollTop", "veskiossdk", "about:blank"}) {
        EXPECT_FALSE(isPageMessageUrl(url)) << url;
        EXPECT_FALSE(parsePageMessage(url).has_value()) << url;
    }
}

TEST(PageMessageParsing, NameIsTheHostAsWritten) {
    EXPECT_EQ(message("veskiossdk://openLink/x?url=a").name, "openLink");
    EXPECT_EQ(message("veskiossdk://user:pw@closePopUp:80/x").name, "closePopUp");
    EXPECT_EQ(message("veskiossdk://onScrollTop#top?a=b").name, "onScrollTop");
    for (const std::string_view url : {"veskiossdk:///x", "veskiossdk:?a", "veskiossdk:openLink",
                                       "veskiossdk://", "veskiossdk://u@:1"}) {
        EXPECT_FALSE(parsePageMessage(url).has_value()) << url;
    }
}

TEST(PageMessageParsing, ValuesDecodeAndKeysStayAsWritten) {
    EXPECT_EQ(message("veskiossdk://openLink?url=a%2Fb+c").argument("url"), "a/b c");
    EXPECT_EQ(message("veskiossdk://x?a=1&a=2&a%20b=3").arguments,
              (Args{{"a", "2"}, {"a%20b", "3"}}));
    EXPECT_EQ(message("veskiossdk://x?a=b=c&d=").arguments, (Args{{"a", "b"}, {"d", ""}}));
    EXPECT_EQ(message("veskiossdk://x?a=%zz&b=%4&c=%FF&d=%C3%A9").arguments,
              (Args{{"a", ""}, {"b", ""}, {"c", ""}, {"d", "\xC3\xA9"}}));
}

TEST(PageMessageParsing, APartWithoutEqualsLeavesAMessageWithNoArguments) {
    for (const std::string_view url : {"veskiossdk://openLink?url=x&flag", "veskiossdk://openLink?",
                                       "veskiossdk://openLink?url=x&", "veskiossdk://openLink"}) {
        const PageMessage parsed = message(url);
        EXPECT_EQ(parsed.name, "openLink");
        EXPECT_FALSE(parsed.arguments.has_value()) << url;
        EXPECT_FALSE(parsed.argument("url").has_value()) << url;
    }
}

TEST(PageMessageParsing, AnyBytesAndHugeQueriesParse) {
    const PageMessage parsed = message("veskiossdk://n\0m\xFF?k=\xFF&z=%00&\0=1"s);
    EXPECT_EQ(parsed.name, "n\0m\xFF"s);
    EXPECT_EQ(parsed.arguments,
              (Args{{"k", ""}, {"z", std::string(1, '\0')}, {std::string(1, '\0'), "1"}}));

    std::string huge = "veskiossdk://identify?";
    for (int i = 0; i < 100'000; ++i) {
        huge += "k" + std::to_string(i) + "=%41&";
    }
    huge += "last=" + std::string(1'000'000, '+');
    const PageMessage many = message(huge);
    ASSERT_TRUE(many.arguments.has_value());
    EXPECT_EQ(many.arguments->size(), 100'001u);
    EXPECT_EQ(many.argument("k99999"), "A");
    EXPECT_EQ(many.argument("last"), std::string(1'000'000, ' '));
}

TEST(PageEvents, BookingNeedsBothArgumentsAndIsAcknowledgedFirst) {
    EXPECT_FALSE(conversationPageEvent(message("veskiossdk://clickOnChooseDateCalendly?joinUrl=u"))
                     .has_value());
    const auto chosen = conversationPageEvent(
        message("veskiossdk://clickOnChooseDateCalendly?joinUrl=u&signature=s"));
    ASSERT_TRUE(chosen.has_value());
    const auto* booking = std::get_if<page::ChooseDateCalendly>(&*chosen);
    ASSERT_NE(booking, nullptr);
    EXPECT_EQ(booking->joinUrl, "u");
    EXPECT_EQ(booking->signature, "s");
    EXPECT_FALSE(conversationPageEvent(message("veskiossdk://clickOnJoinMeetingZoom")).has_value());

    EXPECT_TRUE(acknowledgesBeforeEffect("clickOnChooseDateCalendly"));
    EXPECT_TRUE(acknowledgesBeforeEffect("clickOnJoinMeetingZoom"));
    EXPECT_FALSE(acknowledgesBeforeEffect("openLink"));
}

TEST(PageEvents, ArgumentsReachTheirFields) {
    const auto vote = conversationPageEvent(
        message("veskiossdk://sendVoteComment?messageId=m1&value=5&comment=ok+then"));
    ASSERT_TRUE(vote.has_value());
    const auto* sent = std::get_if<page::SendVote>(&*vote);
    ASSERT_NE(sent, nullptr);
    EXPECT_EQ(sent->messageId, "m1");
    EXPECT_EQ(sent->vote, "5");
    EXPECT_EQ(sent->comment, "ok then");

    const auto identify = popupPageEvent(message("veskiossdk://identify?email=a%40b&name=A"));
    ASSERT_TRUE(identify.has_value());
    EXPECT_EQ(std::get<page::Identify>(*identify).properties,
              (Args{{"email", "a@b"}, {"name", "A"}}));

    const auto selected = listPageEvent(message("veskiossdk://selectDialogue?conversationId=c9"));
    ASSERT_TRUE(selected.has_value());
    EXPECT_EQ(std::get<page::SelectDialogue>(*selected).conversationId, "c9");
}

TEST(PageEvents, EachPageKnowsOnlyItsOwnNames) {
    EXPECT_FALSE(conversationPageEvent(message("veskiossdk://trackEvent")).has_value());
    EXPECT_FALSE(popupPageEvent(message("veskiossdk://trackEvent?other=1")).has_value());
    EXPECT_FALSE(conversationPageEvent(message("veskiossdk://closePopUp")).has_value());
    EXPECT_FALSE(popupPageEvent(message("veskiossdk://onScrollTop")).has_value());
    EXPECT_FALSE(listPageEvent(message("veskiossdk://openLink?url=x")).has_value());
    EXPECT_TRUE(popupPageEvent(message("veskiossdk://closePopUp")).has_value());
    EXPECT_TRUE(conversationPageEvent(message("veskiossdk://onScrollTop")).has_value());
}

struct HeightCase {
    const char* url;
    std::optional<double> height;
};

class PopupHeight : public testing::TestWithParam<HeightCase> {};

TEST_P(PopupHeight, OnlyAFiniteNonNegativeNumberIsAHeight) {
    const auto event = popupPageEvent(message(GetParam().url));
    ASSERT_TRUE(event.has_value());
    EXPECT_EQ(std::get<page::PopUpIsReady>(*event).height, GetParam().height);
}

INSTANTIATE_TEST_SUITE_P(
    PageEvents, PopupHeight,
    testing::Values(HeightCase{"veskiossdk://popUpIsReady?height=12.5", 12.5},
                    HeightCase{"veskiossdk://popUpIsReady?height=1e3", 1000.0},
                    HeightCase{"veskiossdk://popUpIsReady?height=0", 0.0},
                    HeightCase{"veskiossdk://popUpIsReady?height=nan", std::nullopt},
                    HeightCase{"veskiossdk://popUpIsReady?height=inf", std::nullopt},
                    HeightCase{"veskiossdk://popUpIsReady?height=1e999", std::nullopt},
                    HeightCase{"veskiossdk://popUpIsReady?height=-1", std::nullopt},
                    HeightCase{"veskiossdk://popUpIsReady?height=abc", std::nullopt},
                    HeightCase{"veskiossdk://popUpIsReady", std::nullopt}));

}  // namespace
}  // namespace vesk
