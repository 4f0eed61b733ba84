// User-perceived characters: an approximation of extended grapheme clusters.
//
// Kept together: CR LF; a character with its combining marks (Mn, Me, Mc), variation
// selectors and ZWNJ/ZWJ; emoji ZWJ sequences, skin-tone modifiers and tag sequences;
// pairs of regional indicators (flags); Hangul jamo syllables. Not modelled: prepended
// concatenation marks and Indic conjuncts, which split after each consonant and its marks.
// A boundary never falls inside a UTF-8 sequence; each invalid byte stands alone.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace vesk::text {

// The end of the character that starts at byte `pos`.
[[nodiscard]] std::size_t nextGraphemeEnd(std::string_view text, std::size_t pos);

[[nodiscard]] std::vector<std::string_view> graphemeClusters(std::string_view text);

}  // namespace vesk::text
