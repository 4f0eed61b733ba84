#include "ui/text/utf8.hpp"

namespace vesk::text {

Scalar decodeUtf8(std::string_view text, std::size_t pos) noexcept {
    if (pos >= text.size()) {
        return {};
    }
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char b0 = byte(pos);
    if (b0 < 0x80) {
        return {b0, 1, true};
    }
    std::size_t need = 0;
    char32_t value = 0;
    char32_t min = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        need = 1, value = b0 & 0x1Fu, min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        need = 2, value = b0 & 0x0Fu, min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        need = 3, value = b0 & 0x07u, min = 0x10000;
    } else {
        return {kReplacement, 1, false};
    }
    if (text.size() - pos <= need) {
        return {kReplacement, 1, false};
    }
    for (std::size_t i = 1; i <= need; ++i) {
        unsigned char b = byte(pos + i);
        if ((b & 0xC0) != 0x80) {
            return {kReplacement, 1, false};
        }
        value = (value << 6) | (b & 0x3Fu);
    }
    if (value < min || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return {kReplacement, 1, false};
    }
    return {value, need + 1, true};
}

bool isWhitespaceOrNewline(char32_t c) noexcept {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F ||
           c == 0x205F || c == 0x3000;
}

}  // namespace vesk::text
