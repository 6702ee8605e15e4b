#include "library/file_samples.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "reading/import_report.h"
#include "reading/log_reader.h"

namespace ovixlog {
namespace {

// Keeps every sample, as the converter's summary does with --all, and where the clocks and
// the aircraft records fall among them.
class Collector : public LogReader::Listener {
 public:
  explicit Collector(FileSamples& out) : out_(out) {}
  void AddSample(std::unique_ptr<EngineSample> sample, SampleNotifier*) override {
    out_.samples.push_back(*sample);
  }
  void OnWallClock(const WallClockAnchor& anchor) override {
    out_.clocks.push_back({out_.samples.size(), anchor});
  }
  void OnAircraft(const std::string& name) override { out_.aircraft = name; }

 private:
  FileSamples& out_;
};

std::string WhyNot(const std::string& path, const LogReadResult& result) {
  switch (result.error) {
    case LogReadError::kNone:
      return ImportReportText(path, result);
    case LogReadError::kOpen:
      return result.reason;
    case LogReadError::kEmpty:
      return "empty";
    case LogReadError::kRead:
      return "read failed after " + std::to_string(result.bytesRead) + " bytes: " + result.reason;
    case LogReadError::kUnknownFormat:
      return result.reason;
  }
  return result.reason;
}

LogReadResult ReadAs(const std::string& path, LogFormat format, EngineModel model, bool count,
                     FileSamples& out) {
  out = FileSamples{};
  LogReadOptions options;
  options.format = format;
  options.model = model;
  options.countLayouts = count;
  Collector collector(out);
  return LogReader::Read(path, options, collector);
}

}  // namespace

FileSamples ReadFileSamples(const std::string& path, std::optional<EngineModel> model) {
  FileSamples out;
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    out.why = std::strerror(errno);
    return out;
  }
  if (!S_ISREG(info.st_mode)) {
    out.why = "not a regular file";
    return out;
  }
  LogReadResult result =
      ReadAs(path, LogFormat::kDetect, model.value_or(kModel5100), !model.has_value(), out);
  // A raw capture of unknown model: the short frames' model when they frame more of it.
  if (result.ok() && result.format == LogFormat::kRawCapture && !model && result.layouts &&
      result.layouts->framedBytes(FrameFormat::kShort) >
          result.layouts->framedBytes(FrameFormat::kLong)) {
    result = ReadAs(path, LogFormat::kRawCapture, kModel3100, false, out);
  }
  out.model = result.model;
  out.read = result.ok() && !out.samples.empty();
  if (!out.read) {
    out.why = WhyNot(path, result);
    out.samples = {};
  }
  return out;
}

}  // namespace ovixlog
