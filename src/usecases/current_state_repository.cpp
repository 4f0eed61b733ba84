#include "usecases/current_state_repository.hpp"

#include <algorithm>

namespace vesk {

namespace {
constexpr const char* kClosedMessages = "closedMessages";
}  // namespace

std::vector<std::string> getClosedMessages(const KeyValueStore& store) {
    return store.stringArray(kClosedMessages).value_or(std::vector<std::string>{});
}

void closeMessage(KeyValueStore& store, const std::string& id) {
    store.update(kClosedMessages,
                 [&id](std::optional<StoreValue> old) -> std::optional<StoreValue> {
                     std::vector<std::string> ids;
                     if (old) {
                         if (auto* list = std::get_if<std::vector<std::string>>(&*old)) {
                             ids = std::move(*list);
                         }
                     }
                     if (std::find(ids.begin(), ids.end(), id) == ids.end()) {
                         ids.push_back(id);
                     }
                     return ids;
                 });
}

CurrentStateRepository::CurrentStateRepository(std::shared_ptr<KeyValueStore> store)
    : store_(std::move(store)) {
    closedMessages.onNext(getClosedMessages(*store_));
}

void CurrentStateRepository::closeMessage(const std::string& id) {
    vesk::closeMessage(*store_, id);
    closedMessages.onNext(getClosedMessages(*store_));
}

void CurrentStateRepository::reset() {
    // Fresh subjects: subscribers of the old ones keep what they saw and hear no more.
    dialogId = rx::BehaviorSubject<std::optional<std::string>>(std::nullopt);
    paginatePosition.reset();
    admin = rx::ReplaySubject<std::optional<Admin>>();
}

}  // namespace vesk
