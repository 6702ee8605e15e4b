// The batch converter: reads a raw serial capture or an EFIS DEMO recording through the log
// reader, keeps the samples the window would keep, and writes the table as text or CSV, the
// summary of its engine runs, or (through a writer the program hands in) its report.
#pragma once

#include <cstdio>
#include <deque>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "acquisition/engine_sample.h"

namespace ovixlog {

// Exit statuses of the converter.
inline constexpr int kConvertOk = 0;
inline constexpr int kConvertFailed = 1;
inline constexpr int kConvertUsage = 2;

std::string ConverterUsage();

// The flight as read, for the report: its title, the model it was read as, every kept
// sample, oldest first, and the aircraft a recording names (empty when it names none).
struct ConvertedFlight {
  std::string title;
  EngineModel model = kModel5100;
  const std::deque<EngineSample>& samples;
  std::string aircraft;
};

// What --report asks for: the PDF's path, Letter rather than A4 paper, the limits file, and
// one engine run (counted from 1) instead of the whole recording.
struct ReportRequest {
  std::string path;
  bool letter = false;
  std::optional<std::string> limits;
  std::optional<int> run;
};
// Writes the report of the imported samples; returns an exit status. The converter's core has
// no drawing of its own: the program hands in the report writer.
using ReportWriter =
    std::function<int(const ConvertedFlight& flight, const ReportRequest& request,
                      std::ostream& err)>;

// Runs the converter on `args` (without the program name). The table goes to `out` when no
// output file is named; messages go to `err`. Returns the exit status. Without `report`,
// --report is refused as an unknown option.
int RunConverter(const std::vector<std::string>& args, std::FILE* out, std::ostream& err,
                 const ReportWriter& report = {});

}  // namespace ovixlog
