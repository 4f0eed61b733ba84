#include "core/suite_name.hpp"

#include <cstdint>

namespace vesk {
namespace {

constexpr std::size_t kMaxStemBytes = 200;  // leaves room for extensions within NAME_MAX
constexpr std::size_t kCutStemBytes = 160;

bool keepsAsIs(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           c == '.' || c == '_' || c == '-';
}

std::uint64_t fnv1a(std::string_view s) {
    std::uint64_t h = 1469598103934665603ULL;
    for (char ch : s) {
        auto c = static_cast<unsigned char>(ch);
        h ^= c;
        h *= 1099511628211ULL;
    }
    return h;
}

}  // namespace

bool isUsableSuiteName(std::string_view name) {
    if (name.empty() || name.size() > kMaxSuiteNameBytes) {
        return false;
    }
    for (char ch : name) {
        auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F) {
            return false;
        }
    }
    return true;
}

std::optional<std::string> suiteFileStem(std::string_view name) {
    if (!isUsableSuiteName(name)) {
        return std::nullopt;
    }
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string stem = "suite.";
    for (char ch : name) {
        auto c = static_cast<unsigned char>(ch);
        if (keepsAsIs(c)) {
            stem += static_cast<char>(c);
        } else {
            stem += '%';
            stem += kHex[c >> 4];
            stem += kHex[c & 0xF];
        }
    }
    if (stem.size() > kMaxStemBytes) {
        std::size_t cut = kCutStemBytes;
        // Never cut an escape in half.
        while (cut > 0 && (stem[cut - 1] == '%' || (cut >= 2 && stem[cut - 2] == '%'))) {
            --cut;
        }
        stem.resize(cut);
        stem += '~';
        std::uint64_t h = fnv1a(name);
        for (int shift = 60; shift >= 0; shift -= 4) {
            stem += kHex[(h >> shift) & 0xF];
        }
    }
    return stem;
}

}  // namespace vesk
