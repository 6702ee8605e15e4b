// A small owner of an SQLite connection and its prepared statements; errors come back as
// text naming the cause, never as exceptions.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace ovixlog {

class SqliteStatement {
 public:
  SqliteStatement() = default;
  SqliteStatement(sqlite3* db, const std::string& sql);
  ~SqliteStatement();
  SqliteStatement(SqliteStatement&& other) noexcept;
  SqliteStatement& operator=(SqliteStatement&& other) noexcept;
  SqliteStatement(const SqliteStatement&) = delete;
  SqliteStatement& operator=(const SqliteStatement&) = delete;

  bool Ok() const { return stmt_ != nullptr; }
  // Parameters count from 1.
  SqliteStatement& Bind(int index, int64_t value);
  SqliteStatement& Bind(int index, const std::string& value);
  SqliteStatement& Bind(int index, const std::optional<std::string>& value);
  SqliteStatement& BindNull(int index);
  // Steps once: true while a row is there; `done` tells a finished statement from an error.
  bool Step();
  bool Done() const { return lastCode_ == 101; }  // SQLITE_DONE
  // Runs to the end; false on an error.
  bool Run();
  void Reset();

  int64_t Int(int column) const;
  std::string Text(int column) const;
  std::optional<std::string> OptionalText(int column) const;
  bool IsNull(int column) const;

 private:
  sqlite3_stmt* stmt_ = nullptr;
  int lastCode_ = 0;
};

class SqliteDb {
 public:
  SqliteDb() = default;
  ~SqliteDb();
  SqliteDb(const SqliteDb&) = delete;
  SqliteDb& operator=(const SqliteDb&) = delete;

  // Opens (creating) the file; false with `error` set on failure.
  bool Open(const std::string& path, std::string& error);
  void Close();
  bool IsOpen() const { return db_ != nullptr; }
  // How long a statement waits for another connection's lock before it fails.
  void SetBusyTimeout(int milliseconds);
  // Runs statements without results; false with `error` set as LastError says.
  bool Exec(const std::string& sql, std::string& error);
  SqliteStatement Prepare(const std::string& sql) { return SqliteStatement(db_, sql); }
  // SQLite's message for the latest call, told in full: a lock held past the wait says so, and
  // a failed read or write names the system's reason ("disk I/O error (File too large)").
  std::string LastError() const;
  // SQLite's primary result code of the latest call (SQLITE_BUSY, SQLITE_NOTADB ...).
  int LastCode() const;
  int64_t LastInsertId() const;
  sqlite3* Handle() { return db_; }

 private:
  sqlite3* db_ = nullptr;
  int busyTimeoutMs_ = 0;
};

}  // namespace ovixlog
