// Rectangles and sizes as the library lays views out.
#pragma once

namespace vesk {

// In the toolkit's units (points, logical pixels).
struct Rect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    friend bool operator==(const Rect&, const Rect&) = default;
};

struct Size {
    double width = 0;
    double height = 0;

    friend bool operator==(const Size&, const Size&) = default;
};

using ScreenSize = Size;

}  // namespace vesk
