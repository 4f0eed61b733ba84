// A colour value: red, green, blue and alpha in 0...1, fixed or with a light and a dark
// variant chosen by the host's appearance at the moment it is resolved.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "vesk/appearance.hpp"

namespace vesk {

struct Rgba {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 1;
    bool operator==(const Rgba&) const = default;
};

class Color {
  public:
    constexpr Color() = default;
    constexpr explicit Color(Rgba rgba) : light_(rgba), dark_(rgba) {}

    static constexpr Color rgba(double red, double green, double blue, double alpha = 1) {
        return Color(Rgba{red, green, blue, alpha});
    }
    static constexpr Color grey(double white, double alpha = 1) {
        return rgba(white, white, white, alpha);
    }

    // Alpha first: after one optional leading "#", 3 ("RGB"), 6 ("RRGGBB", opaque) or 8
    // ("AARRGGBB") characters; any other count gives no colour. Three characters are
    // doubled in place. Each pair reads as the hex value of its leading hex digits, or 0
    // when it has none ("g1" is 0, "1g" is 1). Characters are user-perceived characters.
    static std::optional<Color> fromHexString(std::string_view hex);

    // Resolves to `dark`'s dark variant under a dark appearance, else to `light`'s light one.
    static constexpr Color dynamic(const Color& light, const Color& dark) {
        Color c;
        c.light_ = light.light_;
        c.dark_ = dark.dark_;
        return c;
    }

    [[nodiscard]] constexpr Rgba resolved(Appearance appearance) const {
        return appearance == Appearance::dark ? dark_ : light_;
    }
    [[nodiscard]] Rgba resolved() const { return resolved(currentAppearance()); }
    [[nodiscard]] constexpr bool isDynamic() const { return !(light_ == dark_); }

    // The light variant as "RRGGBB" when opaque, else "AARRGGBB" (upper case), readable
    // by fromHexString.
    [[nodiscard]] std::string hexString() const;

    bool operator==(const Color&) const = default;

  private:
    Rgba light_{};
    Rgba dark_{};
};

}  // namespace vesk
