// The messages of each conversation the user has seen this run, in memory.
// Threading: main executor.
#pragma once

#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/rx/rx.hpp"
#include "services/models/message.hpp"
#include "usecases/message_list.hpp"

namespace vesk {

// The messages of one conversation. Every change publishes a new snapshot;
// snapshots share their storage, so publishing costs the same whatever the
// length of the conversation.
class MessagesRepository {
  public:
    explicit MessagesRepository(std::string id) : dialogId(std::move(id)) {}

    // The current snapshot, then each new one.
    [[nodiscard]] rx::Observable<MessageList> messages() const { return relay_.asObservable(); }
    [[nodiscard]] const MessageList& currentMessages() const { return relay_.value(); }

    [[nodiscard]] const Message* find(const std::string& id) const { return store_.findById(id); }
    // The first listed message with m's id, or with m's non-zero randomId and type.
    [[nodiscard]] const Message* match(const Message& m) const { return store_.firstMatch(m); }
    [[nodiscard]] std::vector<Message> unread() const { return store_.unread(); }

    // Appends, in order, each message whose id is not listed yet, then drops
    // the oldest beyond `keep`; publishes once.
    void add(const std::vector<Message>& messages,
             std::size_t keep = std::numeric_limits<std::size_t>::max());
    // Removes the message with m's id (or, when there is none, the one `match`
    // finds), appends m at the end; publishes.
    void update(const Message& m);
    // Removes the message with this id (nothing happens for an unlisted one); publishes.
    void remove(const std::string& id);
    // An empty list; publishes.
    void clear();

    rx::DisposeBag disposeBag;
    const std::string dialogId;

  private:
    void publish() { relay_.accept(store_.snapshot()); }

    MessageStore store_;
    rx::BehaviorRelay<MessageList> relay_{MessageList{}};
};

class MessagesManager {
  public:
    // The repository of `dialogId`, created empty on first use.
    MessagesRepository& repository(const std::string& dialogId);
    [[nodiscard]] const MessagesRepository* existing(const std::string& dialogId) const;

    // For a present id, that conversation's list becomes empty.
    void clearMessages(const std::optional<std::string>& dialogId);
    // The unread messages of that conversation, in list order, for the caller
    // to report; the list itself is left as it is.
    std::vector<Message> markRead(const std::optional<std::string>& dialogId);

  private:
    // Repositories stay where they are: callers keep references.
    std::unordered_map<std::string, std::unique_ptr<MessagesRepository>> repositories_;
};

}  // namespace vesk
