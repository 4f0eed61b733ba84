// Both conversions against a plain reference on chat-like corpora.
//
// The reference does what a regular-expression alternation does: at each position it tries
// the alternatives in order and takes the first that matches, then looks the match up in a
// dictionary. Unescaping tries ":name:" for every name in table order; escaping tries every
// codepoint text in descending order of its scalars, so a text comes before its prefixes.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <string>
#include <vector>

#include "bench/emoji/chat_corpus.hpp"
#include "vesk/emoji.hpp"

namespace {

using vesk::Emoji;

std::u32string scalarsOf(std::string_view utf8) {
    std::u32string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const std::size_t n = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        auto c = static_cast<char32_t>(n == 1 ? lead : lead & (0x3F >> (n - 1)));
        for (std::size_t k = 1; k < n; ++k) {
            c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        }
        out += c;
        i += n;
    }
    return out;
}

class Reference {
  public:
    // Alternatives are grouped by a byte that decides whether they can match at all (a
    // shortcode's second, a text's first); each group keeps the alternation's order.
    Reference() {
        for (const Emoji& e : Emoji::allCases()) {
            for (const auto name : e.shortnames()) {
                const std::string shortcode = ":" + std::string(name) + ":";
                shortcodesBySecondByte_[static_cast<unsigned char>(shortcode[1])].push_back(
                    shortcode);
                byShortname_[std::string(name)] = e.position();  // later entries win
            }
            for (const auto text : e.codepoints()) {
                texts_.emplace_back(text);
                byCodepoints_[std::string(text)] = e.position();
            }
        }
        std::vector<std::pair<std::u32string, std::string>> byScalars;
        for (auto& t : texts_) {
            byScalars.emplace_back(scalarsOf(t), std::move(t));
        }
        std::sort(byScalars.begin(), byScalars.end(),
                  [](const auto& a, const auto& b) { return a.first > b.first; });
        texts_.clear();
        for (auto& [scalars, t] : byScalars) {
            texts_.push_back(std::move(t));
        }
        for (const auto& t : texts_) {
            textsByFirstByte_[static_cast<unsigned char>(t[0])].push_back(t);
        }
    }

    std::string unescape(std::string_view text) const {
        std::string out;
        for (std::size_t i = 0; i < text.size();) {
            const std::string* hit = nullptr;
            if (text[i] == ':' && i + 1 < text.size()) {
                const auto second = static_cast<unsigned char>(text[i + 1]);
                for (const auto& alternative : shortcodesBySecondByte_[second]) {
                    if (text.substr(i).starts_with(alternative)) {
                        hit = &alternative;
                        break;
                    }
                }
            }
            if (hit == nullptr) {
                out += text[i++];
                continue;
            }
            const std::string name = hit->substr(1, hit->size() - 2);
            out += Emoji::atPosition(byShortname_.at(name))->codepoints()[0];
            i += hit->size();
        }
        return out;
    }

    std::string escape(std::string_view text) const {
        std::string out;
        for (std::size_t i = 0; i < text.size();) {
            const std::string* hit = nullptr;
            for (const auto& alternative : textsByFirstByte_[static_cast<unsigned char>(text[i])]) {
                if (text.substr(i).starts_with(alternative)) {
                    hit = &alternative;
                    break;
                }
            }
            if (hit == nullptr) {
                out += text[i++];
                continue;
            }
            out += ":" + std::string(Emoji::atPosition(byCodepoints_.at(*hit))->name()) + ":";
            i += hit->size();
        }
        return out;
    }

  private:
    std::array<std::vector<std::string>, 256> shortcodesBySecondByte_;
    std::vector<std::string> texts_;
    std::array<std::vector<std::string>, 256> textsByFirstByte_;
    std::map<std::string, std::size_t> byShortname_;
    std::map<std::string, std::size_t> byCodepoints_;
};

const Reference& reference() {
    static const Reference r;
    return r;
}

class EmojiDifferential : public ::testing::TestWithParam<std::uint64_t> {};

TEST_P(EmojiDifferential, ConversionsMatchTheReferenceOnAChatCorpus) {
    const std::string corpus = vesk::bench::makeChatCorpus(96 * 1024, GetParam());
    const std::string unescaped = vesk::emojiUnescapedString(corpus);
    const std::string escaped = vesk::emojiEscapedString(corpus);
    ASSERT_NE(unescaped, corpus);  // the corpus does hold shortcodes and emoji
    ASSERT_NE(escaped, corpus);
    EXPECT_TRUE(unescaped == reference().unescape(corpus));
    EXPECT_TRUE(escaped == reference().escape(corpus));
    // Each output goes through the other conversion too, doubling the matches compared.
    EXPECT_TRUE(vesk::emojiUnescapedString(escaped) == reference().unescape(escaped));
    EXPECT_TRUE(vesk::emojiEscapedString(unescaped) == reference().escape(unescaped));
}

INSTANTIATE_TEST_SUITE_P(Seeds, EmojiDifferential, ::testing::Values(1u, 2u, 20240601u));

TEST(EmojiDifferential, CorpusIsChatLike) {
    const std::string corpus = vesk::bench::makeChatCorpus(64 * 1024, 7);
    EXPECT_EQ(corpus, vesk::bench::makeChatCorpus(64 * 1024, 7));
    EXPECT_NE(corpus, vesk::bench::makeChatCorpus(64 * 1024, 8));
    const auto colons = static_cast<std::size_t>(std::count(corpus.begin(), corpus.end(), ':'));
    EXPECT_GT(colons, corpus.size() / 150);
    EXPECT_LT(colons, corpus.size() / 30);
    EXPECT_NE(corpus.find("привет"), std::string::npos);
}

}  // namespace
