#include "platform/linux/sqlite_key_value_store.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <system_error>
#include <thread>

#include "core/console_line.hpp"
#include "core/expected.hpp"
#include "core/in_memory_key_value_store.hpp"

namespace vesk {
namespace {

constexpr std::string_view kCategory = "VeskStore";

// The kind of each stored value; part of the file format, never renumbered.
enum class Kind : int { string = 1, boolean = 2, integer = 3, stringArray = 4, json = 5 };

// WAL with synchronous=NORMAL: a commit survives a crash of the process (not of the
// machine) without an fsync per write.
constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS kv("
    "key BLOB PRIMARY KEY NOT NULL, kind INTEGER NOT NULL, value) WITHOUT ROWID;";

using OpenFailure = SqliteKeyValueStore::OpenFailure;

bool isNotADatabase(int rc) {
    int primary = rc & 0xFF;
    return primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT;
}

Unexpected<OpenFailure> failure(bool notADatabase, std::string message) {
    return unexpected(OpenFailure{notADatabase, std::move(message)});
}

std::string errorText(sqlite3* db, int rc) {
    return db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
}

// Each string as a 32-bit little-endian length and its bytes.
std::string encodeArray(const std::vector<std::string>& items) {
    std::string out;
    for (const auto& item : items) {
        auto n = static_cast<std::uint32_t>(item.size());
        for (int i = 0; i < 4; ++i) {
            out += static_cast<char>((n >> (8 * i)) & 0xFF);
        }
        out += item;
    }
    return out;
}

std::optional<std::vector<std::string>> decodeArray(std::string_view bytes) {
    std::vector<std::string> items;
    while (!bytes.empty()) {
        if (bytes.size() < 4) {
            return std::nullopt;
        }
        std::uint32_t n = 0;
        for (int i = 0; i < 4; ++i) {
            n |= static_cast<std::uint32_t>(
                     static_cast<unsigned char>(bytes[static_cast<std::size_t>(i)]))
                 << (8 * i);
        }
        bytes.remove_prefix(4);
        if (n > bytes.size()) {
            return std::nullopt;
        }
        items.emplace_back(bytes.substr(0, n));
        bytes.remove_prefix(n);
    }
    return items;
}

int bindBytes(sqlite3_stmt* stmt, int index, std::string_view bytes) {
    // A null pointer would bind NULL instead of an empty blob.
    const char* data = bytes.data() != nullptr ? bytes.data() : "";
    return sqlite3_bind_blob64(stmt, index, data, bytes.size(), SQLITE_STATIC);
}

std::string_view columnBytes(sqlite3_stmt* stmt, int index) {
    const void* data = sqlite3_column_blob(stmt, index);
    int n = sqlite3_column_bytes(stmt, index);
    if (data == nullptr || n <= 0) {
        return {};
    }
    return {static_cast<const char*>(data), static_cast<std::size_t>(n)};
}

// Waits for another connection's lock in short steps, up to the busy timeout. SQLite's own
// timeout backs off to 100 ms polls, so a process that keeps writing (the host app) could
// starve a waiting one (the notification extension); polling every 2 ms shares the lock.
int waitWhileBusy(void* /*unused*/, int calls) {
    constexpr int kStepMs = 2;
    if (calls >= SqliteKeyValueStore::kBusyTimeoutMs / kStepMs) {
        return 0;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(calls < 10 ? 1 : kStepMs));
    return 1;
}

int setUp(sqlite3* db) {
    int rc = sqlite3_exec(db, "PRAGMA synchronous=NORMAL; PRAGMA journal_mode=WAL", nullptr,
                          nullptr, nullptr);
    if (rc == SQLITE_OK) {
        rc = sqlite3_exec(db, kSchema, nullptr, nullptr, nullptr);
    }
    return rc;
}

// Switching a new file to WAL needs an exclusive lock, and SQLite answers "busy" at once,
// without its busy handler, when two processes open the same new file together (one of
// them must give way to avoid a deadlock). So setting up retries for the busy timeout.
template <class Step>
int retryWhileBusy(Step step) {
    using namespace std::chrono;
    auto deadline = steady_clock::now() + milliseconds(SqliteKeyValueStore::kBusyTimeoutMs);
    auto pause = milliseconds(1);
    while (true) {
        int rc = step();
        int primary = rc & 0xFF;
        if ((primary != SQLITE_BUSY && primary != SQLITE_LOCKED) ||
            steady_clock::now() >= deadline) {
            return rc;
        }
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, milliseconds(50));
    }
}

Expected<sqlite::Database, OpenFailure> openDatabase(const std::filesystem::path& file) {
    // Created here first so the file (and the WAL files SQLite derives from it) are
    // private to the user: the store holds a token.
    int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        return failure(false, std::strerror(errno));
    }
    ::close(fd);

