// The two shortcode conversions over any emoji table. Each is one forward pass with no
// backtracking, so its cost is linear in the text whatever the size of the table; there is
// no regular expression to build, recurse in or run out of stack with.
//
// Pure functions of their arguments: any thread may call them.
#pragma once

#include <string>
#include <string_view>

#include "core/emoji/codepoint_trie.hpp"
#include "core/emoji/emoji_table.hpp"
#include "core/emoji/shortname_index.hpp"

namespace vesk::emoji {

// Every ":name:" whose name is a shortname becomes its entry's first codepoint text.
// Requires: `names` was built over `table`.
std::string unescapeShortcodes(std::string_view text, const EmojiTable& table,
                               const ShortnameIndex& names);

// Every codepoint text, the longest one at each position, becomes ":" + its entry's first
// shortname + ":". Bytes that no text starts with, valid UTF-8 or not, are copied as they are.
// Requires: `trie` was built over `table`.
std::string escapeEmoji(std::string_view text, const EmojiTable& table, const CodepointTrie& trie);

}  // namespace vesk::emoji
