// The chat state the screens share: which conversation is shown, paging, the
// messages whose bubble the user closed, whether the chat is open.
//
// The operator shown, the overlay state and the typing notices join this
// repository together with their models (operator, message, overlay state).
// Threading: main executor.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/rx/rx.hpp"
#include "vesk/key_value_store.hpp"

namespace vesk {

// The ids of closed messages stored under "closedMessages" (a missing or
// malformed entry counts as none).
std::vector<std::string> getClosedMessages(const KeyValueStore& store);
// Adds `id` to the stored list unless it is there already.
void closeMessage(KeyValueStore& store, const std::string& id);

class CurrentStateRepository {
public:
    // Binds the shared instance to the standard store; call before its first use.
    static CurrentStateRepository& shared();

    // Loads the closed messages once.
    explicit CurrentStateRepository(std::shared_ptr<KeyValueStore> store);

    void closeMessage(const std::string& id);
    // What logout forgets: the conversation shown and the paging position.
    void reset();

    rx::DisposeBag disposeBag;
    rx::BehaviorSubject<std::optional<std::string>> dialogId{std::nullopt};
    std::optional<std::string> paginatePosition;
    rx::PublishSubject<std::pair<std::string, std::string>> updateMessageStatus;
    rx::BehaviorSubject<std::optional<std::vector<std::string>>> closedMessages{std::nullopt};
    rx::BehaviorSubject<bool> isOpen{false};

private:
    std::shared_ptr<KeyValueStore> store_;
};

}  // namespace vesk
