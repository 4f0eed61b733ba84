// Shortname -> entry lookup over an emoji table: an open-addressing hash table whose slots
// refer back into the table, so it copies no text.
//
// Invariant: when two entries share a shortname, the later one in table order owns it.
// Immutable after construction: any thread may read a built index.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "core/emoji/emoji_table.hpp"

namespace vesk::emoji {

class ShortnameIndex {
  public:
    // Requires: `table` outlives the index and no entry has more than 65535 shortnames.
    explicit ShortnameIndex(const EmojiTable& table);

    // The entry that owns this exact, case-sensitive name (no colons), or kNoEmoji.
    std::uint32_t find(std::string_view name) const noexcept;

    // Bounds on name length, so that callers can skip text that cannot be a name.
    std::size_t shortest() const noexcept { return shortest_; }
    std::size_t longest() const noexcept { return longest_; }

    // Bytes held by the index itself (the table's data not included).
    std::size_t footprintBytes() const noexcept;

  private:
    struct Slot {
        std::uint32_t entry = kNoEmoji;  // kNoEmoji marks an empty slot
        std::uint16_t name = 0;          // which of the entry's shortnames
        std::uint16_t tag = 0;           // high hash bits: most mismatches stop here
    };

    const EmojiTable* table_;
    std::vector<Slot> slots_;  // size is a power of two, at most two thirds full
    std::size_t shortest_ = SIZE_MAX;
    std::size_t longest_ = 0;
};

// The index over the library's own table: built on first use, once, even when several
// threads ask at the same moment, and kept for the rest of the process.
const ShortnameIndex& builtinShortnameIndex();

}  // namespace vesk::emoji
