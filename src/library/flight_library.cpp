#include "library/flight_library.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <thread>
#include <nlohmann/json.hpp>

namespace ovixlog {
namespace {

using Json = nlohmann::ordered_json;

// Version 1: files and their flights.
constexpr const char* kSchema1 = R"(
CREATE TABLE files (
  id INTEGER PRIMARY KEY,
  path BLOB NOT NULL UNIQUE,
  sha256 TEXT NOT NULL,
  size INTEGER NOT NULL,
  mtime_ns INTEGER NOT NULL,
  model TEXT NOT NULL,
  aircraft TEXT,
  duplicate_of INTEGER REFERENCES files(id) ON DELETE SET NULL
);
CREATE INDEX files_sha256 ON files(sha256);
CREATE TABLE flights (
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  file_id INTEGER NOT NULL REFERENCES files(id) ON DELETE CASCADE,
  run INTEGER NOT NULL,
  start_ms INTEGER NOT NULL,
  start TEXT,
  start_utc_ms INTEGER,
  aircraft TEXT,
  figures TEXT NOT NULL
);
CREATE INDEX flights_file ON flights(file_id);
)";

// The migrations, each from the version before it.
const char* const kMigrations[] = {kSchema1};

// Makes the folders above `path`.
bool MakeParents(const std::string& path, std::string& error) {
  for (size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    const std::string folder = path.substr(0, slash);
    if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) {
      error = "cannot make " + folder + ": " + std::strerror(errno);
      return false;
    }
  }
  return true;
}

std::string Stamp() {
  const std::time_t now = std::time(nullptr);
  std::tm parts{};
  localtime_r(&now, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &parts);
  return text;
}

class Transaction {
 public:
  explicit Transaction(SqliteDb& db) : db_(db) {}
  ~Transaction() {
    if (open_) {
      std::string ignored;
      db_.Exec("ROLLBACK", ignored);
    }
  }
  // IMMEDIATE: the write lock is taken at once, so two writers queue on the busy timeout
  // instead of one failing part way.
  bool Begin(std::string& error) { return open_ = db_.Exec("BEGIN IMMEDIATE", error); }
  bool Commit(std::string& error) {
    if (!db_.Exec("COMMIT", error))
      return false;
    open_ = false;
    return true;
  }

 private:
  SqliteDb& db_;
  bool open_ = false;
};

FlightRow ReadFlight(const SqliteStatement& q) {
  FlightRow row;
  row.id = q.Int(0);
  row.file = q.Text(1);
  row.run = static_cast<int>(q.Int(2));
  row.aircraft = q.OptionalText(3);
  row.model = q.Text(4);
  row.start = q.OptionalText(5);
  row.figures = q.Text(6);
  return row;
}

// A flight's columns as ReadFlight takes them, then its start in UTC for the order.
constexpr const char* kFlightColumns =
    "SELECT flights.id, files.path, flights.run, flights.aircraft, files.model, flights.start, "
    "flights.figures, flights.start_utc_ms FROM flights JOIN files ON files.id = flights.file_id ";

void Flatten(const std::string& prefix, const Json& value,
             std::vector<std::pair<std::string, std::string>>& out) {
  if (value.is_object()) {
    for (auto it = value.begin(); it != value.end(); ++it)
      Flatten(prefix.empty() ? it.key() : prefix + "_" + it.key(), it.value(), out);
    return;
  }
  if (value.is_null())
    out.emplace_back(prefix, std::string());
  else if (value.is_string())
    out.emplace_back(prefix, value.get<std::string>());
  else
    out.emplace_back(prefix, value.dump(-1, ' ', false, Json::error_handler_t::replace));
}

}  // namespace

std::string LibraryPath(const std::optional<std::string>& option) {
  if (option && !option->empty())
    return *option;
  if (const char* env = std::getenv("OVIXLOG_LIBRARY"); env != nullptr && *env != '\0')
    return env;
  if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && data[0] == '/')
    return std::string(data) + "/ovixlog/library.sqlite";
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
    return std::string(home) + "/.local/share/ovixlog/library.sqlite";
  return std::string();
}

std::string FlightLibrary::Fail(const std::string& what) {
  return path_ + ": " + what + ": " + db_.LastError();
}

