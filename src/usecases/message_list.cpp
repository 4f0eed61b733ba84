#include "usecases/message_list.hpp"

#include <algorithm>
#include <bit>
#include <functional>

namespace vesk {

namespace detail {

std::pair<std::size_t, std::size_t> MessageLog::locate(std::size_t index) noexcept {
    const std::size_t shifted = index + 16;
    const auto width = static_cast<std::size_t>(std::bit_width(shifted));
    const std::size_t segmentStart = std::size_t{1} << (width - 1);
    return {width - 5, shifted - segmentStart};
}

const MessageLog::Slot& MessageLog::at(std::size_t index) const {
    const auto [segment, offset] = locate(index);
    return segments_[segment][offset];
}

MessageLog::Slot& MessageLog::at(std::size_t index) {
    const auto [segment, offset] = locate(index);
    return segments_[segment][offset];
}

void MessageLog::push(std::shared_ptr<const Message> message) {
    const auto [segment, offset] = locate(size_);
    if (segment == segments_.size()) {
        // Reserved in full: pushes never reallocate, so slots never move.
        segments_.emplace_back().reserve(std::size_t{16} << segment);
    }
    segments_[segment].push_back(Slot{std::move(message), kAlive});
    ++size_;
}

}  // namespace detail

const Message* MessageList::back() const {
    for (std::size_t i = length_; i > 0; --i) {
        const auto& slot = log_->at(i - 1);
        if (slot.removedAt > version_) {
            return slot.message.get();
        }
    }
    return nullptr;
}

const Message* MessageList::find(const std::string& id) const {
    for (const auto& message : *this) {
        if (message.id == id) {
            return &message;
        }
    }
    return nullptr;
}

std::optional<std::vector<const Message*>> MessageList::addedSince(const MessageList& older) const {
    if (!log_ || older.log_ != log_ || older.length_ > length_ || older.version_ > version_) {
        return std::nullopt;
    }
    std::vector<const Message*> added;
    for (auto it = const_iterator(log_.get(), older.length_, length_, version_); it != end();
         ++it) {
        added.push_back(&*it);
    }
    return added;
}

std::vector<Message> MessageList::toVector() const {
    std::vector<Message> out;
    out.reserve(count_);
    out.assign(begin(), end());
    return out;
}

bool operator==(const MessageList& a, const MessageList& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), b.end());
}

std::uint64_t MessageStore::idHash(const std::string& id) noexcept {
    return std::hash<std::string>{}(id);
}

std::uint64_t MessageStore::randomHash(std::int64_t randomId, const std::string& type) noexcept {
    // splitmix64's finaliser over the id, folded with the type's hash.
    auto x = static_cast<std::uint64_t>(randomId) ^ std::hash<std::string>{}(type);
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}

MessageStore::MessageStore() : log_(std::make_shared<detail::MessageLog>()) {}

MessageList MessageStore::snapshot() const {
    return {log_, log_->size(), version_, live_};
}

std::size_t MessageStore::slotOfId(const std::string& id) const {
    return byId_.find(idHash(id),
                      [&](std::size_t slot) { return log_->at(slot).message->id == id; });
}

const Message* MessageStore::findById(const std::string& id) const {
    const std::size_t slot = slotOfId(id);
    return slot == detail::SlotIndex::kNone ? nullptr : log_->at(slot).message.get();
}

std::optional<std::size_t> MessageStore::firstMatchSlot(const Message& m) const {
    std::size_t best = slotOfId(m.id);
    if (m.randomId != 0) {
        // Keys rarely repeat; when they do, the earliest slot is first in list order.
        (void)byRandom_.find(randomHash(m.randomId, m.type), [&](std::size_t slot) {
            const Message& held = *log_->at(slot).message;
            if (slot < best && held.randomId == m.randomId && held.type == m.type) {
                best = slot;
            }
            return false;
        });
    }
    return best == detail::SlotIndex::kNone ? std::nullopt : std::optional(best);
}

const Message* MessageStore::firstMatch(const Message& m) const {
    const auto slot = firstMatchSlot(m);
    return slot ? log_->at(*slot).message.get() : nullptr;
}

std::vector<Message> MessageStore::unread() const {
    std::vector<Message> out;
    for (const auto& message : snapshot()) {
        if (!message.read) {
            out.push_back(message);
        }
    }
    return out;
}

void MessageStore::append(Message m) {
    byId_.insert(idHash(m.id), log_->size());
    push(std::move(m));
}

void MessageStore::push(Message m) {
    const std::size_t slot = log_->size();
    if (m.randomId != 0) {
        byRandom_.insert(randomHash(m.randomId, m.type), slot);
    }
    log_->push(std::make_shared<const Message>(std::move(m)));
    ++live_;
}

bool MessageStore::removeId(const std::string& id) {
    const std::size_t slot = slotOfId(id);
    if (slot == detail::SlotIndex::kNone) {
        return false;
    }
    removeSlot(slot);
    compactIfSparse();
    return true;
}

bool MessageStore::removeFirstMatch(const Message& m) {
    const auto slot = firstMatchSlot(m);
    if (!slot) {
        return false;
    }
    removeSlot(*slot);
    compactIfSparse();
    return true;
}

void MessageStore::keepNewest(std::size_t count) {
    while (live_ > count) {
        while (log_->at(oldest_).removedAt != detail::MessageLog::kAlive) {
            ++oldest_;
        }
        removeSlot(oldest_);
    }
    compactIfSparse();
}

void MessageStore::replace(Message m) {
    const std::uint64_t hash = idHash(m.id);
    const std::size_t next = log_->size();
    std::size_t old = detail::SlotIndex::kNone;
    // Same id: the index entry moves to the new slot instead of being remade.
    const bool sameId = byId_.reassign(
        hash,
        [&](std::size_t slot) {
            old = slot;
            return log_->at(slot).message->id == m.id;
        },
        next);
    if (sameId) {
        retire(old);
        push(std::move(m));
    } else {
        if (const auto slot = firstMatchSlot(m)) {
            removeSlot(*slot);
        }
        append(std::move(m));
    }
    compactIfSparse();
}

void MessageStore::removeSlot(std::size_t slot) {
    byId_.erase(idHash(log_->at(slot).message->id), slot);
    retire(slot);
}

void MessageStore::retire(std::size_t slot) {
    auto& entry = log_->at(slot);
    const Message& message = *entry.message;
    if (message.randomId != 0) {
        byRandom_.erase(randomHash(message.randomId, message.type), slot);
    }
    entry.removedAt = ++version_;
    --live_;
}

void MessageStore::compactIfSparse() {
    const std::size_t removed = log_->size() - live_;
    if (removed <= 64 || removed <= 2 * live_) {
        return;
    }
    // Amortized O(1): this follows at least twice as many removals as it moves
    // messages. Messages are shared, not copied; the indexes are renumbered in
    // place (positions keep their order), not rebuilt.
    auto old = std::exchange(log_, std::make_shared<detail::MessageLog>());
    std::vector<std::size_t> moved(old->size());
    for (std::size_t i = 0; i < old->size(); ++i) {
        const auto& slot = old->at(i);
        if (slot.removedAt == detail::MessageLog::kAlive) {
            moved[i] = log_->size();
            log_->push(slot.message);
        }
    }
    const auto renumber = [&moved](std::size_t slot) { return moved[slot]; };
    oldest_ = 0;
    byId_.remap(renumber);
    byRandom_.remap(renumber);
}

void MessageStore::clear() {
    log_ = std::make_shared<detail::MessageLog>();
    byId_.clear();
    byRandom_.clear();
    live_ = 0;
    oldest_ = 0;
}

}  // namespace vesk
