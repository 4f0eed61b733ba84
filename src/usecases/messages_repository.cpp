#include "usecases/messages_repository.hpp"

namespace vesk {

void MessagesRepository::add(const std::vector<Message>& messages, std::size_t keep) {
    for (const auto& message : messages) {
        if (store_.findById(message.id) == nullptr) {
            store_.append(message);
        }
    }
    store_.keepNewest(keep);
    publish();
}

void MessagesRepository::update(const Message& m) {
    store_.replace(m);
    publish();
}

void MessagesRepository::remove(const std::string& id) {
    if (store_.removeId(id)) {
        publish();
    }
}

void MessagesRepository::clear() {
    store_.clear();
    publish();
}

MessagesRepository& MessagesManager::repository(const std::string& dialogId) {
    auto& slot = repositories_[dialogId];
    if (!slot) {
        slot = std::make_unique<MessagesRepository>(dialogId);
    }
    return *slot;
}

const MessagesRepository* MessagesManager::existing(const std::string& dialogId) const {
    const auto it = repositories_.find(dialogId);
    return it == repositories_.end() ? nullptr : it->second.get();
}

void MessagesManager::clearMessages(const std::optional<std::string>& dialogId) {
    if (dialogId) {
        repository(*dialogId).clear();
    }
}

std::vector<Message> MessagesManager::markRead(const std::optional<std::string>& dialogId) {
    if (!dialogId) {
        return {};
    }
    const auto* repo = existing(*dialogId);
    return repo ? repo->unread() : std::vector<Message>{};
}

}  // namespace vesk
