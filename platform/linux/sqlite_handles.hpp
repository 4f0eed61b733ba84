// Owning handles for SQLite's C objects.
#pragma once

#include <sqlite3.h>

#include <memory>

namespace vesk::sqlite {

struct CloseDatabase {
    void operator()(sqlite3* db) const noexcept { sqlite3_close_v2(db); }
};
struct FinalizeStatement {
    void operator()(sqlite3_stmt* stmt) const noexcept { sqlite3_finalize(stmt); }
};

using Database = std::unique_ptr<sqlite3, CloseDatabase>;
using Statement = std::unique_ptr<sqlite3_stmt, FinalizeStatement>;

// Returns a prepared statement to its unbound, reset state when the scope ends, so the
// next use starts clean and no read transaction is left open.
class StatementUse {
public:
    explicit StatementUse(const Statement& stmt) : stmt_(stmt.get()) {}
    StatementUse(const StatementUse&) = delete;
    StatementUse& operator=(const StatementUse&) = delete;
    ~StatementUse() {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    [[nodiscard]] sqlite3_stmt* get() const { return stmt_; }

private:
    sqlite3_stmt* stmt_;
};

}  // namespace vesk::sqlite
