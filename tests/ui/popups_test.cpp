// Popup cards on the fake toolkit: their layout, when they show, what fills
// their page and what the page's messages do.
#include <gtest/gtest.h>

#include "tests/ui/support/chat_fixture.hpp"
#include "ui/bridge/page_payloads.hpp"
#include "ui/bridge/page_scripts.hpp"
#include "ui/popup_layout.hpp"
#include "ui/popup_presenter.hpp"
#include "ui/resources.hpp"

namespace vesk::testing {
namespace {

TEST(PopupLayoutTest, TheCardIsPlacedAsOnEveryToolkit) {
    // Portrait, a narrow screen: the card keeps 15 either side and sits in the middle.
    auto layout = popupLayout({375, 667}, 200, 120);
    EXPECT_EQ(layout.card, (Rect{15, 189, 345, 200 + 56 + 34}));
    EXPECT_EQ(layout.page, (Rect{0, 56, 345, 200}));
    EXPECT_EQ(layout.closeButton, (Rect{289, 0, 56, 56}));
    EXPECT_EQ(layout.pill, (Rect{113, 266, 120, 24}));

    // A wide one: 350 at most, centred; a page of unknown height is 50 high.
    layout = popupLayout({414, 736}, 0, std::nullopt);
    EXPECT_EQ(layout.card, (Rect{32, 315, 350, 106}));
    EXPECT_FALSE(layout.pill);

    // Too high to centre: from the top margin.
    EXPECT_EQ(popupLayout({375, 667}, 600, 120).card.y, 43);

    // Landscape: the close button beside the page, outside the card.
    layout = popupLayout({667, 375}, 200, std::nullopt);
    EXPECT_EQ(layout.card, (Rect{159, 88, 350, 200}));
    EXPECT_EQ(layout.page.y, 0);
    EXPECT_EQ(layout.closeButton.x, 350);
    EXPECT_EQ(popupLayout({667, 375}, 400, std::nullopt).card.y, 30);

    // A screen narrower than the margins gets an empty card, not a negative one.
    EXPECT_EQ(popupLayout({20, 40}, 10, std::nullopt).card.width, 0);
}

// The pill says the localized "powered by".
PopupLayout withPill(PopupLayout layout) {
    layout.pillText = R::string::poweredBy();
    return layout;
}

class PopupTest : public ChatTest {
  protected:
    PopupTest() {
        deps.trackEvent = [this](const std::string& name, const std::string& params) {
            events.push_back(name + "|" + params);
        };
        deps.setUserProperty = [this](std::vector<UserProperty> list) {
            for (const auto& p : list) {
                properties.push_back(p.key() + "=" + p.value());
            }
        };
    }

    void pill(bool visible) {
        knowMessenger();
        auto messenger = *ctx.messenger.messenger.value();
        messenger.isPoweredByVisible = visible;
        ctx.messenger.messenger.accept(messenger);
    }
    // A popup arrives and its card, if any, finishes loading.
    FakePopupCard* arrive(const std::string& id, const std::string& body = R"({"text":"Hi"})") {
        const auto before = platform->cards.size();
        ctx.popups.addNewPopup({id, body, {}});
        if (platform->cards.size() == before) {
            return nullptr;
        }
        platform->page(PageMode::popup).finish();
        return platform->cards.back().get();
    }
    WebPageListener::Decision says(const std::string& url) const {
        return platform->page(PageMode::popup).navigate("veskiossdk://" + url);
    }

