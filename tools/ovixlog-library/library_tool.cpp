#include "library_tool.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <nlohmann/json.hpp>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>
#include <thread>

#include "analysis/limits.h"
#include "file_samples.h"
#include "library/flight_figures.h"
#include "library/flight_library.h"
#include "library/sha256.h"
#include "recording/recording_catalog.h"

namespace ovixlog {
namespace {

struct Request {
  std::optional<std::string> db;
  std::string command;
  std::optional<std::string> aircraft;
  std::optional<std::string> model;
  std::vector<std::string> paths;
  std::vector<int64_t> ids;
  bool json = false;
  bool csv = false;
};

int64_t MtimeNs(const struct stat& info) {
  return static_cast<int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 +
         static_cast<int64_t>(info.st_mtim.tv_nsec);
}

// The absolute name of a file or folder named on the command line, its links resolved, so that
// one file is known under one name; the names found inside folders keep their own spelling.
std::string Absolute(const std::string& path) {
  if (char* resolved = ::realpath(path.c_str(), nullptr)) {
    std::string name = resolved;
    std::free(resolved);
    return name;
  }
  if (!path.empty() && path[0] == '/')
    return path;
  std::vector<char> cwd(4096);
  if (::getcwd(cwd.data(), cwd.size()) == nullptr)
    return path;
  return std::string(cwd.data()) + "/" + path;
}

// Collects the regular files under `path`: each file once (by device and inode), each folder
// entered once, so a symlink loop ends.
void Collect(const std::string& path, const std::string& database,
             std::set<std::pair<dev_t, ino_t>>& seen, std::vector<std::string>& files,
             std::vector<std::string>& problems) {
  // The library's own files are not flight logs.
  if (path == database || path == database + "-wal" || path == database + "-shm" ||
      path == database + "-journal")
    return;
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    problems.push_back(path + ": not read: " + std::strerror(errno));
    return;
  }
  if (!seen.insert({info.st_dev, info.st_ino}).second)
    return;
  if (!S_ISDIR(info.st_mode)) {
    files.push_back(path);
    return;
  }
  DIR* dir = ::opendir(path.c_str());
  if (dir == nullptr) {
    problems.push_back(path + ": not read: " + std::strerror(errno));
    return;
  }
  std::vector<std::string> names;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..")
      names.push_back(name);
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  const std::string prefix = path.back() == '/' ? path : path + "/";
  for (const std::string& name : names)
    Collect(prefix + name, database, seen, files, problems);
}

// What a worker found in one file.
struct FileWork {
  std::string path;
  bool skipped = false;  // size and time as stored: not read again
  FileIdentity identity;
  FileSamples read;
  std::string model;
  std::vector<IndexedRun> runs;
};

void Analyse(FileWork& work, std::optional<EngineModel> model, const Limits& limits) {
  const std::optional<std::string> sha = FileSha256(work.path);
  if (!sha) {
    work.read.why = std::strerror(errno);
    return;
  }
  work.identity.sha256 = *sha;
  work.read = ReadFileSamples(work.path, model);
  if (!work.read.read)
    return;
  work.model = std::to_string(ModelNumber(work.read.model));
  for (RunFigures& run : AnalyseFile(work.read.samples, work.read.model, limits))
    work.runs.push_back(IndexedRun{run.startMs, std::nullopt, std::nullopt, std::move(run.json)});
  work.read.samples = {};  // the figures are all that is kept
}

class Progress {
 public:
  Progress(std::ostream& err, size_t total)
      : err_(err), total_(total), shown_(total > 1 && ::isatty(STDERR_FILENO) != 0) {}
  void Step(size_t done) {
    if (!shown_)
      return;
    const size_t width = 40;
    const size_t filled = width * done / total_;
    err_ << "\r[" << std::string(filled, '#') << std::string(width - filled, ' ') << "] " << done
         << "/" << total_ << std::flush;
    if (done == total_)
      err_ << "\r" << std::string(width + 30, ' ') << "\r" << std::flush;
  }