bool FlightLibrary::Open(const std::string& path, std::string& error, std::string& notice) {
  path_ = path;
  if (path_.empty()) {
    error = "no place for the library: give --db FILE or set HOME";
    return false;
  }
  if (!MakeParents(path_, error))
    return false;
  bool damaged = false;
  // Two programs opening the library at once: SQLite may refuse one of them as busy at once,
  // without waiting (switching to WAL, or a read turning into a write), where its wait was meant
  // to queue them. Such a refusal is tried again until the wait is over.
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyTimeoutMs);
  bool opened = OpenOnce(error, damaged);
  while (!opened && !damaged && error.find("database is locked") != std::string::npos &&
         std::chrono::steady_clock::now() < deadline) {
    db_.Close();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    opened = OpenOnce(error, damaged);
  }
  if (opened)
    return true;
  if (!damaged)
    return false;
  db_.Close();
  const std::string aside = path_ + ".damaged-" + Stamp();
  if (std::rename(path_.c_str(), aside.c_str()) != 0) {
    error = path_ + ": damaged (" + error + "), and it cannot be moved aside: " +
            std::strerror(errno);
    return false;
  }
  for (const char* suffix : {"-wal", "-shm"}) {
    const std::string side = path_ + suffix;
    std::rename(side.c_str(), (aside + suffix).c_str());
  }
  notice = path_ + ": the library was damaged (" + error + "); it was kept as " + aside +
           " and a new one is built from your files";
  error.clear();
  return OpenOnce(error, damaged);
}

bool FlightLibrary::OpenOnce(std::string& error, bool& damaged) {
  damaged = false;
  std::string cause;
  if (!db_.Open(path_, cause)) {
    error = path_ + ": " + cause;
    return false;
  }
  db_.SetBusyTimeout(kBusyTimeoutMs);
  SqliteStatement check = db_.Prepare("PRAGMA integrity_check");
  if (!check.Ok() || !check.Step()) {
    const int code = db_.LastCode();
    error = Fail("cannot be read");
    damaged = code == SQLITE_NOTADB || code == SQLITE_CORRUPT;
    return false;
  }
  if (check.Text(0) != "ok") {
    error = "integrity check: " + check.Text(0);
    damaged = true;
    return false;
  }
  check = SqliteStatement();
  std::string cause2;
  if (!db_.Exec("PRAGMA journal_mode=WAL; PRAGMA foreign_keys=ON", cause2)) {
    error = path_ + ": " + cause2;
    return false;
  }
  return Migrate(error);
}

bool FlightLibrary::Migrate(std::string& error) {
  Transaction transaction(db_);
  std::string cause;
  if (!transaction.Begin(cause)) {
    error = path_ + ": " + cause;
    return false;
  }
  SqliteStatement version = db_.Prepare("PRAGMA user_version");
  if (!version.Step()) {
    error = Fail("cannot read the schema version");
    return false;
  }
  const int64_t current = version.Int(0);
  version = SqliteStatement();
  const int64_t known = static_cast<int64_t>(std::size(kMigrations));
  if (current > known) {
    error = path_ + ": made by a newer OvixLog (schema " + std::to_string(current) + ")";
    return false;
  }
  if (current == known)
    return true;  // the rollback of an empty transaction changes nothing
  for (int64_t v = current; v < known; ++v) {
    if (!db_.Exec(kMigrations[v], cause)) {
      error = path_ + ": cannot build the library: " + cause;
      return false;
    }
  }
  if (!db_.Exec("PRAGMA user_version = " + std::to_string(known), cause) ||
      !transaction.Commit(cause)) {
    error = path_ + ": cannot build the library: " + cause;
    return false;
  }
  return true;
}

std::optional<LibraryFile> FlightLibrary::FindFile(const std::string& path) {
  SqliteStatement q = db_.Prepare(
      "SELECT id, sha256, size, mtime_ns, duplicate_of, "
      "(SELECT count(*) FROM flights WHERE file_id = files.id) FROM files WHERE path = ?");
  q.Bind(1, path);
  if (!q.Step())
    return std::nullopt;
  LibraryFile file;
  file.id = q.Int(0);
  file.identity = {path, q.Text(1), q.Int(2), q.Int(3)};
  if (!q.IsNull(4))
    file.duplicateOf = q.Int(4);
  file.flights = q.Int(5);
  return file;
}

