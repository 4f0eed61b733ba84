// The public emoji API: the compiled-in table and both conversions.
#include "vesk/emoji.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <latch>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "core/emoji/codepoint_trie.hpp"
#include "core/emoji/shortname_index.hpp"

namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using vesk::Emoji;
using vesk::emojiEscapedString;
using vesk::emojiUnescapedString;

const std::string kThumbsUp = "\U0001F44D";
const std::string kSmile = "\U0001F604";
const std::string kHeart = "\u2764";
const std::string kVs16 = "\uFE0F";
const std::string kKeycap = "\u20E3";

Emoji entry(std::string_view name) {
    const auto e = Emoji::withShortname(name);
    EXPECT_TRUE(e.has_value()) << name;
    return e.value_or(*Emoji::atPosition(0));
}

// ---- The table ----

struct Row {
    const char* name;
    std::vector<std::string_view> shortnames;
    std::vector<std::string> codepoints;
};

class EmojiTableRow : public ::testing::TestWithParam<Row> {};

TEST_P(EmojiTableRow, HasTheNamesAndTextsOfItsEntry) {
    const Row& row = GetParam();
    const Emoji e = entry(row.name);
    EXPECT_EQ(e.name(), row.name);
    EXPECT_THAT(e.shortnames(), ElementsAreArray(row.shortnames));
    std::vector<std::string_view> texts(row.codepoints.begin(), row.codepoints.end());
    EXPECT_THAT(e.codepoints(), ElementsAreArray(texts));
}

INSTANTIATE_TEST_SUITE_P(
    TellingRows, EmojiTableRow,
    ::testing::Values(
        Row{"pound_symbol", {"pound_symbol"}, {"#", "#" + kVs16}},
        Row{"hash", {"hash"}, {"#" + kVs16 + kKeycap, "#" + kKeycap}},
        Row{"digit_zero", {"digit_zero"}, {"0", "0" + kVs16}},
        Row{"zero", {"zero"}, {"0" + kVs16 + kKeycap, "0" + kKeycap}},
        Row{"heart", {"heart"}, {kHeart, kHeart + kVs16}},
        // emojione adds a third name, "thumbup".
        Row{"thumbsup", {"thumbsup", "+1", "thumbup"}, {kThumbsUp, kThumbsUp + kVs16}},
        Row{"grinning", {"grinning"}, {"\U0001F600"}}),
    [](const auto& rowInfo) { return std::string(rowInfo.param.name); });

TEST(EmojiTable, IsOrderedByCodepointSequenceFromPoundSymbolToNazarAmulet) {
    const std::vector<Emoji> all = Emoji::allCases();
    ASSERT_EQ(all.size(), 2827u);
    ASSERT_EQ(all.size(), Emoji::caseCount());
    std::vector<std::string_view> first;
    std::vector<std::string_view> last;
    for (std::size_t i = 0; i < 6; ++i) {
        first.push_back(all[i].name());
    }
    for (std::size_t i = all.size() - 8; i < all.size(); ++i) {
        last.push_back(all[i].name());
    }
    EXPECT_THAT(first, ElementsAre("pound_symbol", "hash", "asterisk_symbol", "asterisk",
                                   "digit_zero", "zero"));
    EXPECT_THAT(entry("asterisk").shortnames(), ElementsAre("asterisk", "keycap_asterisk"));
    EXPECT_THAT(last, ElementsAre("teddy_bear", "broom", "basket", "roll_of_paper", "soap",
                                  "sponge", "receipt", "nazar_amulet"));

    const std::size_t thumbsup = entry("thumbsup").position();
    for (std::size_t tone = 1; tone <= 5; ++tone) {
        EXPECT_EQ(all[thumbsup + tone].name(), "thumbsup_tone" + std::to_string(tone));
    }
    EXPECT_LT(thumbsup, entry("grinning").position());
    EXPECT_LT(entry("grinning").position(), entry("joy").position());
    EXPECT_LT(entry("joy").position(), entry("smile").position());
}

