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
#include "library/file_samples.h"
#include "library/flight_library.h"
#include "library/library_indexer.h"
#include "library/sha256.h"
#include "library/trend_rows.h"
#include "library/trends.h"
#include "library/trends_output.h"
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

class Progress {
 public:
  explicit Progress(std::ostream& err) : err_(err), shown_(::isatty(STDERR_FILENO) != 0) {}
  void Step(size_t done, size_t total) {
    if (!shown_ || total < 2)
      return;
    const size_t width = 40;
    const size_t filled = width * done / total;
    err_ << "\r[" << std::string(filled, '#') << std::string(width - filled, ' ') << "] " << done
         << "/" << total << std::flush;
    if (done == total)
      err_ << "\r" << std::string(width + 30, ' ') << "\r" << std::flush;
  }

 private:
  std::ostream& err_;
  bool shown_;
};

void Print(std::FILE* out, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), out);
}

int Index(FlightLibrary& library, const std::vector<std::string>& roots,
          const std::optional<std::string>& aircraft, std::optional<EngineModel> model,
          std::FILE* out, std::ostream& err) {
  IndexRequest request;
  request.roots = roots;
  request.aircraft = aircraft;
  request.model = model;
  Progress progress(err);
  const IndexTotals totals = IndexFiles(
      library, request, ReadFileSamples,
      [out](const std::string& line) { Print(out, line + "\n"); },
      [&progress](size_t done, size_t total) { progress.Step(done, total); });
  if (!totals.error.empty()) {
    err << "ovixlog-library: " << totals.error << "\n";
    return kLibraryFailed;
  }
  Print(out, TotalsLine(totals) + "\n");
  // Nothing could be read: a failure; some bad files among good ones are not.
  const int readable = static_cast<int>(totals.files) - (totals.unread - totals.missing);
  return readable <= 0 && totals.unread > 0 ? kLibraryFailed : kLibraryOk;
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

// Each aircraft's flights and the changes of its engine's normal, one sentence a change.
std::string TrendText(const Trends& trends) {
  std::string text;
  for (const AircraftTrend& aircraft : trends.aircraft) {
    size_t cruising = 0;
    for (const TrendFlight& flight : aircraft.flights) {
      if (!flight.figures.empty()) ++cruising;
    }
    text += (aircraft.name ? *aircraft.name : std::string("(no aircraft)")) + ": " +
            std::to_string(aircraft.flights.size()) +
            (aircraft.flights.size() == 1 ? " flight, " : " flights, ") + std::to_string(cruising) +
            " with a cruise\n";
    if (!HasBands(aircraft))
      text += "  not enough flights yet\n";
    else if (aircraft.changes.empty())
      text += "  no changes\n";
    for (const TrendChange& change : aircraft.changes)
      text += "  " + TrendChangeSentence(change, aircraft) + "\n";
  }
  return text;
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
  CLI::App* trend = app.add_subcommand(
      "trend", "each engine's normal (bands of earlier flights) and when it changed");
  auto* trendJson = trend->add_flag("--json", request.json, "every flight, band and change");
  auto* trendCsv = trend->add_flag("--csv", request.csv, "the flights' figures, one a line");
  trendJson->excludes(trendCsv);
  trend->add_option("--aircraft", request.aircraft, "only this aircraft");
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
  if (request.command == "trend") {
    const Trends trends = ComputeTrends(TrendRowsFromLibrary(library.LoadFlights(request.aircraft)));
    Print(out, request.json  ? TrendsJson(trends)
               : request.csv ? TrendsCsv(trends)
                             : TrendText(trends));
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