 private:
  std::ostream& err_;
  size_t total_;
  bool shown_;
};

void Print(std::FILE* out, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), out);
}

int Index(FlightLibrary& library, const std::vector<std::string>& roots,
          const std::optional<std::string>& aircraft, std::optional<EngineModel> model,
          std::FILE* out, std::ostream& err) {
  std::string error;
  const std::optional<Limits> limits = Limits::Load(Limits::DefaultPath(), false, error);
  if (!limits) {
    err << "ovixlog-library: " << error << "\n";
    return kLibraryFailed;
  }
  std::set<std::pair<dev_t, ino_t>> seen;
  std::vector<std::string> files;
  std::vector<std::string> problems;
  const std::string database = Absolute(library.path());
  for (const std::string& root : roots)
    Collect(Absolute(root), database, seen, files, problems);
  for (const std::string& problem : problems)
    Print(out, problem + "\n");

  // Files whose size and time are as stored are taken as unchanged without reading them.
  std::vector<FileWork> work(files.size());
  for (size_t i = 0; i < files.size(); ++i) {
    work[i].path = files[i];
    struct stat info {};
    if (::stat(files[i].c_str(), &info) != 0)
      continue;
    work[i].identity = {files[i], "", static_cast<int64_t>(info.st_size), MtimeNs(info)};
    const std::optional<LibraryFile> known = library.FindFile(files[i]);
    work[i].skipped = known && !aircraft && known->identity.size == work[i].identity.size &&
                      known->identity.mtimeNs == work[i].identity.mtimeNs;
  }

  // Workers read and analyse; this thread alone writes the database, file by file in order.
  // `ready` and `next` are guarded by `lock`.
  std::mutex lock;
  std::condition_variable readyChanged;
  std::vector<char> ready(work.size(), 0);
  size_t next = 0;
  auto worker = [&] {
    for (;;) {
      size_t i = 0;
      {
        std::lock_guard<std::mutex> guard(lock);
        if (next >= work.size())
          return;
        i = next++;
      }
      if (!work[i].skipped)
        Analyse(work[i], model, *limits);
      {
        std::lock_guard<std::mutex> guard(lock);
        ready[i] = 1;
      }
      readyChanged.notify_all();
    }
  };
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  std::vector<std::thread> pool;
  for (unsigned t = 0; t < std::min<size_t>(cores, work.size()); ++t)
    pool.emplace_back(worker);

  Progress progress(err, work.size());
  int added = 0;
  int unchanged = 0;
  int duplicates = 0;
  int unread = static_cast<int>(problems.size());
  bool storeFailed = false;
  for (size_t i = 0; i < work.size(); ++i) {
    {
      std::unique_lock<std::mutex> guard(lock);
      readyChanged.wait(guard, [&] { return ready[i] != 0; });
    }
    FileWork& w = work[i];
    std::string line = w.path + ": ";
    if (storeFailed) {
      // The database cannot be written: nothing more is tried.
    } else if (w.skipped) {
      line += "unchanged";
      ++unchanged;
    } else if (!w.read.read) {
      line += "not a flight log: " + w.read.why;
      ++unread;
    } else {
      IndexResult result;
      if (!library.StoreFile(w.identity, w.model, aircraft, w.runs, result, error)) {
        err << "ovixlog-library: " << error << "\n";
        storeFailed = true;
      } else if (result.outcome == IndexOutcome::kDuplicate) {
        line += "duplicate of " + result.duplicateOf;
        ++duplicates;
      } else if (result.outcome == IndexOutcome::kUnchanged) {
        line += "unchanged";
        ++unchanged;
      } else {
        line += "added " + std::to_string(result.flights) +
                (result.flights == 1 ? " flight" : " flights");
        added += result.flights;
      }
    }
    if (!storeFailed)
      Print(out, line + "\n");
    progress.Step(i + 1);
  }
  for (std::thread& t : pool)
    t.join();
  if (storeFailed)
    return kLibraryFailed;
  Print(out, std::to_string(files.size()) + (files.size() == 1 ? " file: " : " files: ") +
                 std::to_string(added) + " flights added, " + std::to_string(unchanged) +
                 " unchanged, " + std::to_string(duplicates) + " duplicates, " +
                 std::to_string(unread) + " not read\n");
  const int readable = static_cast<int>(files.size() + problems.size()) - unread;
  return readable == 0 && unread > 0 ? kLibraryFailed : kLibraryOk;
}

