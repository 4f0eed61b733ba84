// A seeded generator of chat-like text for the emoji benchmark and tests.
//
// Lines are short messages: mostly ASCII words, some Russian ones, the odd number, time,
// URL or "label:" (colons that are no shortcode), and about one emoji or shortcode every 60
// bytes. Popular emoji dominate, as in real chats, but any entry of the table may appear,
// in any of its codepoint variants, and so may unknown ":shortcodes:".
//
// The generator uses its own PRNG and no standard distributions, so a seed gives the same
// bytes with every compiler and standard library.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "vesk/emoji.hpp"

namespace vesk::bench {

class ChatCorpusRandom {
  public:
    explicit ChatCorpusRandom(std::uint64_t seed) : state_(seed) {}

    std::uint64_t next() {  // splitmix64
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    std::size_t below(std::size_t n) { return static_cast<std::size_t>(next() % n); }
    bool percent(unsigned p) { return below(100) < p; }

  private:
    std::uint64_t state_;
};

inline std::string makeChatCorpus(std::size_t bytes, std::uint64_t seed) {
    static constexpr std::array<std::string_view, 48> kWords = {
        "hi",      "hello",    "thanks", "ok",       "yes",     "no",      "please", "order",
        "the",     "a",        "to",     "is",       "it",      "my",      "your",   "we",
        "can",     "you",      "help",   "with",     "account", "payment", "card",   "refund",
        "app",     "update",   "login",  "password", "problem", "works",   "now",    "again",
        "today",   "tomorrow", "sorry",  "great",    "sure",    "check",   "status", "delivery",
        "address", "email",    "phone",  "support",  "issue",   "fixed",   "still",  "waiting"};
    static constexpr std::array<std::string_view, 16> kRussian = {
        "привет", "спасибо", "да",     "нет",      "заказ", "оплата", "помогите", "сейчас",
        "карта",  "вход",    "ошибка", "работает", "жду",   "хорошо", "доставка", "пожалуйста"};
    static constexpr std::array<std::string_view, 12> kPopular = {
        "smile",   "thumbsup", "heart", "joy",  "grinning", "pray",
        "ok_hand", "wink",     "cry",   "fire", "tada",     "slight_smile"};
    static constexpr std::array<std::string_view, 4> kUnknown = {
        ":not_an_emoji:", ":Smile:", ":+2:", ":thumbs_up_please:"};

    const std::vector<Emoji> table = Emoji::allCases();
    ChatCorpusRandom rng(seed);
    std::string out;
    out.reserve(bytes + 256);

    auto pickEmoji = [&]() -> Emoji {
        if (rng.percent(70)) {
            return *Emoji::withShortname(kPopular[rng.below(kPopular.size())]);
        }
        return table[rng.below(table.size())];
    };

    std::size_t sinceEmoji = 0;
    std::size_t gap = 30 + rng.below(60);  // bytes until the next emoji or shortcode
    bool lineStart = true;
    while (out.size() < bytes) {
        const std::size_t before = out.size();
        if (!lineStart) {
            out += ' ';
        }
        lineStart = false;
        if (sinceEmoji >= gap) {
            const Emoji e = pickEmoji();
            if (rng.percent(50)) {
                const auto texts = e.codepoints();
                out += texts[rng.below(texts.size())];
            } else if (rng.percent(95)) {
                const auto names = e.shortnames();
                out += ':';
                out += names[rng.below(names.size())];
                out += ':';
            } else {
                out += kUnknown[rng.below(kUnknown.size())];
            }
            sinceEmoji = 0;
            gap = 30 + rng.below(60);
        } else {
            const std::size_t roll = rng.below(100);
            if (roll < 80) {
                out += kWords[rng.below(kWords.size())];
            } else if (roll < 94) {
                out += kRussian[rng.below(kRussian.size())];
            } else if (roll < 97) {
                out += std::to_string(rng.below(100000));
            } else if (roll < 98) {
                out += std::to_string(rng.below(24)) + ":" + std::to_string(10 + rng.below(50));
            } else if (roll < 99) {
                out += "https://example.com/help";
            } else {
                out += "note:";
            }
        }
        sinceEmoji += out.size() - before;
        if (rng.percent(8)) {
            out += rng.percent(50) ? ".\n" : "\n";
            lineStart = true;
        }
    }
    out.resize(bytes);
    // Cutting may have split a multi-byte character; drop the partial tail.
    while (!out.empty() && (static_cast<unsigned char>(out.back()) & 0xC0) == 0x80) {
        out.pop_back();
    }
    if (!out.empty() && static_cast<unsigned char>(out.back()) >= 0xC0) {
        out.pop_back();
    }
    return out;
}

}  // namespace vesk::bench
