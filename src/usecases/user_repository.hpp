// The current user, kept across runs in the standard store under "VeskUserId" and
// "VeskToken". A user stored without a token is not loaded again.
// Threading: main executor.
#pragma once

#include <memory>
#include <optional>

#include "core/rx/rx.hpp"
#include "services/models/user.hpp"
#include "vesk/key_value_store.hpp"

namespace vesk {

class UserRepository {
  public:
    static constexpr const char* token = "VeskToken";
    static constexpr const char* userId = "VeskUserId";

    // Loads the stored user at once.
    explicit UserRepository(std::shared_ptr<KeyValueStore> store);

    void saveUser(const User& newUser);
    void clearUser();

    rx::BehaviorRelay<std::optional<User>> user{std::nullopt};

  private:
    [[nodiscard]] std::optional<User> loadUser() const;

    std::shared_ptr<KeyValueStore> store_;
};

}  // namespace vesk