std::optional<std::string> FlightLibrary::OtherPathWithContent(const std::string& sha256,
                                                               const std::string& path) {
  SqliteStatement q = db_.Prepare(
      "SELECT path FROM files WHERE sha256 = ? AND path <> ? AND duplicate_of IS NULL "
      "ORDER BY id LIMIT 1");
  q.Bind(1, sha256).Bind(2, path);
  if (!q.Step())
    return std::nullopt;
  return q.Text(0);
}

bool FlightLibrary::TouchFile(const FileIdentity& identity, std::string& error) {
  SqliteStatement q = db_.Prepare("UPDATE files SET size = ?, mtime_ns = ? WHERE path = ?");
  q.Bind(1, identity.size).Bind(2, identity.mtimeNs).Bind(3, identity.path);
  if (!q.Run()) {
    error = Fail("cannot write");
    return false;
  }
  return true;
}

bool FlightLibrary::StoreFile(const FileIdentity& identity, const std::string& model,
                              const std::optional<std::string>& aircraft,
                              const std::vector<IndexedRun>& runs, IndexResult& result,
                              std::string& error, const std::optional<std::string>& recorded) {
  Transaction transaction(db_);
  std::string cause;
  if (!transaction.Begin(cause)) {
    error = path_ + ": " + cause;
    return false;
  }
  auto failed = [&](const char* what) {
    error = Fail(what);
    return false;
  };
  const std::optional<LibraryFile> known = FindFile(identity.path);
  const std::optional<std::string> other = OtherPathWithContent(identity.sha256, identity.path);
  result = IndexResult{};
  if (other) {
    SqliteStatement owner = db_.Prepare("SELECT id FROM files WHERE path = ?");
    owner.Bind(1, *other);
    if (!owner.Step())
      return failed("cannot read");
    const int64_t ownerId = owner.Int(0);
    owner = SqliteStatement();
    struct stat info {};
    if (::stat(other->c_str(), &info) != 0 && errno == ENOENT) {
      // The content's earlier file is gone: it was moved here, and its flights follow it.
      if (known) {
        SqliteStatement forget = db_.Prepare("DELETE FROM files WHERE id = ?");
        forget.Bind(1, known->id);
        if (!forget.Run())
          return failed("cannot write");
      }
      SqliteStatement move =
          db_.Prepare("UPDATE files SET path = ?, size = ?, mtime_ns = ? WHERE id = ?");
      move.Bind(1, identity.path).Bind(2, identity.size).Bind(3, identity.mtimeNs).Bind(4, ownerId);
      if (!move.Run())
        return failed("cannot write");
      result.outcome = IndexOutcome::kMoved;
      result.duplicateOf = *other;
      return transaction.Commit(cause) || failed("cannot commit");
    }
    if (known) {
      SqliteStatement drop = db_.Prepare("DELETE FROM flights WHERE file_id = ?");
      drop.Bind(1, known->id);
      SqliteStatement mark = db_.Prepare(
          "UPDATE files SET sha256 = ?, size = ?, mtime_ns = ?, duplicate_of = ? WHERE id = ?");
      mark.Bind(1, identity.sha256).Bind(2, identity.size).Bind(3, identity.mtimeNs);
      mark.Bind(4, ownerId).Bind(5, known->id);
      if (!drop.Run() || !mark.Run())
        return failed("cannot write");
    } else {
      SqliteStatement add = db_.Prepare(
          "INSERT INTO files (path, sha256, size, mtime_ns, model, aircraft, duplicate_of) "
          "VALUES (?, ?, ?, ?, ?, ?, ?)");
      add.Bind(1, identity.path).Bind(2, identity.sha256).Bind(3, identity.size);
      add.Bind(4, identity.mtimeNs).Bind(5, model).Bind(6, aircraft).Bind(7, ownerId);
      if (!add.Run())
        return failed("cannot write");
    }
    result.outcome = IndexOutcome::kDuplicate;
    result.duplicateOf = *other;
    return transaction.Commit(cause) || failed("cannot commit");
  }
  if (known && !known->duplicateOf && known->identity.sha256 == identity.sha256 && !aircraft) {
    result.outcome = IndexOutcome::kUnchanged;
    if (!TouchFile(identity, error))
      return false;
    return transaction.Commit(cause) || failed("cannot commit");
  }

  int64_t fileId = 0;
  std::optional<std::string> fileAircraft = aircraft ? aircraft : recorded;
  std::map<int64_t, int64_t> oldByStart;  // start_ms -> flight id
  if (known) {
    fileId = known->id;
    SqliteStatement update = db_.Prepare(
        "UPDATE files SET sha256 = ?, size = ?, mtime_ns = ?, model = ?, "
        "aircraft = coalesce(?, aircraft, ?), duplicate_of = NULL WHERE id = ? RETURNING aircraft");
    update.Bind(1, identity.sha256).Bind(2, identity.size).Bind(3, identity.mtimeNs);
    update.Bind(4, model).Bind(5, aircraft).Bind(6, recorded).Bind(7, fileId);
    if (!update.Step())
      return failed("cannot write");
    fileAircraft = update.OptionalText(0);
    update = SqliteStatement();
    SqliteStatement old = db_.Prepare("SELECT start_ms, id FROM flights WHERE file_id = ?");
    old.Bind(1, fileId);
    while (old.Step())
      oldByStart.emplace(old.Int(0), old.Int(1));
    if (!old.Done())
      return failed("cannot read");
  } else {
    SqliteStatement add = db_.Prepare(
        "INSERT INTO files (path, sha256, size, mtime_ns, model, aircraft) VALUES (?, ?, ?, ?, ?, ?)");
    add.Bind(1, identity.path).Bind(2, identity.sha256).Bind(3, identity.size);
    add.Bind(4, identity.mtimeNs).Bind(5, model).Bind(6, fileAircraft);
    if (!add.Run())
      return failed("cannot write");
    fileId = db_.LastInsertId();
  }

  SqliteStatement keep = db_.Prepare(
      "UPDATE flights SET run = ?, start = ?, start_utc_ms = ?, figures = ?, "
      "aircraft = coalesce(?, aircraft) WHERE id = ?");
  SqliteStatement insert = db_.Prepare(
      "INSERT INTO flights (file_id, run, start_ms, start, start_utc_ms, aircraft, figures) "
      "VALUES (?, ?, ?, ?, ?, ?, ?)");
  for (size_t i = 0; i < runs.size(); ++i) {
    const IndexedRun& run = runs[i];
    const auto old = oldByStart.find(run.startMs);
    if (old != oldByStart.end()) {
      keep.Reset();
      keep.Bind(1, static_cast<int64_t>(i)).Bind(2, run.start);
      if (run.startUtcMs)
        keep.Bind(3, *run.startUtcMs);
      keep.Bind(4, run.figures).Bind(5, aircraft).Bind(6, old->second);
      if (!keep.Run())
        return failed("cannot write");
      oldByStart.erase(old);
      continue;
    }
    insert.Reset();
    insert.Bind(1, fileId).Bind(2, static_cast<int64_t>(i)).Bind(3, run.startMs).Bind(4, run.start);
    if (run.startUtcMs)
      insert.Bind(5, *run.startUtcMs);
    insert.Bind(6, fileAircraft).Bind(7, run.figures);
    if (!insert.Run())
      return failed("cannot write");
  }
  SqliteStatement drop = db_.Prepare("DELETE FROM flights WHERE id = ?");
  for (const auto& [start, id] : oldByStart) {
    drop.Reset();
    drop.Bind(1, id);
    if (!drop.Run())
      return failed("cannot write");
  }
  result.outcome = IndexOutcome::kAdded;
  result.flights = static_cast<int>(runs.size());
  return transaction.Commit(cause) || failed("cannot commit");
}

