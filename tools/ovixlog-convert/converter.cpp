#include "converter.h"

#include <sys/stat.h>

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>

#include <strings.h>

#include "acquisition/content_hint.h"
#include "acquisition/layout_detector.h"
#include "analysis/flight_analyzer.h"
#include "analysis/summary_writer.h"
#include "format/table_writer.h"
#include "framework/document.h"
#include "framework/safe_file_writer.h"
#include "framework/startup_options.h"
#include "reading/import_report.h"
#include "reading/log_reader.h"
#include "reading/sample_thinner.h"

namespace ovixlog {
namespace {

struct ConverterOptions {
  std::optional<ImportKind> kind;
  EngineModel model = kModel5100;
  bool v39 = false;
  bool modelGiven = false;  // --model or --v39 was given
  bool keepAll = false;
  bool showTime = false;
  bool oldestFirst = false;
  bool csv = false;
  bool summary = false;
  bool json = false;
  std::optional<std::string> limits;
  std::string report;
  bool letter = false;
  std::optional<int> run;
  std::string output;
  std::string input;
  bool help = false;
};

// Whether both names lead to one existing file (through links, other spellings and all).
bool SameFile(const std::string& a, const std::string& b) {
  struct stat first {};
  struct stat second {};
  return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
         first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

// Returns the options, or an error text for bad usage.
std::optional<ConverterOptions> Parse(const std::vector<std::string>& args, bool reports,
                                      std::string& error) {
  ConverterOptions options;
  bool inputSeen = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&](const char* name) -> std::optional<std::string> {
      if (i + 1 >= args.size()) {
        error = std::string(name) + " needs a value";
        return std::nullopt;
      }
      return args[++i];
    };
    if (arg == "-h" || arg == "--help") {
      options.help = true;
    } else if (arg == "--serial" || arg == "--demo") {
      const ImportKind kind = arg == "--serial" ? ImportKind::kSerialFile : ImportKind::kDemoLog;
      if (options.kind && *options.kind != kind) {
        error = "--serial and --demo exclude each other";
        return std::nullopt;
      }
      options.kind = kind;
    } else if (arg == "--model") {
      const std::optional<std::string> number = value("--model");
      if (!number)
        return std::nullopt;
      const std::optional<EngineModel> model = ModelFromNumber(*number);
      if (!model) {
        error = "unknown model " + *number + " (3100, 5100, 7100 or 8100)";
        return std::nullopt;
      }
      options.model = *model;
      options.modelGiven = true;
    } else if (arg == "--v39") {
      options.v39 = true;
      options.modelGiven = true;
    } else if (arg == "--all") {
      options.keepAll = true;
    } else if (arg == "--time") {
      options.showTime = true;
    } else if (arg == "--newest") {
      options.oldestFirst = false;
    } else if (arg == "--oldest") {
      options.oldestFirst = true;
    } else if (arg == "--csv") {
      options.csv = true;
    } else if (arg == "--summary") {
      options.summary = true;
    } else if (arg == "--json") {
      options.json = true;
    } else if (arg == "--limits") {
      options.limits = value("--limits");
      if (!options.limits)
        return std::nullopt;
    } else if (reports && arg == "--report") {
      const std::optional<std::string> path = value("--report");
      if (!path)
        return std::nullopt;
      if (path->empty()) {
        error = "--report needs a file name";
        return std::nullopt;
      }
      options.report = *path;
    } else if (reports && arg == "--letter") {
      options.letter = true;
    } else if (reports && arg == "--run") {
      const std::optional<std::string> number = value("--run");
      if (!number)
        return std::nullopt;
      char* end = nullptr;
      const long run = std::strtol(number->c_str(), &end, 10);
      if (number->empty() || *end != '\0' || run < 1 || run > 100000) {
        error = "--run needs a run number from 1 up";
        return std::nullopt;
      }
      options.run = static_cast<int>(run);
    } else if (arg == "-o" || arg == "--output") {
      const std::optional<std::string> path = value("-o");
      if (!path)
        return std::nullopt;
      // An empty name would otherwise mean standard output, which is what leaving -o out says.
      if (path->empty()) {
        error = "-o needs a file name";
        return std::nullopt;
      }
      options.output = *path;
    } else if (arg.size() > 1 && arg[0] == '-') {
      error = "unknown option " + arg;
      return std::nullopt;
    } else if (inputSeen) {
      error = "only one input file, please";
      return std::nullopt;
    } else {
      options.input = arg;
      inputSeen = true;
    }
  }
  if (!options.help && !inputSeen) {
    error = "no input file";
    return std::nullopt;
  }
  const bool report = !options.report.empty();
  if (!options.summary && (options.json || (options.limits && !report))) {
    error = std::string(options.json ? "--json" : "--limits") + " goes with --summary";
    return std::nullopt;
  }
  if ((options.letter || options.run) && !report) {
    error = std::string(options.letter ? "--letter" : "--run") + " goes with --report";
    return std::nullopt;
  }
  if (report && (options.summary || options.csv || !options.output.empty())) {
    error = "--report writes only the report, without --summary, --csv or -o";
    return std::nullopt;
  }
  if (report && options.input != "-" && SameFile(options.input, options.report)) {
    error = "the report file is the input file";
    return std::nullopt;
  }
  if (options.summary && (options.csv || !options.output.empty())) {
    error = "--summary writes to standard output, without --csv or -o";
    return std::nullopt;
  }
  if (!options.output.empty() && options.input != "-" && SameFile(options.input, options.output)) {
    error = "the output file is the input file";
    return std::nullopt;
  }
  return options;
}

// Collects stdout writes into large blocks; remembers a failure.
class StdioRows {
 public:
  explicit StdioRows(std::FILE* out) : out_(out) {}
  bool Write(std::string_view row) {
    return std::fwrite(row.data(), 1, row.size(), out_) == row.size();
  }
  bool Finish() { return std::fflush(out_) == 0 && !std::ferror(out_); }

