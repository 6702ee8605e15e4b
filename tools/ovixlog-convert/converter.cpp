#include "converter.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "acquisition/content_hint.h"
#include "acquisition/layout_detector.h"
#include "analysis/flight_analyzer.h"
#include "analysis/summary_writer.h"
#include "document/ovixlog_doc.h"
#include "framework/headless_user_interface.h"
#include "framework/startup_options.h"

namespace ovixlog {
namespace {

struct ConverterOptions {
  std::optional<ImportKind> kind;
  EngineModel model = kModel5100;
  bool v39 = false;
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
    } else if (arg == "--v39") {
      options.v39 = true;
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

// Counts how each layout frames the file; nothing when it cannot be read again, as a pipe or
// standard input cannot.
std::optional<LayoutCounter> CountLayouts(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
    return std::nullopt;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr)
    return std::nullopt;
  LayoutCounter counter;
  std::vector<uint8_t> block(1 << 16);
  size_t n = 0;
  while ((n = std::fread(block.data(), 1, block.size(), file)) > 0)
    counter.Feed(block.data(), n);
  std::fclose(file);
  return counter;
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
std::string ContentHintLine(const COvixLogDoc& doc, bool layoutHinted) {
  ContentHint hint(doc.model.load());
  const int count = doc.SampleCount();
  for (int i = 0; i < count; ++i)
    hint.Add(doc.SampleAt(i));
  const std::optional<ContentSuggestion> suggestion = hint.Suggestion();
  if (!suggestion)
    return std::string();
  const std::string chosen = "Model " + std::to_string(ModelNumber(doc.model.load()));
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

// Analyses the stored samples with the document's model as it stands after the import.
int WriteSummary(const COvixLogDoc& doc, const ConverterOptions& options, std::FILE* out,
                 std::ostream& err) {
  std::string error;
  const std::optional<Limits> limits = options.limits
                                           ? Limits::Load(*options.limits, true, error)
                                           : Limits::Load(Limits::DefaultPath(), false, error);
  if (!limits) {
    err << "ovixlog-convert: " << error << "\n";
    return kConvertFailed;
  }
  FlightAnalyzer analyzer(doc.model.load(), *limits);
  const int count = doc.SampleCount();
  for (int i = 0; i < count; ++i)
    analyzer.Add(doc.SampleAt(i));
  analyzer.Finish();
  const std::string text =
      options.json ? SummaryJson(analyzer.FinishedRuns()) : SummaryText(analyzer.FinishedRuns());
  StdioRows rows(out);
  if (!rows.Write(text) || !rows.Finish()) {
    err << "Unable to write to standard output\n";
    return kConvertFailed;
  }
  return kConvertOk;
}

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
         "  --model N      the monitor model at the start: 3100, 5100 (default), 7100 or 8100\n"
         "  --v39          start with the alternate frame format of version 3.9 software\n"
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

  StartupSettings settings;
  settings.model = options->model;
  settings.keepAllSamples = options->keepAll ? 1 : 0;
  settings.showSystemTime = options->showTime ? 1 : 0;
  settings.oldestFirst = options->oldestFirst ? 1 : 0;
  HeadlessUserInterface ui(err);
  COvixLogDoc doc(&ui, settings);
  doc.SetPortsEnabled(false);
  doc.SetStreamInputsAllowed(true);
  doc.OnNewDocument();
  if (options->v39)
    doc.OnReadV39();

  const ImportKind kind = options->kind.value_or(ImportKindFor(options->input));
  const bool imported = kind == ImportKind::kDemoLog ? doc.ImportDemoLog(options->input)
                                                     : doc.ImportSerialFile(options->input);
  if (!imported)
    return kConvertFailed;
  // A raw capture carries no settings, so a wrong model or format is only seen in its bytes.
  std::string layoutHint;
  if (kind == ImportKind::kSerialFile) {
    if (const std::optional<LayoutCounter> counts = CountLayouts(options->input))
      layoutHint = LayoutHint(*counts, doc.model.load(), doc.altFrameFormat.load());
  }
  err << layoutHint << ContentHintLine(doc, !layoutHint.empty());
  if (options->summary)
    return WriteSummary(doc, *options, out, err);
  if (!options->report.empty())
    return report(doc,
                  ReportRequest{options->report, options->letter, options->limits, options->run},
                  err);

  if (!options->output.empty()) {
    return doc.OnSaveDocument(options->output) ? kConvertOk : kConvertFailed;
  }
  StdioRows rows(out);
  const bool written =
      doc.WriteRows(options->csv, [&rows](std::string_view row) { return rows.Write(row); });
  if (!written || !rows.Finish()) {
    err << "Unable to write to standard output\n";
    return kConvertFailed;
  }
  return kConvertOk;
}

}  // namespace ovixlog
