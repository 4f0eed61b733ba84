// The file-backed key-value store: one SQLite database per suite.
//
// The database runs in WAL mode with a busy timeout, so the host app and a notification
// extension can share a suite: each write is one transaction, and `update` reads and
// writes under BEGIN IMMEDIATE, so no writer in another process slips in between.
//
// Threading: any thread; one mutex serialises the connection.
#pragma once

#include <atomic>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

#include "platform/linux/sqlite_handles.hpp"
#include "vesk/key_value_store.hpp"

namespace vesk {

class SqliteKeyValueStore final : public KeyValueStore {
  public:
    // Opens or creates the store file. Never fails: a file that is not a database is moved
    // aside to `<file>.corrupt` and a fresh one started; a file that cannot be opened at
    // all (no directory, no permission) gives a store in memory. Either way one console
    // line says what happened. `label` names the store in that line.
    static std::shared_ptr<KeyValueStore> open(const std::filesystem::path& file,
                                               std::string_view label);

    [[nodiscard]] std::optional<StoreValue> get(std::string_view key) const override;
    bool set(std::string_view key, StoreValue value) override;
    bool remove(std::string_view key) override;
    bool update(std::string_view key, const Updater& fn) override;
    bool apply(const std::vector<StoreChange>& changes) override;

    // How long a write waits for another connection's lock before it fails.
    static constexpr int kBusyTimeoutMs = 10'000;

    struct OpenFailure {
        bool notADatabase = false;
        std::string message;
    };

  private:
    SqliteKeyValueStore(sqlite::Database db, std::string label);
    [[nodiscard]] bool prepareStatements();

    // Requires: mutex_ held.
    // False when the read failed (reported), which is not the same as a missing key.
    [[nodiscard]] bool read(std::string_view key, std::optional<StoreValue>& out) const;
    [[nodiscard]] bool write(std::string_view key, const StoreValue& value);
    [[nodiscard]] bool erase(std::string_view key);
    [[nodiscard]] bool runStep(const sqlite::Statement& stmt, std::string_view what);

    bool calledFromUpdate() const;
    void report(std::string_view what, int rc) const;

    std::string label_;
    mutable std::mutex mutex_;
    sqlite::Database db_;  // declared before the statements: finalised first, closed last
    sqlite::Statement select_;
    sqlite::Statement upsert_;
    sqlite::Statement delete_;
    sqlite::Statement begin_;
    sqlite::Statement commit_;
    sqlite::Statement rollback_;
    std::atomic<std::thread::id> updatingThread_{};
};

}  // namespace vesk
