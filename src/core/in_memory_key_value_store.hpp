// A key-value store that lives in memory: for hosts that want no files, as the stand-in
// when a store file cannot be used, and as the reference the file store is tested against.
//
// Threading: any thread; one mutex guards the map.
#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <thread>

#include "vesk/key_value_store.hpp"

namespace vesk {

class InMemoryKeyValueStore final : public KeyValueStore {
  public:
    [[nodiscard]] std::optional<StoreValue> get(std::string_view key) const override;
    bool set(std::string_view key, StoreValue value) override;
    bool remove(std::string_view key) override;
    bool update(std::string_view key, const Updater& fn) override;
    bool apply(const std::vector<StoreChange>& changes) override;

  private:
    bool calledFromUpdate() const;

    mutable std::mutex mutex_;
    std::map<std::string, StoreValue, std::less<>> values_;
    // The thread inside `update`'s callback, so a call back into the store fails instead
    // of deadlocking.
    std::atomic<std::thread::id> updatingThread_{};
};

}  // namespace vesk
