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
    Match longestPrefix(std::string_view text) const noexcept {
        Match best;
        std::uint32_t node = 0;
        for (std::size_t i = 0; i < text.size(); ++i) {
            const Node& at = nodes_[node];
            const unsigned offset = static_cast<unsigned char>(text[i]) - unsigned{at.lo};
            if (offset >= at.span) {
                break;
            }
            node = children_[at.firstChild + offset];
            if (node == 0) {
                break;
            }
            if (nodes_[node].entry != kNoEmoji) {
                best = Match{nodes_[node].entry, i + 1};
            }
        }
        return best;
    }

    // The entry that owns exactly this text, or kNoEmoji.
    std::uint32_t find(std::string_view text) const noexcept;

    // Whether some codepoint text begins with `byte`.
    bool mayStartWith(unsigned char byte) const noexcept { return startBytes_[byte]; }

    // Bit k is set when block[k] may begin a codepoint text. Most text holds no such byte,
    // so a scan tests a block at a time (sixteen bytes per instruction where the CPU allows)
    // and visits only the set bits.
    // Requires: block points at kBlock readable bytes.
    static constexpr std::size_t kBlock = 64;
    std::uint64_t startMask(const char* block) const noexcept;

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

    // The start bytes as at most kMaxRanges runs [lo, lo + width], for the vector scan.
    static constexpr std::size_t kMaxRanges = 8;
    struct ByteRange {
        unsigned char lo = 0;
        unsigned char width = 0;
    };

    void addChildren(std::uint32_t node, std::span<const Key> keys, std::size_t depth);
    void findStartRanges();

    std::vector<Node> nodes_;              // nodes_[0] is the root
    std::vector<std::uint32_t> children_;  // node indices; 0 (the root) means no child
    bool startBytes_[256] = {};
    ByteRange ranges_[kMaxRanges] = {};
    std::size_t rangeCount_ = 0;  // 0 when the start bytes form too many runs
};

// The trie over the library's own table: built on first use, once, even when several
// threads ask at the same moment, and kept for the rest of the process.
const CodepointTrie& builtinCodepointTrie();

}  // namespace vesk::emoji
