#include "library/file_samples.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "acquisition/layout_detector.h"
#include "reading/import_report.h"
#include "reading/log_reader.h"

namespace ovixlog {
namespace {

// Takes every sample the reader delivers.
class Collect : public LogReader::Listener {
 public:
  void AddSample(std::unique_ptr<EngineSample> sample, SampleNotifier*) override {
    if (sample)
      samples.push_back(*sample);
  }
  std::vector<EngineSample> samples;
};

// Reads the file as `format`, every sample kept; `messages` gets what the window would say
// about it.
FileSamples Import(const std::string& path, LogFormat format, EngineModel model,
                   std::string& messages) {
  LogReadOptions options;
  options.format = format;
  options.model = model;
  Collect collect;
  const LogReadResult result = LogReader::Read(path, options, collect);
  FileSamples out;
  if (!result.ok()) {
    messages = ImportFailureFor(path, format == LogFormat::kDemoLog, result).text;
    return out;
  }
  messages = ImportReportText(path, result);
  out.model = result.model;
  out.samples = std::move(collect.samples);
  out.read = !out.samples.empty();
  return out;
}

// Whether the file starts as a record of the flight display's log: a known type byte and a
// length that fits the file.
bool LooksLikeRecords(const std::string& path, int64_t size) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr)
    return false;
  uint8_t header[9] = {};
  const size_t n = std::fread(header, 1, sizeof header, file);
  std::fclose(file);
  if (n < sizeof header)
    return false;
  const uint32_t length = (uint32_t{header[5]} << 24) | (uint32_t{header[6]} << 16) |
                          (uint32_t{header[7]} << 8) | uint32_t{header[8]};
  const bool knownType = header[0] == 2 || header[0] == 7 || header[0] == 0x80;
  return knownType && static_cast<int64_t>(length) <= size - 9;
}

EngineModel CaptureModel(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr)
    return kModel5100;
  LayoutCounter counter;
  std::vector<uint8_t> block(1 << 16);
  size_t n = 0;
  while ((n = std::fread(block.data(), 1, block.size(), file)) > 0)
    counter.Feed(block.data(), n);
  std::fclose(file);
  return counter.framedBytes(FrameFormat::kShort) > counter.framedBytes(FrameFormat::kLong)
             ? kModel3100
             : kModel5100;
}

std::string FirstLine(const std::string& text) {
  const size_t end = text.find('\n');
  return end == std::string::npos ? text : text.substr(0, end);
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
  if (info.st_size == 0) {
    out.why = "empty";
    return out;
  }
  std::string messages;
  if (LooksLikeRecords(path, info.st_size)) {
    out = Import(path, LogFormat::kDemoLog, kModel5100, messages);
    if (out.read)
      return out;
  }
  const EngineModel captureModel = model.value_or(CaptureModel(path));
  out = Import(path, LogFormat::kRawCapture, captureModel, messages);
  if (out.read)
    return out;
  out.why = messages.empty() ? "no engine frames in it" : FirstLine(messages);
  return out;
}

}  // namespace ovixlog