TEST(EmojiTable, EveryEntryHasUsableNamesAndTextsAndOwnsThemAlone) {
    std::size_t names = 0;
    std::vector<std::string_view> seenNames;
    std::vector<std::string_view> seenTexts;
    for (const Emoji& e : Emoji::allCases()) {
        const auto shortnames = e.shortnames();
        const auto texts = e.codepoints();
        ASSERT_GE(shortnames.size(), 1u);
        ASSERT_LE(shortnames.size(), 4u);
        ASSERT_GE(texts.size(), 1u);
        ASSERT_LE(texts.size(), 5u);
        EXPECT_EQ(e.name(), shortnames[0]);
        EXPECT_EQ(Emoji::atPosition(e.position()), e);
        for (const auto name : shortnames) {
            EXPECT_FALSE(name.empty());
            EXPECT_EQ(name.find(':'), std::string_view::npos) << name;
            EXPECT_EQ(Emoji::withShortname(name), e) << name;
        }
        for (const auto text : texts) {
            EXPECT_EQ(Emoji::withCodepoints(text), e) << e.name();
        }
        names += shortnames.size();
        seenNames.insert(seenNames.end(), shortnames.begin(), shortnames.end());
        seenTexts.insert(seenTexts.end(), texts.begin(), texts.end());
    }
    EXPECT_EQ(names, 4278u);
    std::sort(seenNames.begin(), seenNames.end());
    std::sort(seenTexts.begin(), seenTexts.end());
    EXPECT_EQ(std::adjacent_find(seenNames.begin(), seenNames.end()), seenNames.end());
    EXPECT_EQ(std::adjacent_find(seenTexts.begin(), seenTexts.end()), seenTexts.end());
}

TEST(EmojiTable, LookupsMissOnAnythingButAnExactNameOrText) {
    EXPECT_FALSE(Emoji::withShortname("Smile"));
    EXPECT_FALSE(Emoji::withShortname(":smile:"));
    EXPECT_FALSE(Emoji::withShortname(""));
    EXPECT_FALSE(Emoji::withCodepoints(""));
    EXPECT_FALSE(Emoji::withCodepoints("#" + kVs16 + kKeycap + "x"));
    EXPECT_FALSE(Emoji::withCodepoints("#" + kVs16.substr(0, 1)));
    EXPECT_EQ(Emoji::withCodepoints("#" + kVs16 + kKeycap), entry("hash"));
    EXPECT_FALSE(Emoji::atPosition(Emoji::caseCount()));
}

// ---- Conversions ----

struct Case {
    const char* what;
    std::string input;
    std::string expected;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.what;
}

class Unescaping : public ::testing::TestWithParam<Case> {};

