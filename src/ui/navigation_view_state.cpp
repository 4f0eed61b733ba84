#include "ui/navigation_view_state.hpp"

#include "core/config/bundle_lookup.hpp"

namespace vesk {

std::string NavigationViewState::getTitle() const {
    if (const auto* zero = std::get_if<ZeroData>(&payload_)) {
        return zero->title;
    }
    return localize(case_ == Case::connectError ? "vx_lib.no_internet" : "vx_lib.server_error",
                    AppType::sdk);
}

std::string NavigationViewState::getDesc() const {
    if (const auto* zero = std::get_if<ZeroData>(&payload_)) {
        return zero->desc;
    }
    return localize(
        case_ == Case::connectError ? "vx_lib.no_internet_details" : "vx_lib.server_error_details",
        AppType::sdk);
}

}  // namespace vesk
