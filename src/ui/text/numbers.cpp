#include "ui/text/numbers.hpp"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace vesk::text {
namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isHexDigit(char c) {
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Splits off one optional sign; from_chars accepts only '-' and only in front.
std::string_view unsigned_part(std::string_view s, bool& negative) {
    negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    return s;
}

// Whether an out-of-range decimal or hexadecimal magnitude overflowed (else it underflowed):
// the sign of its exponent decides, counted from the mantissa's digits.
bool overflowed(std::string_view s, bool hex) {
    std::size_t i = 0;
    long leading = 0;  // digits before the point, leading zeros not counted
    bool seenNonZero = false;
    long zerosAfterPoint = 0;
    auto digit = [&](char c) { return hex ? isHexDigit(c) : isDigit(c); };
    for (; i < s.size() && digit(s[i]); ++i) {
        if (s[i] != '0' || seenNonZero) {
            seenNonZero = true;
            ++leading;
        }
    }
    if (i < s.size() && s[i] == '.') {
        for (++i; i < s.size() && digit(s[i]); ++i) {
            if (!seenNonZero && s[i] == '0') {
                ++zerosAfterPoint;
            } else {
                seenNonZero = true;
            }
        }
    }
    long exponent = 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'p' || s[i] == 'P')) {
        bool neg = false;
        std::string_view rest = unsigned_part(s.substr(i + 1), neg);
        long value = 0;
        for (char c : rest) {
            if (value < 1'000'000'000L) {
                value = value * 10 + (c - '0');
            }
        }
        exponent = neg ? -value : value;
    }
    long digitBits = hex ? 4 : 1;  // a hex exponent counts bits, a decimal one digits
    long magnitude = exponent + digitBits * (leading > 0 ? leading : -zerosAfterPoint);
    return magnitude > 0;
}

}  // namespace

std::optional<double> parseDouble(std::optional<std::string_view> text) {
    if (!text || text->empty()) {
        return std::nullopt;
    }
    bool negative = false;
    std::string_view body = unsigned_part(*text, negative);
    if (body.empty() || body.front() == '+' || body.front() == '-') {
        return std::nullopt;
    }
    bool hex = body.size() > 2 && body[0] == '0' && (body[1] == 'x' || body[1] == 'X');
    if (hex) {
        body.remove_prefix(2);
        if (body.front() == '+' || body.front() == '-') {
            return std::nullopt;
        }
    }
    double value = 0;
    auto [end, ec] = std::from_chars(body.data(), body.data() + body.size(), value,
                                     hex ? std::chars_format::hex : std::chars_format::general);
    if (end != body.data() + body.size()) {
        return std::nullopt;
    }
    if (ec == std::errc::result_out_of_range) {
        value = overflowed(body, hex) ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (ec != std::errc()) {
        return std::nullopt;
    }
    return negative ? -value : value;
}

std::optional<std::int64_t> parseInt(std::optional<std::string_view> text) {
    if (!text || text->empty()) {
        return std::nullopt;
    }
    std::string_view s = *text;
    if (s.front() == '+') {
        s.remove_prefix(1);
        if (s.empty() || s.front() == '-') {
            return std::nullopt;
        }
    }
    std::int64_t value = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value, 10);
    if (ec != std::errc() || end != s.data() + s.size()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace vesk::text