std::vector<FlightRow> FlightLibrary::LoadFlights(const std::optional<std::string>& aircraft) {
  // Sorted here rather than by SQLite, whose sorter would copy every row's figures.
  SqliteStatement q =
      db_.Prepare(std::string(kFlightColumns) + (aircraft ? "WHERE flights.aircraft = ? " : ""));
  if (aircraft)
    q.Bind(1, *aircraft);
  struct Keyed {
    std::optional<int64_t> startUtcMs;
    FlightRow row;
  };
  std::vector<Keyed> keyed;
  while (q.Step()) {
    std::optional<int64_t> start;
    if (!q.IsNull(7))
      start = q.Int(7);
    keyed.push_back({start, ReadFlight(q)});
  }
  // Oldest first; those without a clock after, in the order added.
  std::sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
    if (a.startUtcMs.has_value() != b.startUtcMs.has_value())
      return a.startUtcMs.has_value();
    if (a.startUtcMs != b.startUtcMs)
      return *a.startUtcMs < *b.startUtcMs;
    return a.row.id < b.row.id;
  });
  std::vector<FlightRow> rows;
  rows.reserve(keyed.size());
  for (Keyed& k : keyed)
    rows.push_back(std::move(k.row));
  return rows;
}

std::optional<FlightRow> FlightLibrary::LoadFlight(int64_t id) {
  SqliteStatement q = db_.Prepare(std::string(kFlightColumns) + "WHERE flights.id = ?");
  q.Bind(1, id);
  if (!q.Step())
    return std::nullopt;
  return ReadFlight(q);
}

