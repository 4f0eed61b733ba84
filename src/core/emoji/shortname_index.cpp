#include "core/emoji/shortname_index.hpp"

#include <algorithm>
#include <bit>
#include <cstring>

namespace vesk::emoji {
namespace {

constexpr std::uint64_t kMul = 0x9E3779B97F4A7C15ULL;

// Shortnames are short, so the hash reads eight bytes at a time and mixes once per word.
std::uint32_t hashName(std::string_view s) noexcept {
    std::uint64_t h = s.size() * kMul;
    const char* p = s.data();
    std::size_t n = s.size();
    for (; n >= 8; p += 8, n -= 8) {
        std::uint64_t w;
        std::memcpy(&w, p, 8);
        h = (h ^ w) * kMul;
        h ^= h >> 29;
    }
    if (n > 0) {
        std::uint64_t w = 0;
        std::memcpy(&w, p, n);
        h = (h ^ w) * kMul;
        h ^= h >> 29;
    }
    return static_cast<std::uint32_t>((h * 0xBF58476D1CE4E5B9ULL) >> 32);
}

std::uint16_t tagOf(std::uint32_t hash) noexcept {
    return static_cast<std::uint16_t>(hash >> 16);
}

}  // namespace

ShortnameIndex::ShortnameIndex(const EmojiTable& table) : table_(&table) {
    std::size_t count = 0;
    for (std::size_t e = 0; e < table.size(); ++e) {
        count += table.shortnameCount(e);
    }
    slots_.resize(std::bit_ceil(count + count / 2 + 1));
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t e = 0; e < table.size(); ++e) {
        for (std::size_t k = 0; k < table.shortnameCount(e); ++k) {
            const std::string_view name = table.shortname(e, k);
            const std::uint32_t hash = hashName(name);
            std::size_t i = hash & mask;
            while (slots_[i].entry != kNoEmoji &&
                   (slots_[i].tag != tagOf(hash) ||
                    table.shortname(slots_[i].entry, slots_[i].name) != name)) {
                i = (i + 1) & mask;
            }
            // Entries go in in table order, so a later one takes over a shared name.
            slots_[i] =
                Slot{static_cast<std::uint32_t>(e), static_cast<std::uint16_t>(k), tagOf(hash)};
            shortest_ = std::min(shortest_, name.size());
            longest_ = std::max(longest_, name.size());
        }
    }
}

std::uint32_t ShortnameIndex::find(std::string_view name) const noexcept {
    const std::uint32_t hash = hashName(name);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash & mask; slots_[i].entry != kNoEmoji; i = (i + 1) & mask) {
        const Slot& slot = slots_[i];
        if (slot.tag == tagOf(hash) && table_->shortname(slot.entry, slot.name) == name) {
            return slot.entry;
        }
    }
    return kNoEmoji;
}

std::size_t ShortnameIndex::footprintBytes() const noexcept {
    return sizeof(*this) + slots_.capacity() * sizeof(Slot);
}

const ShortnameIndex& builtinShortnameIndex() {
    static const ShortnameIndex index(builtinEmojiTable());
    return index;
}

}  // namespace vesk::emoji
