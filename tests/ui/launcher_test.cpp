// The launcher on the fake toolkit: what its bubble, badge and menu show, and
// what the user's taps do.
#include <gtest/gtest.h>

#include "tests/ui/support/chat_fixture.hpp"
#include "ui/launcher_layout.hpp"
#include "ui/launcher_presenter.hpp"
#include "ui/resources.hpp"

namespace vesk::testing {
namespace {

TEST(LauncherTextTest, BubbleBadgeAndChannelsFollowTheirRules) {
    Message m;
    m.body = "<b>Hello</b> :smile:";
    EXPECT_EQ(buildBody(m), "Hello 😄");
    m.body = "<p></p>";
    EXPECT_EQ(buildBody(m), "...");
    m.type = "vote";
    EXPECT_EQ(buildBody(m), R::string::rateOperator());
    m.type = "article";
    m.bodyJson = JsonValue(JsonObject{{"title", JsonValue("no name")}});
    EXPECT_EQ(buildBody(m), "...");
    m.bodyJson = JsonValue(JsonObject{{"name", JsonValue("Returns")}});
    EXPECT_EQ(buildBody(m), "Returns");

    EXPECT_EQ(badgeText(0), std::nullopt);
    EXPECT_EQ(badgeText(99), "99");
    EXPECT_EQ(badgeText(100), "...");

    Messenger messenger;
    messenger.isTelegramVisible = true;
    messenger.telegramText = "vesk_help";
    messenger.isVkVisible = true;  // visible, but with nothing to link to
    messenger.isViberVisible = true;
    messenger.viberText = "";
    messenger.facebookText = "hidden";  // has a text, not visible
    const auto channels = socialChannels(messenger);
    ASSERT_EQ(channels.size(), 1u);
    EXPECT_EQ(channels[0].item.image, "Telegram");
    EXPECT_EQ(channels[0].link, "https://t.me/vesk_help");
    messenger.telegramText = "a/../b?x=javascript:1";  // a name stays a name
    EXPECT_EQ(socialChannels(messenger)[0].link, "https://t.me/a%2F..%2Fb%3Fx%3Djavascript%3A1");
}

TEST(LauncherLayoutTest, TheBubbleSitsAboveTheButtonWithinTheScreensMargins) {
    const double textWidth = bubbleTextWidth(375);
    EXPECT_EQ(textWidth, 265);
    EXPECT_EQ(bubbleTextWidth(10), 0);

    LauncherBubble b;
    layoutBubble(b, {100.4, 33.2}, false);
    EXPECT_EQ(b.labelFrame, (Rect{14, 9, 101, 34}));
    EXPECT_EQ(b.frame, (Rect{-73, -67, 129, 54}));  // right-aligned, 13 above the button
    EXPECT_EQ(b.avatarFrame, (Rect{-115, -45, 32, 32}));
    layoutBubble(b, {100.4, 33.2}, true);
    EXPECT_EQ(b.frame.x, 0);
    EXPECT_EQ(b.avatarFrame.x, 139);

    // The widest bubble's picture touches the screen's left margin, no further.
    const double buttonX = 375 - 20 - kLauncherButtonSize;
    layoutBubble(b, {textWidth, 17}, false);
    EXPECT_EQ(buttonX + b.avatarFrame.x, 20);

    // The estimate of views that cannot measure keeps to the width and the lines.
    const FakeLauncher view;
    EXPECT_EQ(view.measureBubbleText("Hello", textWidth, 6), (Size{35, 17}));
    EXPECT_EQ(view.measureBubbleText("", textWidth, 6), (Size{0, 17}));
    EXPECT_EQ(view.measureBubbleText(std::string(1000, 'x'), textWidth, 6), (Size{259, 101}));
    EXPECT_EQ(view.measureBubbleText("\n\n\n", textWidth, 2).height, 34);
}

class LauncherTest : public ChatTest {
  protected:
    LauncherTest() {
        ctx.currentState.closedMessages.onNext(std::vector<std::string>{});
        launcher = LauncherPresenter::attach(deps, view,
                                             {.open = [this](const std::optional<std::string>& id) {
                                                 opened.push_back(id.value_or("none"));
                                             }});
    }

    std::shared_ptr<FakeLauncher> view = std::make_shared<FakeLauncher>();
    std::shared_ptr<LauncherPresenter> launcher;
    std::vector<std::string> opened;
};

TEST_F(LauncherTest, TheBubbleShowsTheNewestUnreadUntilClosedAndComesBackWithANewerMessage) {
    EXPECT_TRUE(view->shown);
    EXPECT_EQ(view->content.color, "#000000");  // no settings yet
    EXPECT_FALSE(view->content.bubble);
    auto older = dialog("c1", 10, 1);
    auto newer = dialog("c2", 20, 2);
    newer.lastAdmin.avatar = "https://files.test/anna.png";
    ctx.dialogs.add({older, newer});
    ASSERT_TRUE(view->content.bubble);
    EXPECT_EQ(view->content.bubble->text, "text last-c2");
    EXPECT_EQ(view->content.bubble->avatarUrl, "https://files.test/anna.png");
    EXPECT_EQ(view->content.badge, "2");
    EXPECT_EQ(view->content.bubble->frame.x + view->content.bubble->frame.width,
              kLauncherButtonSize);

    view->user().bubbleTapped();
    EXPECT_EQ(opened, std::vector<std::string>{"c2"});
    view->user().bubbleCloseTapped();
    EXPECT_EQ(view->content.bubble->text, "text last-c1");
    view->user().bubbleCloseTapped();
    EXPECT_FALSE(view->content.bubble);

    // A newer message in a closed conversation brings it back.
    ctx.dialogs.addMessage(reply("last-c2-again", "c2"), true);
    ASSERT_TRUE(view->content.bubble);
    EXPECT_EQ(view->content.bubble->text, "text last-c2-again");
}

TEST_F(LauncherTest, TheButtonOpensTheChannelsMenuOrWithoutChannelsTheChat) {
    view->user().buttonTapped();
    EXPECT_EQ(opened, std::vector<std::string>{"none"});

    knowMessenger();
    auto messenger = *ctx.messenger.messenger.value();
    messenger.isTelegramVisible = true;
    messenger.telegramText = "vesk_help";
    ctx.messenger.messenger.accept(messenger);
    EXPECT_EQ(view->content.color, "#ff0000");
    ASSERT_EQ(view->content.items.size(), 1u);
    const int shows = view->shows;
    ctx.messenger.messenger.accept(messenger);  // nothing new to show
    EXPECT_EQ(view->shows, shows);

    view->user().buttonTapped();
    EXPECT_TRUE(view->content.menuOpen);
    view->user().itemTapped(0);
    view->user().itemTapped(7);
    EXPECT_EQ(view->urls, std::vector<std::string>{"https://t.me/vesk_help"});
    view->user().overlayTapped();
    EXPECT_FALSE(view->content.menuOpen);
    EXPECT_EQ(opened.size(), 1u);

    launcher->setIcon(Image{"/tmp/icon.png"});
    EXPECT_EQ(view->content.icon, Image{"/tmp/icon.png"});
    launcher->remove();
    EXPECT_FALSE(view->shown);
    ctx.dialogs.add({dialog("c1", 10, 1)});
    EXPECT_FALSE(view->shown);
}

}  // namespace
}  // namespace vesk::testing
