#include "vesk/version.hpp"

namespace vesk {

std::string_view libraryVersion() noexcept {
    return "1.0.33";
}

}  // namespace vesk
