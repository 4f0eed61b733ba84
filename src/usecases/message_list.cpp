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

std::vector<Message> MessageList::toVector() const {
    std::vector<Message> out;
    out.reserve(count_);
    out.assign(begin(), end());
    return out;
}

bool operator==(const MessageList& a, const MessageList& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), b.end());
}

std::size_t MessageStore::RandomKeyHash::operator()(const RandomKey& key) const noexcept {
    const std::size_t h = std::hash<std::int64_t>{}(key.randomId);
    return h ^ (std::hash<std::string>{}(key.type) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2));
}

MessageStore::MessageStore() : log_(std::make_shared<detail::MessageLog>()) {}

MessageList MessageStore::snapshot() const { return {log_, log_->size(), version_, live_}; }

const Message* MessageStore::findById(const std::string& id) const {
    const auto it = byId_.find(id);
    return it == byId_.end() ? nullptr : log_->at(it->second).message.get();
}

std::optional<std::size_t> MessageStore::firstMatchSlot(const Message& m) const {
    std::optional<std::size_t> best;
    if (const auto it = byId_.find(m.id); it != byId_.end()) {
        best = it->second;
    }
    if (m.randomId != 0) {
        const auto it = byRandom_.find(RandomKey{m.randomId, m.type});
        if (it != byRandom_.end() && !it->second.empty() && (!best || it->second.front() < *best)) {
            best = it->second.front();
        }
    }
    return best;
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
    byId_.emplace(m.id, log_->size());
    push(std::move(m));
}

void MessageStore::push(Message m) {
    const std::size_t slot = log_->size();
    if (m.randomId != 0) {
        byRandom_[RandomKey{m.randomId, m.type}].push_back(slot);
    }
    log_->push(std::make_shared<const Message>(std::move(m)));
    ++live_;
}

bool MessageStore::removeId(const std::string& id) {
    const auto it = byId_.find(id);
    if (it == byId_.end()) {
        return false;
    }
    removeSlot(it);
    compactIfSparse();
    return true;
}

bool MessageStore::removeFirstMatch(const Message& m) {
    const auto slot = firstMatchSlot(m);
    if (!slot) {
        return false;
    }
    removeSlot(byId_.find(log_->at(*slot).message->id));
    compactIfSparse();
    return true;
}

void MessageStore::replace(Message m) {
    if (const auto it = byId_.find(m.id); it != byId_.end()) {
        // Same id: the index entry moves to the new slot instead of being remade.
        retire(it->second);
        it->second = log_->size();
        push(std::move(m));
    } else {
        if (const auto slot = firstMatchSlot(m)) {
            removeSlot(byId_.find(log_->at(*slot).message->id));
        }
        append(std::move(m));
    }
    compactIfSparse();
}

void MessageStore::removeSlot(std::unordered_map<std::string, std::size_t>::iterator byId) {
    const std::size_t slot = byId->second;
    byId_.erase(byId);
    retire(slot);
}

void MessageStore::retire(std::size_t slot) {
    auto& entry = log_->at(slot);
    const Message& message = *entry.message;
    if (message.randomId != 0) {
        const auto it = byRandom_.find(RandomKey{message.randomId, message.type});
        if (it != byRandom_.end()) {
            std::erase(it->second, slot);
            if (it->second.empty()) {
                byRandom_.erase(it);
            }
        }
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
    for (auto& [id, slot] : byId_) {
        slot = moved[slot];
    }
    for (auto& [key, slots] : byRandom_) {
        for (auto& slot : slots) {
            slot = moved[slot];
        }
    }
}

void MessageStore::clear() {
    log_ = std::make_shared<detail::MessageLog>();
    byId_.clear();
    byRandom_.clear();
    live_ = 0;
}

}  // namespace vesk