    PopupPresenter popups{deps};
    std::vector<std::string> events;
    std::vector<std::string> properties;
};

TEST_F(PopupTest, ACardShowsOnlyWhileTheChatIsClosedAndIsFilledWithItsBody) {
    pill(true);
    screen.isOpen.onNext(true);
    EXPECT_EQ(arrive("p1"), nullptr);
    EXPECT_TRUE(popups.shown().empty());

    screen.isOpen.onNext(false);
    const auto* card = arrive("p2");
    ASSERT_NE(card, nullptr);
    EXPECT_TRUE(card->shown);
    auto& page = platform->page(PageMode::popup);
    EXPECT_EQ(page.loaded,
              std::vector<std::string>{"https://widget.test/external-widget/0.4.0/ios/popup/"});
    const auto appSettings =
        localizedSettingsText(*ctx.messenger.messenger.value(), std::nullopt, "en");
    EXPECT_EQ(page.take(),
              std::vector<std::string>{*script::initPopup(appSettings, R"({"text":"Hi"})")});
    EXPECT_EQ(card->layout, withPill(popupLayout({375, 667}, 0, 120)));

    // A body that is not JSON is never pasted into the page.
    arrive("p3", "alert(1)//");
    EXPECT_TRUE(platform->page(PageMode::popup).scripts.empty());
    EXPECT_EQ(popups.shown(), (std::vector<std::string>{"p2", "p3"}));
}

TEST_F(PopupTest, TheCardTakesThePagesFiniteHeightAndDropsThePillWhenTheSettingsSay) {
    pill(true);
    auto* card = arrive("p1");
    ASSERT_NE(card, nullptr);
    says("popUpIsReady?height=300");
    EXPECT_EQ(card->layout, withPill(popupLayout({375, 667}, 300, 120)));
    for (const char* bad : {"nan", "inf", "-5", "1e999", "tall"}) {
        says(std::string("popUpIsReady?height=") + bad);
        EXPECT_EQ(card->layout.page.height, 300) << bad;
    }
    pill(false);
    EXPECT_EQ(card->layout, popupLayout({375, 667}, 300, std::nullopt));
    EXPECT_TRUE(card->shown);
    platform->screen = {667, 375};
    card->resized();
    EXPECT_EQ(card->layout, popupLayout({667, 375}, 300, std::nullopt));
}

TEST_F(PopupTest, EachOfThePagesRequestsActsThenClosesItsOwnCard) {
    pill(false);
    const auto* first = arrive("p1");
    auto* second = arrive("p2");
    says("identify?email=ann%40example.com&name=Ann");
    EXPECT_EQ(properties, (std::vector<std::string>{"email=ann@example.com", "name=Ann"}));
    EXPECT_FALSE(second->shown);
    EXPECT_TRUE(first->shown);
    scheduler->advance({});  // the closed card is released on a later turn

    struct Case {
        const char* message;
        std::vector<std::string> events;
        std::vector<std::string> urls;
    };
    const Case cases[] = {
        {"trackEvent", {}, {}},
        {"trackEvent?eventName=clicked", {"clicked|"}, {}},
        {"openLink?url=javascript%3Aalert(1)", {}, {}},
        {"openLink?url=https%3A%2F%2Fexample.com%2Fsale", {}, {"https://example.com/sale"}},
        {"closePopUp", {}, {}},
    };
    for (const auto& c : cases) {
        events.clear();
        auto* card = arrive("p-" + std::string(c.message));
        EXPECT_EQ(says(c.message), WebPageListener::Decision::cancel);
        EXPECT_FALSE(card->shown) << c.message;
        EXPECT_EQ(events, c.events) << c.message;
        EXPECT_EQ(card->urls, c.urls) << c.message;
        scheduler->advance({});
    }
    EXPECT_EQ(popups.shown(), std::vector<std::string>{"p1"});

    // An unknown message leaves the card; its conversation's expiry or its button closes it.
    arrive("p9");
    says("whatever");
    ctx.popups.dissmissPopup.onNext("p1");
    EXPECT_FALSE(first->shown);
    EXPECT_EQ(popups.shown(), std::vector<std::string>{"p9"});
    platform->cards.back()->tapClose();
    EXPECT_TRUE(popups.shown().empty());
}

}  // namespace
}  // namespace vesk::testing
