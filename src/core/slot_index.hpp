// A flat hash index from a key's 64-bit hash to positions in a log.
//
// The message store looks a message up once or twice per merge, and a
// conversation may hold a great many: with node-based maps every lookup chased
// a pointer to a node somewhere in a large heap, and a merge into a big
// conversation cost several times one into a small one. Here the entries sit in
// one array (linear probing, load at most one half), so a lookup reads one or
// two adjacent cache lines before it reaches the message itself.
//
// The index holds 32 bits of each hash, not keys: callers confirm a candidate
// against the message at its position. One hash may map to several positions.
// An entry is 8 bytes, so the index of a big conversation stays small enough
// to live mostly in cache; positions are therefore below 2^32 - 1, which a log
// of messages held in memory never reaches.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

namespace vesk::detail {

class SlotIndex {
  public:
    static constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();

    [[nodiscard]] std::size_t size() const noexcept { return size_; }

    void insert(std::uint64_t hash, std::size_t slot) {
        if (2 * (size_ + 1) > entries_.size()) {
            grow();
        }
        place(Entry{fold(hash), static_cast<std::uint32_t>(slot)});
        ++size_;
    }

    // Calls `visit(slot)` for each position stored under `hash` until it
    // returns true; returns the position it stopped at, or kNone.
    template <typename Visit>
    [[nodiscard]] std::size_t find(std::uint64_t hash, Visit&& visit) const {
        const std::size_t at = locate(hash, visit);
        return at == kNone ? kNone : entries_[at].slot;
    }

    // Moves the position stored under `hash` that `visit` accepts to `slot`.
    template <typename Visit>
    bool reassign(std::uint64_t hash, Visit&& visit, std::size_t slot) {
        const std::size_t at = locate(hash, visit);
        if (at == kNone) {
            return false;
        }
        entries_[at].slot = static_cast<std::uint32_t>(slot);
        return true;
    }

    bool erase(std::uint64_t hash, std::size_t slot) {
        const std::size_t at = locate(hash, [slot](std::size_t s) { return s == slot; });
        if (at == kNone) {
            return false;
        }
        eraseAt(at);
        return true;
    }

    // Renumbers every position; `map(slot)` must give each a new one.
    template <typename Map>
    void remap(Map&& map) {
        for (auto& entry : entries_) {
            if (entry.slot != kEmpty) {
                entry.slot = static_cast<std::uint32_t>(map(std::size_t{entry.slot}));
            }
        }
    }

    void clear() noexcept {
        entries_.clear();
        size_ = 0;
    }

  private:
    static constexpr std::uint32_t kEmpty = ~std::uint32_t{0};

    struct Entry {
        std::uint32_t tag = 0;
        std::uint32_t slot = kEmpty;
    };

    static std::uint32_t fold(std::uint64_t hash) noexcept {
        return static_cast<std::uint32_t>(hash ^ (hash >> 32));
    }
    [[nodiscard]] std::size_t mask() const noexcept { return entries_.size() - 1; }
    [[nodiscard]] std::size_t home(std::uint32_t tag) const noexcept {
        // Fibonacci hashing spreads tags whose low bits repeat.
        return static_cast<std::size_t>(static_cast<std::uint32_t>(tag * 0x9e3779b9U) >> shift_);
    }

    template <typename Visit>
    [[nodiscard]] std::size_t locate(std::uint64_t hash, Visit&& visit) const {
        if (entries_.empty()) {
            return kNone;
        }
        const std::uint32_t tag = fold(hash);
        for (std::size_t i = home(tag);; i = (i + 1) & mask()) {
            const Entry& entry = entries_[i];
            if (entry.slot == kEmpty) {
                return kNone;
            }
            if (entry.tag == tag && visit(std::size_t{entry.slot})) {
                return i;
            }
        }
    }

    void place(Entry entry) {
        std::size_t i = home(entry.tag);
        while (entries_[i].slot != kEmpty) {
            i = (i + 1) & mask();
        }
        entries_[i] = entry;
    }

    // Backward-shift deletion: no tombstones, so probes stay short however
    // many entries come and go.
    void eraseAt(std::size_t hole) {
        for (std::size_t j = (hole + 1) & mask(); entries_[j].slot != kEmpty;
             j = (j + 1) & mask()) {
            const std::size_t want = home(entries_[j].tag);
            // The entry stays when its home lies cyclically in (hole, j].
            const bool stays = hole <= j ? (hole < want && want <= j) : (hole < want || want <= j);
            if (!stays) {
                entries_[hole] = entries_[j];
                hole = j;
            }
        }
        entries_[hole] = Entry{};
        --size_;
    }

    void grow() {
        std::vector<Entry> old;
        old.swap(entries_);
        const std::size_t capacity = old.empty() ? 16 : 2 * old.size();
        entries_.assign(capacity, Entry{});
        shift_ = 32 - static_cast<unsigned>(std::countr_zero(capacity));
        for (const Entry& entry : old) {
            if (entry.slot != kEmpty) {
                place(entry);
            }
        }
    }

    std::vector<Entry> entries_;
    std::size_t size_ = 0;
    unsigned shift_ = 32;
};

}  // namespace vesk::detail
