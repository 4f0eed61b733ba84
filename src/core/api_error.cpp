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

Error ApiError::toError() const {
    Error e = Error::make(Error::Kind::api, errorDescription());
    e.detail = payload_;
    e.apiCase = static_cast<int>(case_);
    e.apiPayload = payload_;
    return e;
}

std::optional<ApiError> ApiError::fromError(const Error& error) {
    if (error.kind != Error::Kind::api || error.apiCase < 0 ||
        error.apiCase > static_cast<int>(Case::noData)) {
        return std::nullopt;
    }
    return ApiError(static_cast<Case>(error.apiCase), error.apiPayload);
}

}  // namespace vesk
