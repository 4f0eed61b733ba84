// Codepoint text -> entry lookup over an emoji table: a byte trie that finds, at a position
// in UTF-8 text, the longest codepoint text starting there. Walking it costs one load per
// byte, whatever the size of the table.
//
// Each node keeps its children dense over the byte range [lo, lo + span) of their first
// bytes; UTF-8 continuation bytes keep those ranges short.
//
// Invariant: when two entries share a codepoint text, the later one in table order owns it.
// Immutable after construction: any thread may read a built trie.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "core/emoji/emoji_table.hpp"

namespace vesk::emoji {

class CodepointTrie {
  public:
    struct Match {
        std::uint32_t entry = kNoEmoji;
        std::size_t length = 0;  // bytes matched; 0 when nothing matched
    };

    explicit CodepointTrie(const EmojiTable& table);

    // The longest codepoint text that `text` begins with.
    Match longestPrefix(std::string_view text) const noexcept;

    // The entry that owns exactly this text, or kNoEmoji.
    std::uint32_t find(std::string_view text) const noexcept;

    // False when no codepoint text begins with `byte`: lets a scan skip most text cheaply.
    bool mayStartWith(unsigned char byte) const noexcept { return startBytes_[byte]; }

    // Bytes held by the trie itself.
    std::size_t footprintBytes() const noexcept;

  private:
    struct Node {
        std::uint32_t firstChild = 0;    // into children_
        std::uint32_t entry = kNoEmoji;  // entry whose text ends here
        std::uint16_t lo = 0;
        std::uint16_t span = 0;
    };

    struct Key {
        const char* text;
        std::uint32_t size;
        std::uint32_t entry;
    };

    void addChildren(std::uint32_t node, std::span<const Key> keys, std::size_t depth);

    std::vector<Node> nodes_;              // nodes_[0] is the root
    std::vector<std::uint32_t> children_;  // node indices; 0 (the root) means no child
    bool startBytes_[256] = {};
};

// The trie over the library's own table: built on first use, once, even when several
// threads ask at the same moment, and kept for the rest of the process.
const CodepointTrie& builtinCodepointTrie();

}  // namespace vesk::emoji
