// The host's current appearance, which picks the variant of the library's dynamic colours.
//
// Threading: any thread.
#pragma once

namespace vesk {

enum class Appearance { light, dark };

// Default: light.
void setAppearance(Appearance appearance);
[[nodiscard]] Appearance currentAppearance();

}  // namespace vesk
