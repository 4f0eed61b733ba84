// The conversation state the screens share: which conversation is shown,
// paging, the operator shown, typing notices and the messages whose bubble the
// user closed. What only the screens hold (the overlay, whether the chat is
// open, message statuses) is the screen state of the ui layer.
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
#include "vesk/key_value_store.hpp"

namespace vesk {

// The ids of closed messages stored under "closedMessages" (a missing or
// malformed entry counts as none).
std::vector<std::string> getClosedMessages(const KeyValueStore& store);
// Adds `id` to the stored list unless it is there already.
void closeMessage(KeyValueStore& store, const std::string& id);

class CurrentStateRepository {
  public:
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
    rx::PublishSubject<Message> typingIndicator;
    rx::BehaviorSubject<std::optional<std::vector<std::string>>> closedMessages{std::nullopt};

  private:
    std::shared_ptr<KeyValueStore> store_;
};

}  // namespace vesk
