// The lookup structures and conversions over small, made-up tables: the rules that the
// library's own table never exercises (shared names and texts) and the trie's corners.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "core/emoji/codepoint_trie.hpp"
#include "core/emoji/emoji_conversions.hpp"
#include "core/emoji/emoji_table.hpp"
#include "core/emoji/shortname_index.hpp"

namespace {

using vesk::emoji::CodepointTrie;
using vesk::emoji::EmojiTable;
using vesk::emoji::kNoEmoji;
using vesk::emoji::ShortnameIndex;

struct Row {
    std::vector<std::string> names;
    std::vector<std::string> texts;
};

// A table laid out like the generated one, with everything built over it.
class Fixture {
  public:
    explicit Fixture(const std::vector<Row>& rows) {
        offsets_.push_back(0);
        const auto add = [this](const std::string& s) {
            bytes_.insert(bytes_.end(), s.begin(), s.end());
            offsets_.push_back(static_cast<std::uint32_t>(bytes_.size()));
        };
        const auto count = [this] { return static_cast<std::uint32_t>(offsets_.size() - 1); };
        for (const Row& row : rows) {
            firstName_.push_back(count());
            for (const auto& n : row.names) {
                add(n);
            }
        }
        firstName_.push_back(count());
        for (const Row& row : rows) {
            firstCodepoint_.push_back(count());
            for (const auto& t : row.texts) {
                add(t);
            }
        }
        firstCodepoint_.push_back(count());
        table_.emplace(bytes_, offsets_, firstName_, firstCodepoint_);
        names_.emplace(*table_);
        trie_.emplace(*table_);
    }

    std::string unescape(std::string_view text) const {
        return vesk::emoji::unescapeShortcodes(text, *table_, *names_);
    }
    std::string escape(std::string_view text) const {
        return vesk::emoji::escapeEmoji(text, *table_, *trie_);
    }
    const ShortnameIndex& names() const { return *names_; }
    const CodepointTrie& trie() const { return *trie_; }

  private:
    std::vector<unsigned char> bytes_;
    std::vector<std::uint32_t> offsets_;
    std::vector<std::uint32_t> firstName_;
    std::vector<std::uint32_t> firstCodepoint_;
    std::optional<EmojiTable> table_;
    std::optional<ShortnameIndex> names_;
    std::optional<CodepointTrie> trie_;
};

TEST(EmojiIndex, LaterEntryOwnsASharedName) {
    const Fixture f({{{"one", "dup"}, {"A"}}, {{"dup"}, {"B"}}, {{"other"}, {"C"}}});
    EXPECT_EQ(f.names().find("dup"), 1u);
    EXPECT_EQ(f.names().find("one"), 0u);
    EXPECT_EQ(f.unescape(":dup: :one:"), "B A");
}

TEST(EmojiIndex, LaterEntryOwnsASharedText) {
    const Fixture f({{{"first"}, {"X", "Y"}}, {{"second"}, {"Z", "X"}}, {{"third"}, {"W"}}});
    EXPECT_EQ(f.trie().find("X"), 1u);
    EXPECT_EQ(f.escape("XYZ"), ":second::first::second:");
}

TEST(EmojiIndex, EscapingTakesTheLongestTextAndFallsBackToAShorterOne) {
    const Fixture f({{{"short"}, {"ab"}}, {{"long"}, {"abcd"}}, {{"tail"}, {"d"}}});
    EXPECT_EQ(f.escape("abcd"), ":long:");
    EXPECT_EQ(f.escape("abcx"), ":short:cx");
    EXPECT_EQ(f.escape("abcdd"), ":long::tail:");
    EXPECT_EQ(f.escape("aabc"), "a:short:c");
    EXPECT_EQ(f.escape("abc"), ":short:c");
    EXPECT_EQ(f.trie().find("abc"), kNoEmoji);
    EXPECT_EQ(f.trie().longestPrefix("abcdd").length, 4u);
}

TEST(EmojiIndex, TrieHandlesBytesAtBothEndsOfTheRange) {
    const Fixture f({{{"low"}, {std::string(1, '\x01'), std::string("\x01\x00", 2)}},
                     {{"high"}, {"\xFE", "\xFE\xFF"}},
                     {{"mid"}, {"\x80"}}});
    EXPECT_EQ(f.escape(std::string("\x01\x00\x02", 3)), ":low:\x02");
    EXPECT_EQ(f.escape("\xFE\xFF\xFD\xFE"), ":high:\xFD:high:");
    EXPECT_EQ(f.escape("\x7F\x80\x81"), "\x7F:mid:\x81");
    EXPECT_EQ(f.escape(std::string("\x00\xFF", 2)), std::string("\x00\xFF", 2));
}

TEST(EmojiIndex, NamesAtTheLengthBoundsAreStillFound) {
    const Fixture f({{{"a"}, {"1"}}, {{"abcdefghij"}, {"2"}}});
    EXPECT_EQ(f.names().shortest(), 1u);
    EXPECT_EQ(f.names().longest(), 10u);
    EXPECT_EQ(f.unescape(":a::abcdefghij::abcdefghijk::"), "12:abcdefghijk::");
}

TEST(EmojiIndex, ManyNamesAreAllFoundAndNoneInvented) {
    std::vector<Row> rows;
    for (int i = 0; i < 3000; ++i) {
        rows.push_back({{"n" + std::to_string(i), "alt" + std::to_string(i)}, {"t"}});
    }
    const Fixture f(rows);
    for (std::uint32_t i = 0; i < 3000; ++i) {
        ASSERT_EQ(f.names().find("n" + std::to_string(i)), i);
        ASSERT_EQ(f.names().find("alt" + std::to_string(i)), i);
        ASSERT_EQ(f.names().find("m" + std::to_string(i)), kNoEmoji);
    }
}

TEST(EmojiIndex, ScatteredStartBytesAreFoundWithoutTheVectorScan) {
    // Nine separate runs of start bytes: more than the vector scan handles.
    std::vector<Row> rows;
    for (const char c : std::string("acegikmoq")) {
        rows.push_back({{std::string(1, c)}, {std::string(1, c)}});
    }
    const Fixture f(rows);
    std::string text;
    std::string expected;
    for (int i = 0; i < 150; ++i) {
        const char c = "abcdefghijklmnopqr"[i % 18];
        text += c;
        expected += (c - 'a') % 2 == 0 ? ":" + std::string(1, c) + ":" : std::string(1, c);
    }
    EXPECT_EQ(f.escape(text), expected);
}

TEST(EmojiIndex, EmptyTableChangesNothing) {
    const Fixture f({});
    EXPECT_EQ(f.unescape(":a: ::"), ":a: ::");
    EXPECT_EQ(f.escape("abc"), "abc");
    EXPECT_EQ(f.names().find(""), kNoEmoji);
    EXPECT_EQ(f.trie().find(""), kNoEmoji);
}

TEST(EmojiIndex, EmptyTextsAreNeverMatched) {
    const Fixture f({{{"nothing"}, {""}}, {{"x"}, {"x"}}});
    EXPECT_EQ(f.escape("axb"), "a:x:b");
    EXPECT_EQ(f.unescape(":nothing:"), "");
}

}  // namespace
