#include "ui/color.hpp"

#include <atomic>
#include <cmath>
#include <string>
#include <vector>

#include "ui/text/graphemes.hpp"

namespace vesk {
namespace {

std::atomic<Appearance> gAppearance{Appearance::light};

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The value of the hex digits the pair's text starts with; 0 when it starts with none.
double pairValue(std::string_view first, std::string_view second) {
    std::string pair;
    pair.append(first).append(second);
    int value = 0;
    for (char c : pair) {
        if (hexDigit(c) < 0) {
            break;
        }
        value = value * 16 + hexDigit(c);
    }
    return value / 255.0;
}

}  // namespace

void setAppearance(Appearance appearance) {
    gAppearance.store(appearance);
}
Appearance currentAppearance() {
    return gAppearance.load();
}

std::optional<Color> Color::fromHexString(std::string_view hex) {
    if (!hex.empty() && hex.front() == '#') {
        hex.remove_prefix(1);
    }
    std::vector<std::string_view> chars = text::graphemeClusters(hex);
    if (chars.size() == 3) {
        chars = {chars[0], chars[0], chars[1], chars[1], chars[2], chars[2]};
    }
    if (chars.size() == 6) {
        chars.insert(chars.begin(), {"F", "F"});
    }
    if (chars.size() != 8) {
        return std::nullopt;
    }
    double alpha = pairValue(chars[0], chars[1]);
    double red = pairValue(chars[2], chars[3]);
    double green = pairValue(chars[4], chars[5]);
    double blue = pairValue(chars[6], chars[7]);
    return rgba(red, green, blue, alpha);
}

std::string Color::hexString() const {
    static constexpr char kHex[] = "0123456789ABCDEF";
    auto byte = [](double component) {
        double clamped = std::fmin(1.0, std::fmax(0.0, component));
        return static_cast<unsigned>(std::lround(clamped * 255.0));
    };
    std::string out;
    auto append = [&](unsigned v) {
        out += kHex[v >> 4];
        out += kHex[v & 0xF];
    };
    unsigned a = byte(light_.alpha);
    if (a != 255) {
        append(a);
    }
    append(byte(light_.red));
    append(byte(light_.green));
    append(byte(light_.blue));
    return out;
}

}  // namespace vesk
