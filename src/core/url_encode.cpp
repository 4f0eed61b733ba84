#include "core/url_encode.hpp"

#include <cctype>

namespace vesk {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

void appendEscaped(std::string& out, unsigned char byte) {
    out.push_back('%');
    out.push_back(kHex[byte >> 4]);
    out.push_back(kHex[byte & 0xF]);
}

bool isAsciiAlnum(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isHexDigit(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

}  // namespace

std::string URLEncode(std::string_view text) {
    static constexpr std::string_view kEncoded = ":#[]@ !$&'()*+,;=";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (kEncoded.find(c) != std::string_view::npos) {
            appendEscaped(out, static_cast<unsigned char>(c));
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::string percentEncode(std::string_view text, std::string_view allowed) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (isAsciiAlnum(byte) || (byte < 0x80 && allowed.find(c) != std::string_view::npos)) {
            out.push_back(c);
        } else {
            appendEscaped(out, byte);
        }
    }
    return out;
}

bool isWellFormedUrl(std::string_view text) {
    static constexpr std::string_view kAllowed = "-._~:/?#[]@!$&'()*+,;=";
    if (text.empty()) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '%') {
            if (i + 2 >= text.size() || !isHexDigit(text[i + 1]) || !isHexDigit(text[i + 2])) {
                return false;
            }
            i += 2;
            continue;
        }
        if (!isAsciiAlnum(static_cast<unsigned char>(c)) &&
            kAllowed.find(c) == std::string_view::npos) {
            return false;
        }
    }
    return true;
}

}  // namespace vesk