 private:
  std::FILE* out_;
};

bool IsRegularFile(const std::string& path) {
  struct stat info {};
  return path != "-" && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool HasCsvExtension(const std::string& path) {
  const size_t dot = path.rfind('.');
  return dot != std::string::npos && strcasecmp(path.c_str() + dot + 1, "CSV") == 0;
}

const char* OptionsFor(FrameFormat layout) {
  switch (layout) {
    case FrameFormat::kShort:
      return "--model 3100";
    case FrameFormat::kLong:
      return "--model 5100, 7100 or 8100 without --v39";
    case FrameFormat::kAlt:
      return "--model 5100 --v39";
  }
  return "";
}

// The hint for a capture that the chosen layout frames poorly, or nothing.
std::string LayoutHint(const LayoutCounter& counts, EngineModel model, int32_t altFrameFormat) {
  const std::optional<FrameFormat> better =
      SuggestLayoutForFile(counts, LayoutOf(model, altFrameFormat));
  if (!better)
    return std::string();
  return "ovixlog-convert: hint: these frames look like " + LayoutDescription(*better) + "; try " +
         OptionsFor(*better) + "\n";
}

// The hint for readings that another model shows, or that no model can have given, or nothing.
// Kept quiet when the bytes already pointed at another layout: that hint says more.
std::string ContentHintLine(const ContentHint& hint, EngineModel model, bool layoutHinted) {
  const std::optional<ContentSuggestion> suggestion = hint.Suggestion();
  if (!suggestion)
    return std::string();
  const std::string chosen = "Model " + std::to_string(ModelNumber(model));
  if (suggestion->kind == ContentSuggestion::Kind::kImplausible) {
    if (layoutHinted)
      return std::string();
    return "ovixlog-convert: hint: most frames read as " + chosen + " hold impossible values (" +
           suggestion->evidence + "); try another --model, or --v39\n";
  }
  const std::string other = std::to_string(ModelNumber(suggestion->model));
  return "ovixlog-convert: hint: these readings look like Model " + other + ", not " + chosen +
         " (" + suggestion->evidence + "); try --model " + other + "\n";
}

// Takes the samples the log keeps (one a second, or all) and hands each on: to the table, the
// content hint and the analysis as they come when the model is known from the start, else
// into `held`, to be handed on at the end.
// Formats and writes the table on a thread of its own while the reading thread decodes: the
// samples go over in batches through a queue of at most a few batches, so memory stays fixed
// and neither side waits long for the other. The table writer and its output belong to the
// writing thread from Start to Finish.
class TableThread {
 public:
  explicit TableThread(TableWriter& table) : table_(table) {
    batch_.reserve(kBatch);
    thread_ = std::thread([this] { Run(); });
  }
  ~TableThread() { Stop(); }
  TableThread(const TableThread&) = delete;
  TableThread& operator=(const TableThread&) = delete;

  void Add(const EngineSample& sample) {
    batch_.push_back(sample);
    if (batch_.size() == kBatch)
      Hand();
  }
  // Hands on the last batch and waits until every sample is in the table writer.
  void Stop() {
    if (!thread_.joinable())
      return;
    Hand();
    {
      std::lock_guard<std::mutex> guard(lock_);
      ended_ = true;
    }
    ready_.notify_one();
    thread_.join();
  }

 private:
  static constexpr size_t kBatch = 4096;
  static constexpr size_t kQueued = 3;

  void Hand() {
    if (batch_.empty())
      return;
    std::unique_lock<std::mutex> guard(lock_);
    room_.wait(guard, [this] { return queue_.size() < kQueued; });
    queue_.push_back(std::move(batch_));
    guard.unlock();
    ready_.notify_one();
    batch_ = std::vector<EngineSample>();
    batch_.reserve(kBatch);
  }

  void Run() {
    for (;;) {
      std::vector<EngineSample> batch;
      {
        std::unique_lock<std::mutex> guard(lock_);
        ready_.wait(guard, [this] { return !queue_.empty() || ended_; });
        if (queue_.empty())
          return;
        batch = std::move(queue_.front());
        queue_.pop_front();
      }
      room_.notify_one();
      // After a failed write the writer drops the rest itself.
      for (const EngineSample& sample : batch)
        table_.Add(sample);
    }
  }

  TableWriter& table_;
  std::vector<EngineSample> batch_;  // the reading thread's
  // lock_ guards the queue and ended_; held only to move a batch in or out.
  std::mutex lock_;
  std::condition_variable ready_;
  std::condition_variable room_;
  std::deque<std::vector<EngineSample>> queue_;
  bool ended_ = false;
  std::thread thread_;
};

class Conversion : public LogReader::Listener {
 public:
  Conversion(bool keepAll, std::optional<EngineModel> known, bool hold, TableThread* table,
             FlightAnalyzer* analyzer)
      : thinner_(keepAll),
        known_(known),
        hold_(hold || !known),
        table_(table),
        analyzer_(analyzer),
        hint_(known.value_or(kModel5100)) {}

  void AddSample(std::unique_ptr<EngineSample> sample, SampleNotifier*) override {
    if (!thinner_.Keep(*sample))
      return;
    if (table_ != nullptr)
      table_->Add(*sample);
    if (known_) {
      hint_.Add(*sample);
      if (analyzer_ != nullptr)
        analyzer_->Add(*sample);
    }
    if (hold_)
      held_.push_back(*sample);
  }

  // After the reading, under the model the file left: the hint of whatever was held for it.
  void Finish(EngineModel model) {
    if (known_)
      return;
    hint_.Reset(model);
    for (const EngineSample& sample : held_)
      hint_.Add(sample);
  }

  // A recording's aircraft record; the last one counts, as in the recorder.
  void OnAircraft(const std::string& name) override { aircraft_ = name; }

  const ContentHint& hint() const { return hint_; }
  const std::deque<EngineSample>& held() const { return held_; }
  const std::string& aircraft() const { return aircraft_; }

 private:
  SampleThinner thinner_;
  std::optional<EngineModel> known_;
  bool hold_;
  TableThread* table_;
  FlightAnalyzer* analyzer_;
  ContentHint hint_;
  std::deque<EngineSample> held_;
  std::string aircraft_;
};

}  // namespace

std::string ConverterUsage() {
  return "Usage: ovixlog-convert [--serial | --demo] [--model 3100|5100|7100|8100] [--v39] "
         "[--all]\n"
         "                       [--time] [--newest | --oldest] [--csv] [-o OUTPUT] INPUT\n"
         "       ovixlog-convert [--serial | --demo] [--model N] [--v39] [--all] --summary\n"
         "                       [--json] [--limits FILE] INPUT\n"
         "       ovixlog-convert [--serial | --demo] [--model N] [--v39] [--all] --report FILE.pdf\n"
         "                       [--letter] [--run N] [--limits FILE] INPUT\n"
         "\n"
         "Converts an engine monitor recording into the table OvixLog shows. INPUT may be a\n"
         "pipe or FIFO, and - reads standard input. What was read goes to stderr.\n"
         "\n"
         "  --serial       INPUT is a raw serial capture (default unless the name ends in .log)\n"
         "  --demo         INPUT is an EFIS DEMO recording (default for names ending in .log)\n"
         "  --model N      the monitor model: 3100, 5100 (default), 7100 or 8100\n"
         "  --v39          the alternate frame format of version 3.9 software\n"
         "                 (given, these two hold for the whole file, whatever model a log\n"
         "                 names; else a log's own settings change them)\n"
         "  --all          keep every sample instead of one per second\n"
         "  --time         add the PC time column (the time of the conversion)\n"
         "  --newest       newest samples first (default)\n"
         "  --oldest       oldest samples first\n"
         "  --csv          write CSV to standard output instead of the text table\n"
         "  -o OUTPUT      write OUTPUT instead: CSV when its extension is .csv (any case),\n"
         "                 else the text table; never the input, a folder, FIFO or device\n"
         "  --summary      write a summary of each engine run instead of the table\n"
         "  --json         with --summary: one JSON object {\"runs\": [...]}\n"
         "  --limits FILE  with --summary or --report: the engine limits to check (default\n"
         "                 $XDG_CONFIG_HOME/ovixlog/limits.ini when it exists)\n"
         "  --report FILE  write the flight report as a PDF: times, fuel, runs, exceedances,\n"
         "                 charts and lean tests, on A4 paper\n"
         "  --letter       with --report: on US Letter paper\n"
         "  --run N        with --report: only engine run N (1 is the first)\n"
         "  -h, --help     show this help\n"
         "\n"
         "Rows end in CR LF. Exit status: 0 success, 1 the input could not be read or the\n"
         "output not written, 2 bad usage.\n";
}

int RunConverter(const std::vector<std::string>& args, std::FILE* out, std::ostream& err,
                 const ReportWriter& report) {
  std::string error;
  const std::optional<ConverterOptions> options = Parse(args, static_cast<bool>(report), error);
  if (!options) {
    err << "ovixlog-convert: " << error << "\n" << ConverterUsage();
    return kConvertUsage;
  }
  if (options->help) {
    const std::string usage = ConverterUsage();
    std::fwrite(usage.data(), 1, usage.size(), out);
    return kConvertOk;
  }

  const ImportKind kind = options->kind.value_or(ImportKindFor(options->input));
  const bool demoLog = kind == ImportKind::kDemoLog;
  const std::string& input = options->input;
  const bool regular = IsRegularFile(input);
  LogReadOptions read;
  read.format = demoLog ? LogFormat::kDemoLog : LogFormat::kRawCapture;
  read.model = options->model;
  read.altFrameFormat = options->v39 ? 1 : 0;
  read.streams = true;
  // A model or format given holds for the whole file: a log recorded while the monitor's model
  // was set wrong names that wrong model in its settings, which are passed over.
  read.keepModel = options->modelGiven;
  // A raw capture carries no settings, so a wrong model or format is only seen in its bytes.
  read.countLayouts = !demoLog && regular;

  // The model every row is printed with is the one the file leaves: a capture keeps the
  // chosen one, and a log that can be read twice has its settings read first, so that its
  // table goes out while it is read. Otherwise the samples are kept until the end.
  std::optional<EngineModel> known;
  if (!demoLog || read.keepModel) {
    known = options->model;
  } else if (regular) {
    const LogReadResult settings = LogReader::ReadSettings(input, read);
    if (settings.ok())
      known = settings.model;
  }

  // The limits are read first and a failure told where it always was, after the import.
  std::string limitsError;
  std::optional<Limits> limits;
  if (options->summary) {
    limits = options->limits ? Limits::Load(*options->limits, true, limitsError)
                             : Limits::Load(Limits::DefaultPath(), false, limitsError);
  }
  std::optional<FlightAnalyzer> analyzer;
  if (limits && known)
    analyzer.emplace(*known, *limits);

  const bool table = !options->summary && options->report.empty();
  const bool toFile = table && !options->output.empty();
  const bool csv = toFile ? HasCsvExtension(options->output) : options->csv;
  SafeFileWriter file;
  const bool fileOpen = toFile && file.Open(options->output);
  StdioRows rows(out);
  TableWriter::Output output;
  if (toFile) {
    output = [&file, fileOpen](std::string_view bytes) { return fileOpen && file.Write(bytes); };
  } else {
    output = [&rows](std::string_view bytes) { return rows.Write(bytes); };
  }
  std::optional<TableWriter> writer;
  if (table) {
    writer.emplace(csv ? RowStyle::kCsv : RowStyle::kDisplay, options->oldestFirst,
                   known ? std::optional<RowSettings>(RowSettings{*known, options->showTime})
                         : std::nullopt,
                   output);
  }
  const bool hold = !options->report.empty() || (options->summary && !analyzer);
  std::optional<TableThread> tableThread;
  if (writer)
    tableThread.emplace(*writer);
  Conversion conversion(options->keepAll, known, hold, tableThread ? &*tableThread : nullptr,
                        analyzer ? &*analyzer : nullptr);
  const LogReadResult result = LogReader::Read(input, read, conversion);
  if (tableThread)
    tableThread->Stop();
  if (!result.ok()) {
    err << ImportFailureFor(input, demoLog, result).text << "\n";
    return kConvertFailed;
  }
  err << ImportReportText(input, result) << "\n";
  const EngineModel model = result.model;
  conversion.Finish(model);
  std::string layoutHint;
  if (result.layouts)
    layoutHint = LayoutHint(*result.layouts, model, result.altFrameFormat);
  err << layoutHint << ContentHintLine(conversion.hint(), model, !layoutHint.empty());

  if (options->summary) {
    if (!limits) {
      err << "ovixlog-convert: " << limitsError << "\n";
      return kConvertFailed;
    }
    if (!analyzer) {
      analyzer.emplace(model, *limits);
      for (const EngineSample& sample : conversion.held())
        analyzer->Add(sample);
    }
    analyzer->Finish();
    const std::string text = options->json ? SummaryJson(analyzer->FinishedRuns())
                                           : SummaryText(analyzer->FinishedRuns());
    if (!rows.Write(text) || !rows.Finish()) {
      err << "Unable to write to standard output\n";
      return kConvertFailed;
    }
    return kConvertOk;
  }
  if (!options->report.empty()) {
    const ConvertedFlight flight{ImportedFileTitle(input, demoLog), model, conversion.held(),
                                 conversion.aircraft()};
    return report(flight,
                  ReportRequest{options->report, options->letter, options->limits, options->run},
                  err);
  }

  const bool written = writer->Finish(RowSettings{model, options->showTime});
  if (toFile) {
    if (!fileOpen || !written || !file.Commit()) {
      const std::string reason = Document::WithReason(file.error());
      err << (csv ? "Unable to write CSV file: " : "Unable to save file: ") << options->output
          << reason << "\n";
      return kConvertFailed;
    }
    return kConvertOk;
  }
  if (!written || !rows.Finish()) {
    err << "Unable to write to standard output\n";
    return kConvertFailed;
  }
  return kConvertOk;
}

}  // namespace ovixlog
