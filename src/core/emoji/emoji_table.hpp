// The emoji table: entries in a fixed order, each with its shortnames (without colons) and
// the UTF-8 texts that stand for it. The first shortname is the entry's name and is what
// escaping writes; the first codepoint text is what unescaping writes.
//
// A view over flat arrays (see the generated emoji_table_data.cpp): it owns nothing and is
// immutable, so any thread may read it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace vesk::emoji {

// Marks "no entry" wherever an entry position is returned.
inline constexpr std::uint32_t kNoEmoji = UINT32_MAX;

class EmojiTable {
  public:
    // Requires: offsets starts at 0, is non-decreasing and ends within bytes; firstName and
    // firstCodepoint have one more element than there are entries and index into offsets.
    constexpr EmojiTable(std::span<const unsigned char> bytes,
                         std::span<const std::uint32_t> offsets,
                         std::span<const std::uint32_t> firstName,
                         std::span<const std::uint32_t> firstCodepoint) noexcept
        : bytes_(bytes),
          offsets_(offsets),
          firstName_(firstName),
          firstCodepoint_(firstCodepoint) {}

    std::size_t size() const noexcept { return firstName_.size() - 1; }

    std::size_t shortnameCount(std::size_t entry) const noexcept {
        return firstName_[entry + 1] - firstName_[entry];
    }
    std::string_view shortname(std::size_t entry, std::size_t k) const noexcept {
        return string(firstName_[entry] + k);
    }
    std::size_t codepointCount(std::size_t entry) const noexcept {
        return firstCodepoint_[entry + 1] - firstCodepoint_[entry];
    }
    std::string_view codepoints(std::size_t entry, std::size_t k) const noexcept {
        return string(firstCodepoint_[entry] + k);
    }

  private:
    std::string_view string(std::size_t k) const noexcept {
        const auto* data = reinterpret_cast<const char*>(bytes_.data());
        return {data + offsets_[k], offsets_[k + 1] - offsets_[k]};
    }

    std::span<const unsigned char> bytes_;
    std::span<const std::uint32_t> offsets_;
    std::span<const std::uint32_t> firstName_;
    std::span<const std::uint32_t> firstCodepoint_;
};

// The library's table, compiled in.
const EmojiTable& builtinEmojiTable() noexcept;

}  // namespace vesk::emoji
