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
    if (newUser.token) {
        store_->setString(token, *newUser.token);
    } else {
        store_->remove(token);
    }
    store_->setString(userId, newUser.id);
    user.accept(newUser);
}

void UserRepository::clearUser() {
    store_->remove(userId);
    store_->remove(token);
    user.accept(std::nullopt);
}

}  // namespace vesk
