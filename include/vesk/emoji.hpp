// Emoji shortcodes: the library's emoji table and the conversions between ":shortcode:"
// text and emoji characters.
//
// Texts are UTF-8. Shortcodes match exactly, letter case included; anything between colons
// that is not a shortname (":not_an_emoji:") is left alone. Each lookup structure is built
// once, on the first call that needs it (around a millisecond), and kept for the process
// (64 KB for shortnames, 212 KB for emoji texts).
//
// Threading: every function may be called from any thread, concurrently.
// Errors: none; only a failed allocation (std::bad_alloc) can escape.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vesk {

// `text` with every ":shortname:" replaced by its emoji's first codepoint text, e.g.
// ":thumbsup: :+1:" -> "👍 👍". Adjacent shortcodes (":smile::heart:") are both replaced.
std::string emojiUnescapedString(std::string_view text);

// `text` with every emoji replaced by ":" + its first shortname + ":", e.g. "👍" ->
// ":thumbsup:". Where several emoji texts start at one position the longest wins, so a
// keycap "#️⃣" becomes ":hash:" rather than ":pound_symbol:" followed by the rest. The
// table also lists the plain characters "#", "*" and "0" to "9", so "#1" becomes
// ":pound_symbol::digit_one:". Bytes that are not UTF-8 are copied through.
std::string emojiEscapedString(std::string_view text);

// One entry of the emoji table. A small value: copy it freely. The strings it returns
// point into the library's static data and stay valid for the life of the process.
class Emoji {
  public:
    // Every entry, in table order (ordered by codepoint sequence).
    static std::vector<Emoji> allCases();

    // The number of entries.
    static std::size_t caseCount() noexcept;

    // The entry at `position` in table order; nullopt past the end.
    static std::optional<Emoji> atPosition(std::size_t position) noexcept;

    // The entry with this shortname (no colons, exact case), if any.
    static std::optional<Emoji> withShortname(std::string_view name);

    // The entry that lists exactly this codepoint text, if any.
    static std::optional<Emoji> withCodepoints(std::string_view text);

    // Its index in `allCases()`.
    std::size_t position() const noexcept { return position_; }

    // Its primary shortname: the one escaping writes, and the first of `shortnames()`.
    std::string_view name() const noexcept;

    // 1 to 4 names without colons; each unescapes to this entry.
    std::vector<std::string_view> shortnames() const;

    // 1 to 5 UTF-8 texts that escape to this entry; the first is what unescaping writes,
    // the others are variants (with or without U+FE0F, for instance).
    std::vector<std::string_view> codepoints() const;

    friend bool operator==(const Emoji&, const Emoji&) = default;

  private:
    explicit Emoji(std::uint32_t position) noexcept : position_(position) {}

    std::uint32_t position_;
};

}  // namespace vesk
