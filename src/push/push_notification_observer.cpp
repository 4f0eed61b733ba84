#include "push/push_notification_observer.hpp"

#include <algorithm>
#include <mutex>

namespace vesk {

namespace {

std::vector<std::string> listIn(const std::optional<StoreValue>& value) {
    if (value) {
        if (const auto* list = std::get_if<std::vector<std::string>>(&*value)) {
            return *list;
        }
    }
    return {};
}

bool listed(const std::vector<std::string>& list, const std::string& id) {
    return std::find(list.begin(), list.end(), id) != list.end();
}

// `defaults_` may be reopened from the extension's thread while the main one reads it.
std::mutex& defaultsMutex() {
    static std::mutex mutex;
    return mutex;
}

}  // namespace

PushNotificationObserver::PushNotificationObserver(std::shared_ptr<KeyValueStoreFactory> stores)
    : stores_(std::move(stores)) {}

std::shared_ptr<KeyValueStore> PushNotificationObserver::defaults(
    const std::optional<std::string>& appGroupDomain) {
    const std::lock_guard lock(defaultsMutex());
    if (appGroupDomain) {
        const auto factory = stores_ ? stores_ : keyValueStoreFactory();
        defaults_ = factory->suite(*appGroupDomain);
    }
    return defaults_;
}

std::vector<std::string> PushNotificationObserver::adding(std::vector<std::string> list,
                                                          const std::string& id) {
    if (listed(list, id)) {
        return list;
    }
    if (list.size() > kMaxIds) {
        list.erase(list.begin(), list.begin() + static_cast<std::ptrdiff_t>(kDroppedIds));
    }
    list.push_back(id);
    return list;
}

bool PushNotificationObserver::notFound(const std::string& id,
                                        const std::optional<std::string>& appGroupDomain) {
    const auto store = defaults(appGroupDomain);
    if (!store) {
        return false;
    }
    return !listed(store->stringArray(kListKey).value_or(std::vector<std::string>{}), id);
}

bool PushNotificationObserver::notFound(const std::vector<std::string>& ids,
                                        const std::optional<std::string>& appGroupDomain) {
    return std::none_of(ids.begin(), ids.end(), [&](const std::string& id) {
        return id != "0" && !notFound(id, appGroupDomain);
    });
}

void PushNotificationObserver::add(const std::string& id,
                                   const std::optional<std::string>& appGroupDomain) {
    (void)claim(id, appGroupDomain);
}

void PushNotificationObserver::add(const std::vector<std::string>& ids,
                                   const std::optional<std::string>& appGroupDomain) {
    for (const auto& id : ids) {
        if (id != "0") {
            add(id, appGroupDomain);
        }
    }
}

std::optional<bool> PushNotificationObserver::claim(
    const std::string& id, const std::optional<std::string>& appGroupDomain) {
    const auto store = defaults(appGroupDomain);
    if (!store) {
        return std::nullopt;
    }
    bool seen = false;
    const bool stored = store->update(kListKey, [&](std::optional<StoreValue> old) {
        auto list = listIn(old);
        seen = listed(list, id);
        if (seen) {
            return old;
        }
        return std::optional<StoreValue>(adding(std::move(list), id));
    });
    if (!stored) {
        // Unreadable or unwritable list: take the id as seen rather than risk a duplicate.
        return true;
    }
    return seen;
}

}  // namespace vesk