    sqlite3* raw = nullptr;
    int rc =
        sqlite3_open_v2(file.c_str(), &raw,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    sqlite::Database db(raw);
    if (rc != SQLITE_OK) {
        return failure(isNotADatabase(rc), errorText(db.get(), rc));
    }
    sqlite3_extended_result_codes(db.get(), 1);
    sqlite3_busy_handler(db.get(), waitWhileBusy, nullptr);

    rc = retryWhileBusy([&] { return setUp(db.get()); });
    if (rc != SQLITE_OK) {
        return failure(isNotADatabase(rc), errorText(db.get(), rc));
    }

    sqlite3_stmt* check = nullptr;
    rc = sqlite3_prepare_v2(db.get(), "PRAGMA quick_check", -1, &check, nullptr);
    sqlite::Statement checkStmt(check);
    if (rc != SQLITE_OK) {
        return failure(isNotADatabase(rc), errorText(db.get(), rc));
    }
    rc = retryWhileBusy([&] {
        sqlite3_reset(check);
        return sqlite3_step(check);
    });
    if (rc != SQLITE_ROW) {
        return failure(isNotADatabase(rc), errorText(db.get(), rc));
    }
    std::string_view verdict = columnBytes(check, 0);
    if (verdict != "ok") {
        return failure(true, "integrity check: " + std::string(verdict));
    }
    return db;
}

std::filesystem::path withSuffix(const std::filesystem::path& file, std::string_view suffix) {
    auto p = file;
    p += std::string(suffix);
    return p;
}

// Moves the bad file and its WAL out of the way; the shared-memory index is only a cache.
bool moveAside(const std::filesystem::path& file, const std::filesystem::path& aside) {
    std::error_code ec;
    std::filesystem::rename(file, aside, ec);
    if (ec) {
        return false;
    }
    std::error_code ignored;
    std::filesystem::rename(withSuffix(file, "-wal"), withSuffix(aside, "-wal"), ignored);
    std::filesystem::remove(withSuffix(file, "-shm"), ignored);
    return true;
}

}  // namespace

std::shared_ptr<KeyValueStore> SqliteKeyValueStore::open(const std::filesystem::path& file,
                                                         std::string_view label) {
    std::string prefix = "store \"" + std::string(label) + "\": ";
    auto inMemory = [&](const std::string& why) -> std::shared_ptr<KeyValueStore> {
        consoleLine(kCategory, prefix + why + "; keeping its values in memory for this run");
        return std::make_shared<InMemoryKeyValueStore>();
    };
    auto make = [&](sqlite::Database db) -> std::shared_ptr<KeyValueStore> {
        std::shared_ptr<SqliteKeyValueStore> store(
            new SqliteKeyValueStore(std::move(db), std::string(label)));
        if (!store->prepareStatements()) {
            return nullptr;
        }
        return store;
    };

    auto db = openDatabase(file);
    if (db) {
        if (auto store = make(std::move(db).value())) {
            return store;
        }
        return inMemory("cannot prepare " + file.string());
    }
    if (!db.error().notADatabase) {
        return inMemory("cannot open " + file.string() + " (" + db.error().message + ")");
    }

    auto aside = withSuffix(file, ".corrupt");
    std::string what = file.string() + " is not a usable database (" + db.error().message + ")";
    if (!moveAside(file, aside)) {
        return inMemory(what + " and cannot be moved aside");
    }
    auto fresh = openDatabase(file);
    if (!fresh) {
        return inMemory(what + "; moved it to " + aside.string() + " but cannot start a new one (" +
                        fresh.error().message + ")");
    }
    auto store = make(std::move(fresh).value());
    if (!store) {
        return inMemory(what + "; moved it to " + aside.string() + " but cannot start a new one");
    }
    consoleLine(kCategory, prefix + what + "; moved it to " + aside.string() + ", starting empty");
    return store;
}

SqliteKeyValueStore::SqliteKeyValueStore(sqlite::Database db, std::string label)
    : label_(std::move(label)), db_(std::move(db)) {}

bool SqliteKeyValueStore::prepareStatements() {
    auto prepare = [&](const char* sql, sqlite::Statement& into) {
        sqlite3_stmt* raw = nullptr;
        int rc = sqlite3_prepare_v3(db_.get(), sql, -1, SQLITE_PREPARE_PERSISTENT, &raw, nullptr);
        into.reset(raw);
        return rc == SQLITE_OK;
    };
    return prepare("SELECT kind, value FROM kv WHERE key = ?1", select_) &&
           prepare(
               "INSERT INTO kv(key, kind, value) VALUES(?1, ?2, ?3) "
               "ON CONFLICT(key) DO UPDATE SET kind = excluded.kind, value = excluded.value",
               upsert_) &&
           prepare("DELETE FROM kv WHERE key = ?1", delete_) &&
           prepare("BEGIN IMMEDIATE", begin_) && prepare("COMMIT", commit_) &&
           prepare("ROLLBACK", rollback_);
}

void SqliteKeyValueStore::report(std::string_view what, int rc) const {
    consoleLine(kCategory, "store \"" + label_ + "\": " + std::string(what) + " failed (" +
                               errorText(db_.get(), rc) + ")");
}

bool SqliteKeyValueStore::calledFromUpdate() const {
    if (updatingThread_.load() == std::this_thread::get_id()) {
        consoleLine(kCategory,
                    "store \"" + label_ + "\": called from inside its own update; the call fails");
        return true;
    }
    return false;
}

bool SqliteKeyValueStore::runStep(const sqlite::Statement& stmt, std::string_view what) {
    sqlite::StatementUse use(stmt);
    int rc = sqlite3_step(use.get());
    if (rc == SQLITE_DONE || rc == SQLITE_ROW) {
        return true;
    }
    report(what, rc);
    return false;
}

bool SqliteKeyValueStore::read(std::string_view key, std::optional<StoreValue>& out) const {
    out.reset();
    sqlite::StatementUse use(select_);
    sqlite3_stmt* stmt = use.get();
    bindBytes(stmt, 1, key);
    int rc = sqlite3_step(stmt);
    if (rc == SQLITE_DONE) {
        return true;
    }
    if (rc != SQLITE_ROW) {
        report("read", rc);
        return false;
    }
    // A kind this version does not know, or a damaged array, reads as absent.
    switch (static_cast<Kind>(sqlite3_column_int(stmt, 0))) {
        case Kind::string:
            out.emplace(std::in_place_type<std::string>, columnBytes(stmt, 1));
            break;
        case Kind::boolean:
            out.emplace(std::in_place_type<bool>, sqlite3_column_int64(stmt, 1) != 0);
            break;
        case Kind::integer:
            out.emplace(std::in_place_type<std::int64_t>, sqlite3_column_int64(stmt, 1));
            break;
        case Kind::stringArray:
            if (auto items = decodeArray(columnBytes(stmt, 1))) {
                out.emplace(std::move(*items));
            }
            break;
        case Kind::json:
            out.emplace(JsonText{std::string(columnBytes(stmt, 1))});
            break;
    }
    return true;
}

bool SqliteKeyValueStore::write(std::string_view key, const StoreValue& value) {
    sqlite::StatementUse use(upsert_);
    sqlite3_stmt* stmt = use.get();
    bindBytes(stmt, 1, key);
    std::string encoded;
    std::visit(
        [&](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::string>) {
                sqlite3_bind_int(stmt, 2, static_cast<int>(Kind::string));
                bindBytes(stmt, 3, v);
            } else if constexpr (std::is_same_v<T, bool>) {
                sqlite3_bind_int(stmt, 2, static_cast<int>(Kind::boolean));
                sqlite3_bind_int(stmt, 3, v ? 1 : 0);
            } else if constexpr (std::is_same_v<T, std::int64_t>) {
                sqlite3_bind_int(stmt, 2, static_cast<int>(Kind::integer));
                sqlite3_bind_int64(stmt, 3, v);
            } else if constexpr (std::is_same_v<T, std::vector<std::string>>) {
                sqlite3_bind_int(stmt, 2, static_cast<int>(Kind::stringArray));
                encoded = encodeArray(v);
                bindBytes(stmt, 3, encoded);
            } else {
                sqlite3_bind_int(stmt, 2, static_cast<int>(Kind::json));
                bindBytes(stmt, 3, v.text);
            }
        },
        value);
    int rc = sqlite3_step(stmt);
    if (rc != SQLITE_DONE) {
        report("write", rc);
        return false;
    }
    return true;
}