TEST_P(Unescaping, ReplacesExactlyTheShortcodes) {
    EXPECT_EQ(emojiUnescapedString(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Unescaping,
    ::testing::Values(
        Case{"primary name", ":thumbsup:", kThumbsUp},
        Case{"alternate names", ":+1: :thumbup:", kThumbsUp + " " + kThumbsUp},
        Case{"first text with its selectors", ":hash:", "#" + kVs16 + kKeycap},
        Case{"plain characters from their own names", ":pound_symbol::digit_zero:", "#0"},
        Case{"adjacent shortcodes", ":smile::heart:", kSmile + kHeart},
        Case{"letter case matters", ":Smile: :SMILE:", ":Smile: :SMILE:"},
        Case{"unknown names stay", ":not_an_emoji:", ":not_an_emoji:"},
        Case{"a failed candidate's colon opens the next", "a:q:smile:c", "a:q" + kSmile + "c"},
        Case{"colon runs", ":::smile:::", "::" + kSmile + "::"},
        Case{"the closing colon is used up", ":smile:heart:", kSmile + "heart:"},
        Case{"spaces are no part of a name", ": smile:", ": smile:"},
        Case{"unterminated", "see :smile", "see :smile"},
        Case{"times and labels", "at 12:30 note: ok :wave:", "at 12:30 note: ok \U0001F44B"},
        Case{"next to Cyrillic", "привет:wave:да", "привет\U0001F44Bда"},
        Case{"emoji and plain characters stay", "# 0 " + kThumbsUp, "# 0 " + kThumbsUp},
        Case{"no colon", "hello", "hello"}, Case{"lone colon", ":", ":"}, Case{"empty", "", ""}));

class Escaping : public ::testing::TestWithParam<Case> {};

TEST_P(Escaping, ReplacesTheLongestEmojiTextAtEachPosition) {
    EXPECT_EQ(emojiEscapedString(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Escaping,
    ::testing::Values(
        Case{"first name", kThumbsUp, ":thumbsup:"},
        Case{"variant with selector", kThumbsUp + kVs16, ":thumbsup:"},
        Case{"keycap", "#" + kVs16 + kKeycap, ":hash:"},
        Case{"keycap without selector", "#" + kKeycap, ":hash:"},
        Case{"plain characters", "#0", ":pound_symbol::digit_zero:"},
        Case{"plain character with selector", "#" + kVs16, ":pound_symbol:"},
        Case{"a longer path that fails falls back", "#" + kVs16 + "x", ":pound_symbol:x"},
        Case{"numbers", "2024", ":digit_two::digit_zero::digit_two::digit_four:"},
        Case{"adjacent emoji", kSmile + kHeart, ":smile::heart:"},
        Case{"heart with selector", kHeart + kVs16 + "!", ":heart:!"},
        Case{"ZWJ sequence as one", "\U0001F441\uFE0F\u200D\U0001F5E8\uFE0F",
             ":eye_in_speech_bubble:"},
        Case{"greedy sequence without joiners", "\U0001F468\U0001F469\U0001F467", ":family_mwg:"},
        Case{"shortcodes stay", "ok " + kThumbsUp + " :smile:", "ok :thumbsup: :smile:"},
        Case{"copyright needs its selector", "\u00A9 \u00A9\uFE0F", "\u00A9 :copyright:"},
        Case{"Cyrillic", "привет", "привет"},
        Case{"truncated emoji bytes", "\xF0\x9F\x91", "\xF0\x9F\x91"},
        Case{"stray lead byte before an emoji", "\xF0" + kHeart, "\xF0:heart:"},
        Case{"not UTF-8", "a\xFF\xC0z", "a\xFF\xC0z"}, Case{"no emoji", "hello", "hello"},
        Case{"empty", "", ""}));

TEST(EmojiEscaping, FindsEmojiAtEveryOffsetAroundTheScanBlocks) {
    const std::string keycap = "#" + kVs16 + kKeycap;
    for (std::size_t length : {63u, 64u, 65u, 127u, 128u, 129u, 200u}) {
        for (std::size_t at = 0; at + keycap.size() <= length; ++at) {
            std::string text(length, 'a');
            text.replace(at, keycap.size(), keycap);
            std::string expected(length - keycap.size(), 'a');
            expected.insert(at, ":hash:");
            ASSERT_EQ(emojiEscapedString(text), expected) << length << " " << at;
        }
    }
}

TEST(EmojiEscaping, EveryKindOfStartByteIsFoundPastTheFirstBlock) {
    // Neighbours of the bytes that start table texts: '#', '*', '0'-'9', 0xC2, 0xE2-0xE3
    // and 0xF0. A scan that skipped too little would still be right; one that skipped a
    // start byte would lose the emoji after it.
    std::string noise = "\"$)+/:";
    for (const int b : {0xC1, 0xC3, 0xE1, 0xE4, 0xEF, 0xF1}) {
        noise += static_cast<char>(b);
        noise += "\x80";
    }
    noise += noise + noise + noise;
    ASSERT_GT(noise.size(), 64u);
    const std::vector<std::pair<std::string, std::string>> emoji = {
        {"#", ":pound_symbol:"}, {"*", ":asterisk_symbol:"},      {"0", ":digit_zero:"},
        {"9", ":digit_nine:"},   {"\u00A9\uFE0F", ":copyright:"}, {kHeart, ":heart:"},
        {"\u3299", ":secret:"},  {kThumbsUp, ":thumbsup:"}};
    for (const auto& [text, shortcode] : emoji) {
        EXPECT_EQ(emojiEscapedString(noise + text + noise), noise + shortcode + noise) << shortcode;
    }
}

TEST(EmojiRoundTrip, EveryShortnameUnescapesToItsFirstTextAndEscapesToItsFirstName) {
    for (const Emoji& e : Emoji::allCases()) {
        const std::string primary = ":" + std::string(e.name()) + ":";
        for (const auto name : e.shortnames()) {
            const std::string shortcode = ":" + std::string(name) + ":";
            const std::string unescaped = emojiUnescapedString(shortcode);
            ASSERT_EQ(unescaped, e.codepoints()[0]) << shortcode;
            ASSERT_EQ(emojiEscapedString(unescaped), primary) << shortcode;
            ASSERT_EQ(emojiEscapedString("a" + unescaped + "b"), "a" + primary + "b");
        }
        for (const auto text : e.codepoints()) {
            ASSERT_EQ(emojiEscapedString(text), primary) << e.name();
        }
    }
}

TEST(EmojiFirstUse, ThreadsStartingTogetherShareOneIndexAndAllConvert) {
    constexpr int kThreads = 8;
    std::latch start(kThreads);
    std::vector<const void*> names(kThreads);
    std::vector<const void*> tries(kThreads);
    std::vector<std::string> results(kThreads);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            start.arrive_and_wait();
            if (i % 2 == 0) {
                results[static_cast<std::size_t>(i)] =
                    emojiEscapedString(emojiUnescapedString(":+1:"));
            } else {
                results[static_cast<std::size_t>(i)] = emojiEscapedString(kThumbsUp);
            }
            names[static_cast<std::size_t>(i)] = &vesk::emoji::builtinShortnameIndex();
            tries[static_cast<std::size_t>(i)] = &vesk::emoji::builtinCodepointTrie();
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    for (int i = 0; i < kThreads; ++i) {
        const auto k = static_cast<std::size_t>(i);
        EXPECT_EQ(results[k], ":thumbsup:");
        EXPECT_EQ(names[k], names[0]);
        EXPECT_EQ(tries[k], tries[0]);
    }
}

}  // namespace
