#include "vesk/version.hpp"

namespace vesk {

std::string_view libraryVersion() noexcept {
    return VESK_VERSION;
}

}  // namespace vesk
