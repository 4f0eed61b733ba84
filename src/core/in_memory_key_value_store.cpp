#include "core/in_memory_key_value_store.hpp"

#include "core/console_line.hpp"
#include "core/suite_name.hpp"

namespace vesk {

namespace {
constexpr std::string_view kCategory = "VeskStore";
}

bool InMemoryKeyValueStore::calledFromUpdate() const {
    if (updatingThread_.load() == std::this_thread::get_id()) {
        consoleLine(kCategory, "a store was called from inside its own update; the call fails");
        return true;
    }
    return false;
}

std::optional<StoreValue> InMemoryKeyValueStore::get(std::string_view key) const {
    if (calledFromUpdate()) {
        return std::nullopt;
    }
    std::lock_guard lock(mutex_);
    auto it = values_.find(key);
    if (it == values_.end()) {
        return std::nullopt;
    }
    return it->second;
}

bool InMemoryKeyValueStore::set(std::string_view key, StoreValue value) {
    if (calledFromUpdate()) {
        return false;
    }
    std::lock_guard lock(mutex_);
    values_.insert_or_assign(std::string(key), std::move(value));
    return true;
}

bool InMemoryKeyValueStore::remove(std::string_view key) {
    if (calledFromUpdate()) {
        return false;
    }
    std::lock_guard lock(mutex_);
    auto it = values_.find(key);
    if (it != values_.end()) {
        values_.erase(it);
    }
    return true;
}

bool InMemoryKeyValueStore::apply(const std::vector<StoreChange>& changes) {
    if (calledFromUpdate()) {
        return false;
    }
    std::lock_guard lock(mutex_);
    for (const auto& [key, value] : changes) {
        if (value) {
            values_.insert_or_assign(key, *value);
        } else if (auto it = values_.find(key); it != values_.end()) {
            values_.erase(it);
        }
    }
    return true;
}

bool InMemoryKeyValueStore::update(std::string_view key, const Updater& fn) {
    if (calledFromUpdate()) {
        return false;
    }
    std::lock_guard lock(mutex_);
    auto it = values_.find(key);
    std::optional<StoreValue> old;
    if (it != values_.end()) {
        old = it->second;
    }
    std::optional<StoreValue> next;
    updatingThread_.store(std::this_thread::get_id());
    try {
        next = fn(std::move(old));
    } catch (...) {
        updatingThread_.store(std::thread::id{});
        consoleLine(kCategory, "an update callback threw; nothing was stored");
        return false;
    }
    updatingThread_.store(std::thread::id{});
    if (next) {
        values_.insert_or_assign(std::string(key), std::move(*next));
    } else if (it != values_.end()) {
        values_.erase(it);
    }
    return true;
}

namespace {

class InMemoryKeyValueStoreFactory final : public KeyValueStoreFactory {
  public:
    std::shared_ptr<KeyValueStore> standard() override {
        std::lock_guard lock(mutex_);
        return storeFor(std::string(kStandardSuiteStem));
    }

    std::shared_ptr<KeyValueStore> suite(std::string_view name) override {
        auto stem = suiteFileStem(name);
        if (!stem) {
            return nullptr;
        }
        std::lock_guard lock(mutex_);
        return storeFor(*stem);
    }

  private:
    std::shared_ptr<KeyValueStore> storeFor(const std::string& stem) {
        auto& slot = stores_[stem];
        if (!slot) {
            slot = std::make_shared<InMemoryKeyValueStore>();
        }
        return slot;
    }

    std::mutex mutex_;
    std::map<std::string, std::shared_ptr<KeyValueStore>> stores_;
};

}  // namespace

std::shared_ptr<KeyValueStoreFactory> makeInMemoryKeyValueStoreFactory() {
    return std::make_shared<InMemoryKeyValueStoreFactory>();
}

std::shared_ptr<KeyValueStore> makeInMemoryKeyValueStore() {
    return std::make_shared<InMemoryKeyValueStore>();
}

}  // namespace vesk
