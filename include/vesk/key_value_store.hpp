// Small persistent key-value stores: the library's user id and token, the last
// conversation, and the state it shares with a notification-extension process.
//
// A store holds one typed value per key. Named suites are separate stores; two
// processes that open the same suite under the same data directory share it.
//
// Threading: every member may be called from any thread. Each call is atomic;
// `update` is atomic across processes too.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace vesk {

// A JSON document kept as its text; stored and returned as given, not validated.
struct JsonText {
    std::string text;
    bool operator==(const JsonText&) const = default;
};

// One stored value. A typed getter of one kind sees a value of another kind as absent.
using StoreValue =
    std::variant<std::string, bool, std::int64_t, std::vector<std::string>, JsonText>;

// A key and its new value; absent removes the key.
using StoreChange = std::pair<std::string, std::optional<StoreValue>>;

class KeyValueStore {
  public:
    // Gets the old value (absent when missing) and returns the new one (absent removes the key).
    using Updater = std::function<std::optional<StoreValue>(std::optional<StoreValue>)>;

    virtual ~KeyValueStore() = default;

    [[nodiscard]] virtual std::optional<StoreValue> get(std::string_view key) const = 0;

    // Each returns true when the change was made. A failure has already been reported on
    // the console and leaves the stored value as it was.
    virtual bool set(std::string_view key, StoreValue value) = 0;
    virtual bool remove(std::string_view key) = 0;

    // Reads the value, calls `fn` and stores its answer in one transaction that no other
    // writer, in this process or another, can interleave with. Returns false (and stores
    // nothing) when the transaction fails or `fn` throws.
    // Requires: `fn` is quick and does not call back into this store (such a call fails).
    virtual bool update(std::string_view key, const Updater& fn) = 0;

    // Makes every change or, on failure, none: values that only mean something
    // together (a user's id and token) are never seen or left half written.
    // The default makes them one at a time, which a host's store whose writes
    // can be torn should override.
    virtual bool apply(const std::vector<StoreChange>& changes);

    [[nodiscard]] std::optional<std::string> string(std::string_view key) const;
    [[nodiscard]] std::optional<bool> boolean(std::string_view key) const;
    [[nodiscard]] std::optional<std::int64_t> integer(std::string_view key) const;
    [[nodiscard]] std::optional<std::vector<std::string>> stringArray(std::string_view key) const;
    [[nodiscard]] std::optional<std::string> json(std::string_view key) const;

    bool setString(std::string_view key, std::string value);
    bool setBool(std::string_view key, bool value);
    bool setInteger(std::string_view key, std::int64_t value);
    bool setStringArray(std::string_view key, std::vector<std::string> value);
    bool setJson(std::string_view key, std::string text);
};

// Opens the stores: the standard suite and named suites (the app-group suites).
//
// Threading: any thread. The same name gives the same store object for the life of the
// factory.
class KeyValueStoreFactory {
  public:
    virtual ~KeyValueStoreFactory() = default;

    // Never null. A store whose file cannot be used keeps its values in memory for the run.
    virtual std::shared_ptr<KeyValueStore> standard() = 0;

    // Null when `name` is unusable: empty, longer than 200 bytes, or holding a control
    // character. Any other name maps to its own file inside the data directory.
    virtual std::shared_ptr<KeyValueStore> suite(std::string_view name) = 0;
};

// One file per suite under `directory` (created on first use, mode 0700).
std::shared_ptr<KeyValueStoreFactory> makeFileKeyValueStoreFactory(std::filesystem::path directory);

// Stores that live in memory only; suites are shared within the factory.
std::shared_ptr<KeyValueStoreFactory> makeInMemoryKeyValueStoreFactory();
std::shared_ptr<KeyValueStore> makeInMemoryKeyValueStore();

// The stores the library uses. Default: file stores under `dataDirectory()`.
std::shared_ptr<KeyValueStoreFactory> keyValueStoreFactory();

// Installs the host's own stores; nullptr goes back to the file stores.
// Call before the library's first use: stores already handed out stay where they are.
void setKeyValueStoreFactory(std::shared_ptr<KeyValueStoreFactory> factory);

// Where the file stores live. Default: $XDG_DATA_HOME/vesk, else ~/.local/share/vesk.
// An empty path goes back to the default. Call before the library's first use.
void setDataDirectory(std::filesystem::path directory);
std::filesystem::path dataDirectory();

}  // namespace vesk
