#include "core/api_error.hpp"

#include "core/config/bundle_lookup.hpp"

namespace vesk {

std::string ApiError::errorDescription() const {
    switch (case_) {
        case Case::apiError:
        case Case::invalidResponse:
        case Case::decodeError: {
            const auto main = mainBundle();
            return main ? main->localizedString(payload_, std::nullopt) : std::string();
        }
        case Case::invalidEndpoint:
        case Case::noData:
            break;
    }
    return "The operation couldn’t be completed.";
}

}  // namespace vesk
