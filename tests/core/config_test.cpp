#include <gtest/gtest.h>

#include "core/config/bundle_lookup.hpp"
#include "core/config/configuration.hpp"
#include "core/config/info_plist.hpp"
#include "core/config/library_bundles.hpp"
#include "core/system_console.hpp"
#include "tests/support/capturing_console_sink.hpp"
#include "vesk/bundle.hpp"
#include "vesk/configuration.hpp"

namespace vesk {
namespace {

class ConfigTest : public ::testing::Test {
  protected:
    void SetUp() override { setPreferredLanguage("en"); }
    void TearDown() override {
        setMainBundle(std::nullopt);
        for (auto& bundle : config::makeLibraryBundles()) {
            registerBundle(std::move(bundle));
        }
    }
};

TEST_F(ConfigTest, RawKeysRoundTripAndUnknownStringsGiveNoKey) {
    for (int i = 0; i < InfoPlist::kKeyCount; ++i) {
        const auto key = static_cast<InfoPlist::Keys>(i);
        EXPECT_EQ(InfoPlist::keyFromRaw(InfoPlist::rawKey(key)), key);
    }
    EXPECT_EQ(InfoPlist::rawKey(InfoPlist::Keys::bundleIdentifier), "Bundle identifier");
    EXPECT_EQ(InfoPlist::keyFromRaw("bundleIdentifier"), std::nullopt);
    EXPECT_EQ(InfoPlist::keyFromRaw("apiurl"), std::nullopt);
}

TEST_F(ConfigTest, ValuesLoseTheirBackslashes) {
    DeploymentValues values;
    values.apiUrl = R"(https:\/\/api.example\/v1\/)";
    configure(values);
    EXPECT_EQ(InfoPlist::shared().getValue(InfoPlist::Keys::apiUrl, AppType::lib),
              "https://api.example/v1/");
}

TEST_F(ConfigTest, DefaultsComeFromTheLibraryBundles) {
    EXPECT_EQ(InfoPlist::shared().getValue(InfoPlist::Keys::apiUrl, AppType::lib),
              std::string(config::kDefaultApiUrl));
    EXPECT_EQ(InfoPlist::shared().getValue(InfoPlist::Keys::appGroupDomain, AppType::lib),
              std::string(config::kDefaultAppGroupDomain));
    EXPECT_EQ(InfoPlist::shared().getValue(InfoPlist::Keys::moyaLog, AppType::lib), std::nullopt);
    const auto read = Configuration::fromBundles();
    EXPECT_EQ(read.apiUrl, config::kDefaultApiUrl);
    EXPECT_EQ(read.appGroupDomain, std::string(config::kDefaultAppGroupDomain));
    EXPECT_FALSE(read.requestLogging);
}

TEST_F(ConfigTest, RequestLoggingOnlyForExactlyOne) {
    DeploymentValues values;
    values.moyaLog = "true";
    configure(values);
    EXPECT_FALSE(Configuration::fromBundles().requestLogging);
    values.moyaLog = "1";
    configure(values);
    EXPECT_TRUE(Configuration::fromBundles().requestLogging);
}

TEST_F(ConfigTest, MissingBundleDictionaryOrNonStringEntryIsAbsent) {
    EXPECT_EQ(InfoPlist::shared().getValue(InfoPlist::Keys::appName, AppType::app), std::nullopt);
    setMainBundle(Bundle("com.example.nodict"));
    EXPECT_EQ(InfoPlist::shared().getValue(InfoPlist::Keys::appName, AppType::app), std::nullopt);
    Bundle main("com.example.host");
    main.setInfo("appName", JsonValue(5));
    setMainBundle(main);
    EXPECT_EQ(InfoPlist::shared().getValue(InfoPlist::Keys::appName, AppType::app), std::nullopt);
}

TEST_F(ConfigTest, ConsoleSubsystemIsTheHostIdentifierUnderItsSpacedKey) {
    testing::ScopedConsoleCapture console;
    Bundle standardOnly("com.example.host");
    standardOnly.setInfo("CFBundleIdentifier", JsonValue("com.example.host"));
    setMainBundle(standardOnly);
    SystemConsole::shared().write("one", "VeskPush");

    Bundle spaced("com.example.host");
    spaced.setInfo("Bundle identifier", JsonValue("com.example.host"));
    setMainBundle(spaced);
    SystemConsole::shared().writeSeparator("two", "VeskPush");

    const auto lines = console.sink().lines();
    ASSERT_EQ(lines.size(), 2U);
    EXPECT_EQ(lines[0].subsystem, "Vesk");
    EXPECT_EQ(lines[0].category, "VeskPush");
    EXPECT_EQ(lines[1].subsystem, "com.example.host");
    EXPECT_EQ(lines[1].text, "--------------------two--------------------");
}

TEST_F(ConfigTest, LocalizeFallsBackFromTheGivenBundleToTheTypesBundle) {
    Bundle given("com.example.resources");
    given.setStrings("en", {{"vx_sdk.dialogs.title", "Chats"}});
    EXPECT_EQ(localize("vx_sdk.dialogs.title", AppType::sdk, &given), "Chats");
    EXPECT_EQ(localize("vx_lib.retry", AppType::sdk, &given), "Retry");
    EXPECT_EQ(localize("vx_lib.retry", AppType::sdk), "Retry");
    EXPECT_EQ(localize("no.such.key", AppType::sdk), "no.such.key");
    // No main bundle: nothing to look in.
    EXPECT_EQ(localize("vx_lib.retry", AppType::app, &given), "");
}

TEST_F(ConfigTest, LocalizeUsesThePreferredLanguage) {
    setPreferredLanguage("ru");
    EXPECT_EQ(localize("vx_lib.retry", AppType::lib), "Повторить");
    EXPECT_EQ(localize("Отправка заблокирована", AppType::sdk), "Отправка заблокирована");
    setPreferredLanguage("de");  // no table: the base language
    EXPECT_EQ(localize("vx_lib.retry", AppType::lib), "Retry");
}

TEST_F(ConfigTest, EveryStringKeyHasBothTranslations) {
    const auto en = config::englishStrings();
    const auto ru = config::russianStrings();
    ASSERT_EQ(en.size(), ru.size());
    for (const auto& [key, text] : en) {
        EXPECT_TRUE(ru.count(key)) << key;
        EXPECT_FALSE(text.empty()) << key;
    }
}

}  // namespace
}  // namespace vesk