std::string FlightLine(const FlightRow& flight) {
  const nlohmann::json figures = nlohmann::json::parse(flight.figures, nullptr, false);
  auto number = [&](const char* key) {
    return figures.contains(key) ? figures[key].dump() : std::string("-");
  };
  std::ostringstream line;
  line << flight.id << "  " << (flight.start ? *flight.start : std::string("-")) << "  "
       << (flight.aircraft ? *flight.aircraft : std::string("-")) << "  " << flight.model
       << "  " << number("duration_s") << " s  tach " << number("tach_hours") << " h  fuel "
       << number("fuel_used") << "  " << flight.file << " run " << flight.run << "\n";
  return line.str();
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos)
    return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"')
      quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string ExportCsv(const std::vector<FlightRow>& flights) {
  std::vector<std::string> header;
  std::map<std::string, size_t> column;
  std::vector<std::vector<std::pair<std::string, std::string>>> rows;
  for (const FlightRow& flight : flights) {
    rows.push_back(FlattenFlight(flight));
    for (const auto& [key, value] : rows.back()) {
      if (column.emplace(key, header.size()).second)
        header.push_back(key);
    }
  }
  std::string text;
  for (size_t i = 0; i < header.size(); ++i)
    text += (i ? "," : "") + CsvField(header[i]);
  text += "\r\n";
  for (const auto& row : rows) {
    std::vector<std::string> cells(header.size());
    for (const auto& [key, value] : row)
      cells[column[key]] = value;
    for (size_t i = 0; i < cells.size(); ++i)
      text += (i ? "," : "") + CsvField(cells[i]);
    text += "\r\n";
  }
  return text;
}

int Check(FlightLibrary& library, std::FILE* out) {
  int problems = 0;
  for (const LibraryFile& file : library.Files()) {
    if (file.flights == 0)
      continue;
    struct stat info {};
    std::string state;
    if (::stat(file.identity.path.c_str(), &info) != 0) {
      state = "gone";
    } else if (static_cast<int64_t>(info.st_size) != file.identity.size ||
               MtimeNs(info) != file.identity.mtimeNs) {
      const std::optional<std::string> sha = FileSha256(file.identity.path);
      if (!sha)
        state = "unreadable";
      else if (*sha != file.identity.sha256)
        state = "changed";
    }
    if (!state.empty()) {
      Print(out, file.identity.path + ": " + state + "\n");
      ++problems;
    }
  }
  Print(out, problems == 0 ? "every file is as indexed\n"
                           : std::to_string(problems) + " files gone or changed\n");
  return problems == 0 ? kLibraryOk : kLibraryFailed;
}

}  // namespace

