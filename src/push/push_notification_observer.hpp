// The ids of notifications already shown, kept as "notificationList" in the
// app-group store the application shares with its notification extension.
//
// The list keeps the newest ids: once it holds more than 50, adding drops its 30
// oldest first. Threading: any thread; the store serialises the list's changes,
// also across processes.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "vesk/key_value_store.hpp"

namespace vesk {

class PushNotificationObserver {
  public:
    static constexpr const char* kListKey = "notificationList";
    static constexpr std::size_t kMaxIds = 50;
    static constexpr std::size_t kDroppedIds = 30;

    // `stores`: where app-group suites are opened; null means the library's stores.
    explicit PushNotificationObserver(std::shared_ptr<KeyValueStoreFactory> stores = nullptr);

    // True when `id` is not listed; false also when there is no store.
    bool notFound(const std::string& id, const std::optional<std::string>& appGroupDomain);
    // True when no id but "0" is listed (an empty list is true).
    bool notFound(const std::vector<std::string>& ids,
                  const std::optional<std::string>& appGroupDomain);
    void add(const std::string& id, const std::optional<std::string>& appGroupDomain);
    // Adds each id but "0".
    void add(const std::vector<std::string>& ids, const std::optional<std::string>& appGroupDomain);

    // Lists `id` and tells whether it was listed before, in one step no other
    // writer (in this process or another) can come between: of two callers that
    // claim one id at once, exactly one hears false. Absent when there is no store.
    std::optional<bool> claim(const std::string& id,
                              const std::optional<std::string>& appGroupDomain);

    // The list after adding `id` to `list` (already listed: unchanged).
    [[nodiscard]] static std::vector<std::string> adding(std::vector<std::string> list,
                                                         const std::string& id);

  private:
    // Reopens the suite when a domain is given; otherwise the last one opened.
    std::shared_ptr<KeyValueStore> defaults(const std::optional<std::string>& appGroupDomain);

    std::shared_ptr<KeyValueStoreFactory> stores_;
    std::shared_ptr<KeyValueStore> defaults_;
};

}  // namespace vesk