bool SqliteKeyValueStore::erase(std::string_view key) {
    sqlite::StatementUse use(delete_);
    bindBytes(use.get(), 1, key);
    int rc = sqlite3_step(use.get());
    if (rc != SQLITE_DONE) {
        report("remove", rc);
        return false;
    }
    return true;
}

std::optional<StoreValue> SqliteKeyValueStore::get(std::string_view key) const {
    if (calledFromUpdate()) {
        return std::nullopt;
    }
    std::lock_guard lock(mutex_);
    std::optional<StoreValue> value;
    (void)read(key, value);  // a failed read has been reported and reads as absent
    return value;
}

bool SqliteKeyValueStore::set(std::string_view key, StoreValue value) {
    if (calledFromUpdate()) {
        return false;
    }
    std::lock_guard lock(mutex_);
    return write(key, value);
}

bool SqliteKeyValueStore::remove(std::string_view key) {
    if (calledFromUpdate()) {
        return false;
    }
    std::lock_guard lock(mutex_);
    return erase(key);
}

bool SqliteKeyValueStore::apply(const std::vector<StoreChange>& changes) {
    if (calledFromUpdate()) {
        return false;
    }
    std::lock_guard lock(mutex_);
    if (!runStep(begin_, "begin")) {
        return false;
    }
    for (const auto& [key, value] : changes) {
        if (!(value ? write(key, *value) : erase(key))) {
            (void)runStep(rollback_, "rollback");
            return false;
        }
    }
    if (!runStep(commit_, "commit")) {
        (void)runStep(rollback_, "rollback");
        return false;
    }
    return true;
}

bool SqliteKeyValueStore::update(std::string_view key, const Updater& fn) {
    if (calledFromUpdate()) {
        return false;
    }
    std::lock_guard lock(mutex_);
    if (!runStep(begin_, "begin")) {
        return false;
    }
    auto rollback = [&] {
        (void)runStep(rollback_, "rollback");
        return false;
    };
    std::optional<StoreValue> old;
    if (!read(key, old)) {
        return rollback();  // never let `fn` overwrite a value it could not see
    }
    std::optional<StoreValue> next;
    updatingThread_.store(std::this_thread::get_id());
    try {
        next = fn(old);
    } catch (...) {
        updatingThread_.store(std::thread::id{});
        consoleLine(kCategory,
                    "store \"" + label_ + "\": an update callback threw; nothing was stored");
        return rollback();
    }
    updatingThread_.store(std::thread::id{});
    if (next != old) {
        bool ok = next ? write(key, *next) : erase(key);
        if (!ok) {
            return rollback();
        }
    }
    if (!runStep(commit_, "commit")) {
        return rollback();
    }
    return true;
}

}  // namespace vesk
