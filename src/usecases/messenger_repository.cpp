#include "usecases/messenger_repository.hpp"

namespace vesk {

MessengerRepository& MessengerRepository::shared() {
    static MessengerRepository instance;
    return instance;
}

}  // namespace vesk
