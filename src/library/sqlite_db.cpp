#include "library/sqlite_db.h"

#include <cstring>

#include <sqlite3.h>

#include <utility>

namespace ovixlog {

SqliteStatement::SqliteStatement(sqlite3* db, const std::string& sql) {
  if (db == nullptr || sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt_, nullptr) != SQLITE_OK) {
    sqlite3_finalize(stmt_);
    stmt_ = nullptr;
  }
}

SqliteStatement::~SqliteStatement() { sqlite3_finalize(stmt_); }

SqliteStatement::SqliteStatement(SqliteStatement&& other) noexcept
    : stmt_(std::exchange(other.stmt_, nullptr)), lastCode_(other.lastCode_) {}

SqliteStatement& SqliteStatement::operator=(SqliteStatement&& other) noexcept {
  if (this != &other) {
    sqlite3_finalize(stmt_);
    stmt_ = std::exchange(other.stmt_, nullptr);
    lastCode_ = other.lastCode_;
  }
  return *this;
}

SqliteStatement& SqliteStatement::Bind(int index, int64_t value) {
  if (stmt_ != nullptr)
    sqlite3_bind_int64(stmt_, index, value);
  return *this;
}

SqliteStatement& SqliteStatement::Bind(int index, const std::string& value) {
  if (stmt_ != nullptr)
    sqlite3_bind_text(stmt_, index, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
  return *this;
}

SqliteStatement& SqliteStatement::Bind(int index, const std::optional<std::string>& value) {
  return value ? Bind(index, *value) : BindNull(index);
}

SqliteStatement& SqliteStatement::BindNull(int index) {
  if (stmt_ != nullptr)
    sqlite3_bind_null(stmt_, index);
  return *this;
}

bool SqliteStatement::Step() {
  if (stmt_ == nullptr) {
    lastCode_ = SQLITE_MISUSE;
    return false;
  }
  lastCode_ = sqlite3_step(stmt_);
  return lastCode_ == SQLITE_ROW;
}

bool SqliteStatement::Run() {
  while (Step()) {
  }
  return Done();
}

void SqliteStatement::Reset() {
  if (stmt_ != nullptr) {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }
}

int64_t SqliteStatement::Int(int column) const { return sqlite3_column_int64(stmt_, column); }

std::string SqliteStatement::Text(int column) const {
  const auto* text = sqlite3_column_blob(stmt_, column);
  const int size = sqlite3_column_bytes(stmt_, column);
  if (text == nullptr || size <= 0)
    return std::string();
  return std::string(static_cast<const char*>(text), static_cast<size_t>(size));
}

std::optional<std::string> SqliteStatement::OptionalText(int column) const {
  if (IsNull(column))
    return std::nullopt;
  return Text(column);
}

bool SqliteStatement::IsNull(int column) const {
  return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

SqliteDb::~SqliteDb() { Close(); }

bool SqliteDb::Open(const std::string& path, std::string& error) {
  Close();
  const int code = sqlite3_open_v2(path.c_str(), &db_,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  if (code != SQLITE_OK) {
    error = db_ != nullptr ? LastError() : sqlite3_errstr(code);
    Close();
    return false;
  }
  sqlite3_extended_result_codes(db_, 0);
  return true;
}

void SqliteDb::Close() {
  if (db_ != nullptr)
    sqlite3_close_v2(db_);
  db_ = nullptr;
}

bool SqliteDb::Exec(const std::string& sql, std::string& error) {
  char* message = nullptr;
  if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK)
    return true;
  error = LastError();
  sqlite3_free(message);
  return false;
}

void SqliteDb::SetBusyTimeout(int milliseconds) {
  busyTimeoutMs_ = milliseconds;
  sqlite3_busy_timeout(db_, milliseconds);
}

std::string SqliteDb::LastError() const {
  if (db_ == nullptr)
    return "no database";
  std::string text = sqlite3_errmsg(db_);
  const int code = sqlite3_errcode(db_) & 0xFF;
  if (code == SQLITE_BUSY || code == SQLITE_LOCKED) {
    text += ": another program kept it locked for more than " +
            std::to_string((busyTimeoutMs_ + 999) / 1000) + " s";
  }
  const int system = sqlite3_system_errno(db_);
  if (system != 0 && (code == SQLITE_IOERR || code == SQLITE_FULL || code == SQLITE_CANTOPEN))
    text += std::string(" (") + std::strerror(system) + ")";
  return text;
}

int SqliteDb::LastCode() const { return db_ != nullptr ? sqlite3_errcode(db_) & 0xFF : SQLITE_CANTOPEN; }

int64_t SqliteDb::LastInsertId() const { return sqlite3_last_insert_rowid(db_); }

}  // namespace ovixlog
