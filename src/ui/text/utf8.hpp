// UTF-8 decoding for the text helpers. Invalid input never stops a scan: each bad byte
// reads as U+FFFD one byte long, so positions always advance and never split a valid
// sequence.
#pragma once

#include <cstddef>
#include <string_view>

namespace vesk::text {

struct Scalar {
    char32_t value = 0;
    std::size_t length = 0;  // bytes; 0 only at the end of the text
    bool valid = false;
};

inline constexpr char32_t kReplacement = 0xFFFD;

// The scalar that starts at byte `pos`. Requires: pos <= text.size().
[[nodiscard]] Scalar decodeUtf8(std::string_view text, std::size_t pos) noexcept;

// Unicode white space and line breaks: U+0009-000D, U+0085 and the Z categories.
[[nodiscard]] bool isWhitespaceOrNewline(char32_t c) noexcept;

}  // namespace vesk::text
