// The host's views and images as the library sees them.
//
// A toolkit integration derives from `PlatformView` to hand the library one of
// its views (a GTK widget, a Qt widget); the library holds it weakly, so the
// host decides how long it lives.
#pragma once

#include <string>

namespace vesk {

class PlatformView {
  public:
    virtual ~PlatformView() = default;
};

// An image file the library may show (PNG or JPEG).
struct Image {
    std::string path;

    friend bool operator==(const Image&, const Image&) = default;
};

}  // namespace vesk