std::vector<LibraryFile> FlightLibrary::Files() {
  SqliteStatement q = db_.Prepare(
      "SELECT id, path, sha256, size, mtime_ns, duplicate_of, "
      "(SELECT count(*) FROM flights WHERE file_id = files.id) FROM files ORDER BY id");
  std::vector<LibraryFile> files;
  while (q.Step()) {
    LibraryFile file;
    file.id = q.Int(0);
    file.identity = {q.Text(1), q.Text(2), q.Int(3), q.Int(4)};
    if (!q.IsNull(5))
      file.duplicateOf = q.Int(5);
    file.flights = q.Int(6);
    files.push_back(std::move(file));
  }
  return files;
}

bool FlightLibrary::Label(const std::vector<int64_t>& ids, const std::string& aircraft,
                          std::string& error) {
  Transaction transaction(db_);
  std::string cause;
  if (!transaction.Begin(cause)) {
    error = path_ + ": " + cause;
    return false;
  }
  SqliteStatement label = db_.Prepare("UPDATE flights SET aircraft = ? WHERE id = ?");
  for (int64_t id : ids) {
    label.Reset();
    label.Bind(1, aircraft).Bind(2, id);
    if (!label.Run()) {
      error = Fail("cannot write");
      return false;
    }
    if (sqlite3_changes(db_.Handle()) == 0) {
      error = "no flight " + std::to_string(id);
      return false;
    }
  }
  if (!transaction.Commit(cause)) {
    error = path_ + ": " + cause;
    return false;
  }
  return true;
}

namespace {

// A JSON string as nlohmann's compact dump writes it (bytes that are not UTF-8 replaced). Most
// names are plain printable ASCII, which need no escaping and no library call.
void AppendJsonString(std::string& out, const std::string& text) {
  const bool plain = std::all_of(text.begin(), text.end(), [](char c) {
    return c >= 0x20 && c <= 0x7e && c != '"' && c != '\\';
  });
  if (plain) {
    out += '"';
    out += text;
    out += '"';
  } else {
    out += Json(text).dump(-1, ' ', false, Json::error_handler_t::replace);
  }
}

void AppendOptionalJsonString(std::string& out, const std::optional<std::string>& text) {
  if (text)
    AppendJsonString(out, *text);
  else
    out += "null";
}

}  // namespace

std::string FlightJson(const FlightRow& flight) {
  // The keys in this order, then the figures: the figures are this library's own compact JSON
  // object, none of whose keys is one of these, and their text follows as it is, the bytes a
  // parse and a dump would give at a fraction of the cost (a long list is mostly figures).
  const std::string& figures = flight.figures;
  std::string text;
  text.reserve(figures.size() + flight.file.size() + 128);
  text += "{\"id\":" + std::to_string(flight.id) + ",\"file\":";
  AppendJsonString(text, flight.file);
  text += ",\"run\":" + std::to_string(flight.run) + ",\"aircraft\":";
  AppendOptionalJsonString(text, flight.aircraft);
  text += ",\"model\":";
  AppendJsonString(text, flight.model);
  text += ",\"start\":";
  AppendOptionalJsonString(text, flight.start);
  if (figures.size() > 2 && figures.front() == '{' && figures.back() == '}') {
    text += ',';
    text.append(figures, 1);
  } else {
    text += '}';
  }
  return text;
}

std::vector<std::pair<std::string, std::string>> FlattenFlight(const FlightRow& flight) {
  std::vector<std::pair<std::string, std::string>> out;
  const Json object = Json::parse(FlightJson(flight), nullptr, false);
  for (auto it = object.begin(); it != object.end(); ++it) {
    if (it.value().is_array())
      out.emplace_back(it.key(), it.value().dump());
    else
      Flatten(it.key(), it.value(), out);
  }
  return out;
}

}  // namespace ovixlog
