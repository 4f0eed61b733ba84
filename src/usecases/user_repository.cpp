#include "usecases/user_repository.hpp"

namespace vesk {

UserRepository::UserRepository(std::shared_ptr<KeyValueStore> store) : store_(std::move(store)) {
    user.accept(loadUser());
}

std::optional<User> UserRepository::loadUser() const {
    auto id = store_->string(userId);
    auto storedToken = store_->string(token);
    if (!id || !storedToken) {
        return std::nullopt;
    }
    User loaded;
    loaded.id = std::move(*id);
    loaded.token = std::move(*storedToken);
    return loaded;
}

void UserRepository::saveUser(const User& newUser) {
    // One transaction: a kill between two writes would pair one user's id
    // with another's token, which the service then refuses for good.
    std::optional<StoreValue> newToken;
    if (newUser.token) {
        newToken = *newUser.token;
    }
    store_->apply({{std::string(token), std::move(newToken)}, {std::string(userId), newUser.id}});
    user.accept(newUser);
}

void UserRepository::clearUser() {
    store_->apply({{std::string(userId), std::nullopt}, {std::string(token), std::nullopt}});
    user.accept(std::nullopt);
}

}  // namespace vesk
