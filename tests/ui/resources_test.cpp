#include "ui/resources.hpp"

#include <gtest/gtest.h>

#include "core/config/library_bundles.hpp"
#include "vesk/configuration.hpp"

namespace vesk {
namespace {

TEST(Resources, ImageNamesFollowTheBrand) {
    EXPECT_EQ(R::drawable::chat(), "widget-chat-icon-vx");
    EXPECT_EQ(R::drawable::logo(), "logo_vx");
    DeploymentValues values;
    values.providerName = "Norra";
    configure(values);
    EXPECT_EQ(R::drawable::chat(), "widget-chat-icon-norra");
    EXPECT_EQ(R::drawable::logo(), "logo_n");
    values.providerName = "norra";  // exact match only
    configure(values);
    EXPECT_EQ(R::drawable::logo(), "logo_vx");
    for (auto& bundle : config::makeLibraryBundles()) {
        registerBundle(std::move(bundle));
    }
}

TEST(Resources, FixedColours) {
    EXPECT_EQ(R::color::placeholder().resolved(Appearance::light), (Rgba{0, 0, 0, 0.3}));
    EXPECT_EQ(R::color::gray153153153().resolved(Appearance::light),
              (Rgba{153 / 255.0, 153 / 255.0, 153 / 255.0, 1}));
    ASSERT_TRUE(R::color::gray179179179());
    EXPECT_EQ(R::color::gray179179179()->resolved(Appearance::light),
              R::color::placeholderTextColor().resolved(Appearance::light));
    EXPECT_EQ(R::color::telegramBackground().resolved(Appearance::dark),
              (Rgba{23 / 255.0, 156 / 255.0, 222 / 255.0, 1}));
}

TEST(Resources, TextsComeFromTheLibraryBundle) {
    setPreferredLanguage("en");
    EXPECT_EQ(R::string::retry(), "Retry");
    EXPECT_FALSE(R::string::disabledInputBar().empty());
    EXPECT_FALSE(R::string::somethingWrongDesc().empty());
}

TEST(Resources, MainColorParsesTheMessengerColourOrIsBlack) {
    EXPECT_EQ(mainColor("#ff0000").resolved(Appearance::light), (Rgba{1, 0, 0, 1}));
    EXPECT_EQ(mainColor("12345").resolved(Appearance::light), (Rgba{0, 0, 0, 1}));
    EXPECT_EQ(mainColor(std::nullopt).resolved(Appearance::light), (Rgba{0, 0, 0, 1}));
}

}  // namespace
}  // namespace vesk
