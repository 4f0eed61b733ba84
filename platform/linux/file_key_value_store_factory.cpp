// The file stores: one SQLite file per suite under the data directory.
#include <map>
#include <mutex>
#include <system_error>

#include "core/console_line.hpp"
#include "core/in_memory_key_value_store.hpp"
#include "core/platform_hooks.hpp"
#include "core/suite_name.hpp"
#include "platform/linux/sqlite_key_value_store.hpp"

namespace vesk {
namespace {

constexpr std::string_view kCategory = "VeskStore";
constexpr std::string_view kExtension = ".sqlite3";

class FileKeyValueStoreFactory final : public KeyValueStoreFactory {
  public:
    explicit FileKeyValueStoreFactory(std::filesystem::path directory)
        : directory_(std::move(directory)) {}

    std::shared_ptr<KeyValueStore> standard() override {
        std::lock_guard lock(mutex_);
        return storeFor(std::string(kStandardSuiteStem), "standard");
    }

    std::shared_ptr<KeyValueStore> suite(std::string_view name) override {
        auto stem = suiteFileStem(name);
        if (!stem) {
            return nullptr;
        }
        std::lock_guard lock(mutex_);
        return storeFor(*stem, name);
    }

  private:
    // Requires: mutex_ held.
    std::shared_ptr<KeyValueStore> storeFor(const std::string& stem, std::string_view label) {
        auto& slot = stores_[stem];
        if (!slot) {
            slot = open(stem, label);
        }
        return slot;
    }

    std::shared_ptr<KeyValueStore> open(const std::string& stem, std::string_view label) {
        std::string prefix = "store \"" + std::string(label) + "\": ";
        if (directory_.empty()) {
            consoleLine(kCategory, prefix +
                                       "no data directory (no home); keeping its values in "
                                       "memory for this run");
            return std::make_shared<InMemoryKeyValueStore>();
        }
        std::error_code ec;
        if (std::filesystem::create_directories(directory_, ec)) {
            std::filesystem::permissions(directory_, std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::replace, ec);
        }
        // A failure to create the directory shows up as a failure to open the file.
        return SqliteKeyValueStore::open(directory_ / (stem + std::string(kExtension)), label);
    }

    const std::filesystem::path directory_;
    std::mutex mutex_;
    std::map<std::string, std::shared_ptr<KeyValueStore>> stores_;
};

}  // namespace

std::shared_ptr<KeyValueStoreFactory> makeFileKeyValueStoreFactory(
    std::filesystem::path directory) {
    return std::make_shared<FileKeyValueStoreFactory>(std::move(directory));
}

}  // namespace vesk
