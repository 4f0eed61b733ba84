#include "vesk/key_value_store.hpp"

#include <mutex>

#include "core/platform_hooks.hpp"

namespace vesk {
namespace {

template <class T>
std::optional<T> as(std::optional<StoreValue> value) {
    if (value) {
        if (auto* typed = std::get_if<T>(&*value)) {
            return std::move(*typed);
        }
    }
    return std::nullopt;
}

}  // namespace

bool KeyValueStore::apply(const std::vector<StoreChange>& changes) {
    bool ok = true;
    for (const auto& [key, value] : changes) {
        ok = (value ? set(key, *value) : remove(key)) && ok;
    }
    return ok;
}

std::optional<std::string> KeyValueStore::string(std::string_view key) const {
    return as<std::string>(get(key));
}

std::optional<bool> KeyValueStore::boolean(std::string_view key) const {
    return as<bool>(get(key));
}

std::optional<std::int64_t> KeyValueStore::integer(std::string_view key) const {
    return as<std::int64_t>(get(key));
}

std::optional<std::vector<std::string>> KeyValueStore::stringArray(std::string_view key) const {
    return as<std::vector<std::string>>(get(key));
}

std::optional<std::string> KeyValueStore::json(std::string_view key) const {
    auto text = as<JsonText>(get(key));
    if (!text) {
        return std::nullopt;
    }
    return std::move(text->text);
}

bool KeyValueStore::setString(std::string_view key, std::string value) {
    return set(key, StoreValue(std::in_place_type<std::string>, std::move(value)));
}

bool KeyValueStore::setBool(std::string_view key, bool value) {
    return set(key, StoreValue(std::in_place_type<bool>, value));
}

bool KeyValueStore::setInteger(std::string_view key, std::int64_t value) {
    return set(key, StoreValue(std::in_place_type<std::int64_t>, value));
}

bool KeyValueStore::setStringArray(std::string_view key, std::vector<std::string> value) {
    return set(key, StoreValue(std::in_place_type<std::vector<std::string>>, std::move(value)));
}

bool KeyValueStore::setJson(std::string_view key, std::string text) {
    return set(key, StoreValue(std::in_place_type<JsonText>, JsonText{std::move(text)}));
}

// The registry of the stores the library uses.
namespace {

struct Registry {
    std::mutex mutex;
    std::shared_ptr<KeyValueStoreFactory> hostFactory;
    std::shared_ptr<KeyValueStoreFactory> fileFactory;  // made on first use
    std::filesystem::path directory;                    // empty: the platform default
};

Registry& registry() {
    static auto* r = new Registry;  // never destroyed: stores outlive static teardown
    return *r;
}

std::filesystem::path effectiveDirectory(const Registry& r) {
    return r.directory.empty() ? platform::defaultDataDirectory() : r.directory;
}

}  // namespace

std::shared_ptr<KeyValueStoreFactory> keyValueStoreFactory() {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    if (r.hostFactory) {
        return r.hostFactory;
    }
    if (!r.fileFactory) {
        r.fileFactory = makeFileKeyValueStoreFactory(effectiveDirectory(r));
    }
    return r.fileFactory;
}

void setKeyValueStoreFactory(std::shared_ptr<KeyValueStoreFactory> factory) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    r.hostFactory = std::move(factory);
}

void setDataDirectory(std::filesystem::path directory) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    r.directory = std::move(directory);
    r.fileFactory.reset();
}

std::filesystem::path dataDirectory() {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    return effectiveDirectory(r);
}

}  // namespace vesk
