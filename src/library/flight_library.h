// The flight library: one SQLite database of every flight the user's files hold, with the
// figures the analysis derived and each file's identity (the SHA-256 of its content). The
// recordings stay the truth; the database is rebuilt from them when it is lost or damaged.
// Every program opens the database through this type.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "library/sqlite_db.h"

namespace ovixlog {

// Where the library lives: `option` (--db) if given, else $OVIXLOG_LIBRARY, else
// $XDG_DATA_HOME/ovixlog/library.sqlite for an absolute XDG_DATA_HOME, else
// ~/.local/share/ovixlog/library.sqlite. Empty when none can be named (no HOME).
std::string LibraryPath(const std::optional<std::string>& option);

// A file as it is on disk when it is indexed.
struct FileIdentity {
  std::string path;    // absolute
  std::string sha256;  // lower-case hex
  int64_t size = 0;
  int64_t mtimeNs = 0;
};

// One run of a file, as indexing found it.
struct IndexedRun {
  int64_t startMs = 0;
  std::optional<std::string> start;  // local ISO 8601 with offset, when the file has a clock
  std::optional<int64_t> startUtcMs;
  std::string figures;  // a JSON object: the figures of `list --json` after `start`
};

// One flight as the library keeps it, in plain values.
struct FlightRow {
  int64_t id = 0;     // stable for the life of the library; also the order of adding
  std::string file;   // absolute path
  int run = 0;        // 0 first
  std::optional<std::string> aircraft;
  std::string model;  // "5100", "3100", "7100", "8100"
  std::optional<std::string> start;
  std::string figures;  // JSON object text
};

// A file the library knows.
struct LibraryFile {
  int64_t id = 0;
  FileIdentity identity;
  std::optional<int64_t> duplicateOf;  // the file id whose content this path holds
  int64_t flights = 0;
};

enum class IndexOutcome { kAdded, kUnchanged, kDuplicate, kMoved };

struct IndexResult {
  IndexOutcome outcome = IndexOutcome::kAdded;
  int flights = 0;
  std::string duplicateOf;  // the other file's path (a moved file's earlier path)
};

class FlightLibrary {
 public:
  static constexpr int kSchemaVersion = 1;
  static constexpr int kBusyTimeoutMs = 5000;

  // Opens or creates the database at `path` (its folder too). A damaged database is moved
  // aside under a new name, told in `notice`, and a fresh one built. False with `error`
  // naming the file and the cause when it cannot be opened.
  bool Open(const std::string& path, std::string& error, std::string& notice);
  const std::string& path() const { return path_; }

  // What the library has for `path`: nothing when unknown.
  std::optional<LibraryFile> FindFile(const std::string& path);
  // Whether a content is already indexed under another path: that path.
  std::optional<std::string> OtherPathWithContent(const std::string& sha256,
                                                  const std::string& path);

  // Stores what indexing found for one file in one transaction: a path whose content another
  // known file holds becomes a duplicate (its flights leave), or takes that file's place when
  // it is gone (a moved file keeps its flights and their ids); the same content as before
  // changes nothing; new content replaces the file's flights, a run keeping its id when its
  // start is unchanged. `aircraft` names new flights (and relabels all with a value); without
  // it, new flights take the name the file had before, else `recorded` (the recording's own).
  bool StoreFile(const FileIdentity& identity, const std::string& model,
                 const std::optional<std::string>& aircraft, const std::vector<IndexedRun>& runs,
                 IndexResult& result, std::string& error,
                 const std::optional<std::string>& recorded = std::nullopt);
  // Records only that a known file was seen again with a new size or time but the same content.
  bool TouchFile(const FileIdentity& identity, std::string& error);

  // Every flight, oldest first (those without a clock after, in the order added).
  std::vector<FlightRow> LoadFlights(const std::optional<std::string>& aircraft = std::nullopt);
  std::optional<FlightRow> LoadFlight(int64_t id);
  std::vector<LibraryFile> Files();
  // Names the flights' aircraft; false when an id is unknown (nothing changed then).
  bool Label(const std::vector<int64_t>& ids, const std::string& aircraft, std::string& error);

 private:
  bool OpenOnce(std::string& error, bool& damaged);
  bool Migrate(std::string& error);
  std::string Fail(const std::string& what);

  std::string path_;
  SqliteDb db_;
};

// A flight as one JSON object text with every key of `list --json`.
std::string FlightJson(const FlightRow& flight);
// The JSON object's keys flattened for a CSV header and row: nested objects become
// `max_CHT3`, `cruise_EGT1`; lists are written as JSON text.
std::vector<std::pair<std::string, std::string>> FlattenFlight(const FlightRow& flight);

}  // namespace ovixlog
