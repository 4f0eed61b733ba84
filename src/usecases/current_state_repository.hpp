// The chat state the screens share: which conversation is shown, paging, the
// operator shown, the overlay state, typing notices, the messages whose bubble
// the user closed, whether the chat is open.
// Threading: main executor.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/rx/rx.hpp"
#include "services/models/message.hpp"
#include "services/models/person.hpp"
#include "usecases/navigation_view_state.hpp"
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
    // What logout forgets: the conversation shown, the paging position and the
    // operator shown.
    void reset();

    rx::DisposeBag disposeBag;
    rx::BehaviorSubject<std::optional<std::string>> dialogId{std::nullopt};
    std::optional<std::string> paginatePosition;
    // Holds nothing until an operator is saved.
    rx::ReplaySubject<std::optional<Admin>> admin;
    rx::PublishSubject<NavigationViewState> state;
    rx::PublishSubject<Message> typingIndicator;
    rx::PublishSubject<std::pair<std::string, std::string>> updateMessageStatus;
    rx::BehaviorSubject<std::optional<std::vector<std::string>>> closedMessages{std::nullopt};
    rx::BehaviorSubject<bool> isOpen{false};

  private:
    std::shared_ptr<KeyValueStore> store_;
};

}  // namespace vesk
