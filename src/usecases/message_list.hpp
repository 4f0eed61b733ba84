// The messages of one conversation: immutable snapshots for consumers and the
// store their repository changes.
//
// A conversation may hold a great many messages and gains one at a time, so a
// change must not copy the whole list. The store keeps every message it ever
// held in an append-only log whose slots never move; removing a message stamps
// its slot with the version that removed it. A snapshot is the log, a length
// and a version: it sees the slots below its length not removed at or before
// its version. So taking a snapshot costs O(1), a change costs O(1) amortized,
// and a snapshot never changes once taken. The log is rebuilt from the live
// messages when removed slots outnumber them twice over, which old snapshots
// never notice (they keep the old log).
//
// Threading: main executor, snapshots included (reading a snapshot reads the
// removal stamps the store writes).
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/slot_index.hpp"
#include "services/models/message.hpp"

namespace vesk {

namespace detail {

// Slots in segments of 16, 32, 64, ... messages: a slot keeps its address for
// the life of the log.
class MessageLog {
  public:
    static constexpr std::uint64_t kAlive = ~std::uint64_t{0};

    // Messages are shared with the rebuilt log, so a rebuild copies pointers.
    struct Slot {
        std::shared_ptr<const Message> message;
        std::uint64_t removedAt = kAlive;
    };

    MessageLog() = default;
    MessageLog(const MessageLog&) = delete;
    MessageLog& operator=(const MessageLog&) = delete;

    [[nodiscard]] std::size_t size() const noexcept { return size_; }
    [[nodiscard]] const Slot& at(std::size_t index) const;
    [[nodiscard]] Slot& at(std::size_t index);
    void push(std::shared_ptr<const Message> message);

  private:
    static std::pair<std::size_t, std::size_t> locate(std::size_t index) noexcept;

    std::vector<std::vector<Slot>> segments_;
    std::size_t size_ = 0;
};

}  // namespace detail

// One consistent view of a conversation's messages, oldest change first.
class MessageList {
  public:
    class const_iterator {
      public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = Message;
        using difference_type = std::ptrdiff_t;
        using pointer = const Message*;
        using reference = const Message&;

        const_iterator() = default;
        reference operator*() const { return *log_->at(index_).message; }
        pointer operator->() const { return log_->at(index_).message.get(); }
        const_iterator& operator++() {
            ++index_;
            skipRemoved();
            return *this;
        }
        const_iterator operator++(int) {
            auto old = *this;
            ++*this;
            return old;
        }
        friend bool operator==(const const_iterator& a, const const_iterator& b) {
            return a.index_ == b.index_;
        }

      private:
        friend class MessageList;
        const_iterator(const detail::MessageLog* log, std::size_t index, std::size_t end,
                       std::uint64_t version)
            : log_(log), index_(index), end_(end), version_(version) {
            skipRemoved();
        }
        void skipRemoved() {
            while (index_ < end_ && log_->at(index_).removedAt <= version_) {
                ++index_;
            }
        }

        const detail::MessageLog* log_ = nullptr;
        std::size_t index_ = 0;
        std::size_t end_ = 0;
        std::uint64_t version_ = 0;
    };
    using iterator = const_iterator;
    using value_type = Message;

    MessageList() = default;

    [[nodiscard]] std::size_t size() const noexcept { return count_; }
    [[nodiscard]] bool empty() const noexcept { return count_ == 0; }
    [[nodiscard]] const_iterator begin() const { return {log_.get(), 0, length_, version_}; }
    [[nodiscard]] const_iterator end() const { return {log_.get(), length_, length_, version_}; }

    // The last message; nullptr when empty. O(1) unless the tail was removed.
    [[nodiscard]] const Message* back() const;
    // Linear: a snapshot has no index. Repositories answer lookups in O(1).
    [[nodiscard]] const Message* find(const std::string& id) const;
    [[nodiscard]] std::vector<Message> toVector() const;

    // The messages this snapshot holds that were added after `older` was taken
    // (an updated message is added anew), oldest first; absent when `older` is
    // no earlier snapshot of the same store, and the whole list must be read.
    // Costs what changed, not the length of the conversation.
    [[nodiscard]] std::optional<std::vector<const Message*>> addedSince(
        const MessageList& older) const;

    // Same messages (by id, as messages compare) in the same order.
    friend bool operator==(const MessageList& a, const MessageList& b);

  private:
    friend class MessageStore;
    MessageList(std::shared_ptr<const detail::MessageLog> log, std::size_t length,
                std::uint64_t version, std::size_t count)
        : log_(std::move(log)), length_(length), version_(version), count_(count) {}

    std::shared_ptr<const detail::MessageLog> log_;
    std::size_t length_ = 0;
    std::uint64_t version_ = 0;
    std::size_t count_ = 0;
};

// The changing list behind a repository, with the lookups the merge needs:
// by id, and by (randomId, type) for the echo of a message the user sent.
class MessageStore {
  public:
    MessageStore();

    [[nodiscard]] MessageList snapshot() const;
    [[nodiscard]] std::size_t size() const noexcept { return live_; }

    [[nodiscard]] const Message* findById(const std::string& id) const;
    // The first message in list order with m's id, or with m's non-zero
    // randomId and m's type.
    [[nodiscard]] const Message* firstMatch(const Message& m) const;
    // The unread messages, in list order.
    [[nodiscard]] std::vector<Message> unread() const;

    // Requires: no message with this id is held.
    void append(Message m);
    // Removes the message with m's id, or else the one `firstMatch(m)` finds,
    // and appends m: one pass over the indexes.
    void replace(Message m);
    // Removes the message with `id`; false when there is none.
    bool removeId(const std::string& id);
    // Removes the message `firstMatch(m)` finds; false when there is none.
    bool removeFirstMatch(const Message& m);
    // Removes the oldest messages in list order until at most `count` are left.
    void keepNewest(std::size_t count);
    void clear();

  private:
    static std::uint64_t idHash(const std::string& id) noexcept;
    static std::uint64_t randomHash(std::int64_t randomId, const std::string& type) noexcept;

    [[nodiscard]] std::size_t slotOfId(const std::string& id) const;
    [[nodiscard]] std::optional<std::size_t> firstMatchSlot(const Message& m) const;
    // Appends without the id index entry.
    void push(Message m);
    // Drops the slot from the id index and retires it.
    void removeSlot(std::size_t slot);
    // Stamps the slot removed and drops it from the randomId index.
    void retire(std::size_t slot);
    void compactIfSparse();

    std::shared_ptr<detail::MessageLog> log_;
    std::uint64_t version_ = 0;
    std::size_t live_ = 0;
    // No live slot lies below it, so trimming the oldest never rescans the removed.
    std::size_t oldest_ = 0;
    detail::SlotIndex byId_;
    // By (randomId, type); several slots may share a key.
    detail::SlotIndex byRandom_;
};

}  // namespace vesk
