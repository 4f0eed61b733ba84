// The messenger settings of the last successful setup or authentication.
// Threading: main executor.
#pragma once

#include <optional>

#include "core/rx/rx.hpp"
#include "services/models/user.hpp"

namespace vesk {

class MessengerRepository {
  public:
    rx::BehaviorRelay<std::optional<Messenger>> messenger{std::nullopt};
};

}  // namespace vesk