int RunLibraryTool(const std::vector<std::string>& args, std::FILE* out, std::ostream& err) {
  Request request;
  CLI::App app{"Keeps every flight of your engine monitor files in one library, indexed on its "
               "own and searchable.",
               "ovixlog-library"};
  app.option_defaults()->always_capture_default(false);
  app.add_option("--db", request.db, "the library's database file");
  app.require_subcommand(1);
  app.footer(
      "The database is --db FILE, else $OVIXLOG_LIBRARY, else "
      "$XDG_DATA_HOME/ovixlog/library.sqlite,\nelse ~/.local/share/ovixlog/library.sqlite.\n"
      "Exit status: 0 success, 1 failure (check: a file is gone or changed), 2 bad usage.");

  CLI::App* add = app.add_subcommand("add", "index files and folders (recursively)");
  add->add_option("--aircraft", request.aircraft, "the aircraft these flights belong to");
  add->add_option("--model", request.model, "a raw capture's model: 3100, 5100, 7100 or 8100");
  add->add_option("PATH", request.paths, "files and folders")->required();
  app.add_subcommand("scan", "index the recordings folder");
  CLI::App* list = app.add_subcommand("list", "one line per flight, oldest first");
  list->add_flag("--json", request.json, "one JSON object {\"flights\": [...]}");
  list->add_option("--aircraft", request.aircraft, "only this aircraft's flights");
  CLI::App* show = app.add_subcommand("show", "one flight's figures");
  show->add_option("ID", request.ids, "the flight's id")->required()->expected(1);
  show->add_flag("--json", request.json, "as JSON");
  CLI::App* exportCommand = app.add_subcommand("export", "every flight, for other programs");
  auto* exportJson = exportCommand->add_flag("--json", request.json, "one JSON object a line");
  auto* exportCsv = exportCommand->add_flag("--csv", request.csv, "CSV with a header");
  exportJson->excludes(exportCsv);
  app.add_subcommand("check", "files gone, moved or changed; exit status 1 if any");
  CLI::App* label = app.add_subcommand("label", "name the aircraft of flights");
  label->add_option("--aircraft", request.aircraft, "the aircraft")->required();
  label->add_option("ID", request.ids, "flight ids")->required();

  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    Print(out, app.help());
    return kLibraryOk;
  } catch (const CLI::ParseError& e) {
    err << "ovixlog-library: " << e.what() << "\n" << app.help();
    return kLibraryUsage;
  }
  request.command = app.get_subcommands().front()->get_name();

  std::optional<EngineModel> model;
  if (request.model) {
    model = ModelFromNumber(*request.model);
    if (!model) {
      err << "ovixlog-library: unknown model " << *request.model
          << " (3100, 5100, 7100 or 8100)\n";
      return kLibraryUsage;
    }
  }

  FlightLibrary library;
  std::string error;
  std::string notice;
  if (!library.Open(LibraryPath(request.db), error, notice)) {
    err << "ovixlog-library: " << error << "\n";
    return kLibraryFailed;
  }
  if (!notice.empty())
    err << "ovixlog-library: " << notice << "\n";

  if (request.command == "add")
    return Index(library, request.paths, request.aircraft, model, out, err);
  if (request.command == "scan")
    return Index(library, {DefaultRecordingsFolder()}, std::nullopt, std::nullopt, out, err);
  if (request.command == "list") {
    const std::vector<FlightRow> flights = library.LoadFlights(request.aircraft);
    std::string text;
    if (request.json) {
      text = "{\"flights\": [";
      for (size_t i = 0; i < flights.size(); ++i)
        text += (i ? ", " : "") + FlightJson(flights[i]);
      text += "]}\n";
    } else {
      for (const FlightRow& flight : flights)
        text += FlightLine(flight);
    }
    Print(out, text);
    return kLibraryOk;
  }
  if (request.command == "show") {
    const std::optional<FlightRow> flight = library.LoadFlight(request.ids.front());
    if (!flight) {
      err << "ovixlog-library: no flight " << request.ids.front() << "\n";
      return kLibraryFailed;
    }
    if (request.json) {
      Print(out, FlightJson(*flight) + "\n");
    } else {
      for (const auto& [key, value] : FlattenFlight(*flight))
        Print(out, key + ": " + value + "\n");
    }
    return kLibraryOk;
  }
  if (request.command == "export") {
    const std::vector<FlightRow> flights = library.LoadFlights();
    if (request.csv) {
      Print(out, ExportCsv(flights));
    } else {
      for (const FlightRow& flight : flights)
        Print(out, FlightJson(flight) + "\n");
    }
    return kLibraryOk;
  }
  if (request.command == "check")
    return Check(library, out);
  if (request.command == "label") {
    if (!library.Label(request.ids, *request.aircraft, error)) {
      err << "ovixlog-library: " << error << "\n";
      return kLibraryFailed;
    }
    return kLibraryOk;
  }
  return kLibraryUsage;
}

}  // namespace ovixlog
