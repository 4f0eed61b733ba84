#include "core/error.hpp"

#include "core/config/bundle_lookup.hpp"
#include "core/result.hpp"

namespace vesk {

Error Error::from(ApiError error) {
    Error e = make(Kind::api, error.errorDescription());
    e.detail = error.payload();
    e.apiError = std::move(error);
    return e;
}

Error Error::from(const UIRepresentableError& error) {
    switch (error.kind()) {
        case UIRepresentableError::Case::noInternet:
            return make(Kind::transport, localize("vx_lib.no_internet", AppType::lib, nullptr));
        case UIRepresentableError::Case::custom:
        case UIRepresentableError::Case::debug:
        case UIRepresentableError::Case::empty:
            break;
    }
    return api(error.text());
}

std::string Error::debugDescription() const {
    return detail.empty() ? description : description + " (" + detail + ")";
}

}  // namespace vesk
