#include "document/file_samples.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "acquisition/layout_detector.h"
#include "document/ovixlog_doc.h"
#include "framework/headless_user_interface.h"
#include "framework/startup_options.h"

namespace ovixlog {
namespace {

// Imports the file as `kind` the way the converter does, every sample kept.
FileSamples Import(const std::string& path, ImportKind kind, EngineModel model,
                   std::string& messages) {
  StartupSettings settings;
  settings.model = model;
  settings.keepAllSamples = 1;
  settings.oldestFirst = 1;
  std::ostringstream said;
  HeadlessUserInterface ui(said);
  COvixLogDoc doc(&ui, settings);
  doc.SetPortsEnabled(false);
  doc.OnNewDocument();
  FileSamples out;
  const bool imported =
      kind == ImportKind::kDemoLog ? doc.ImportDemoLog(path) : doc.ImportSerialFile(path);
  messages = said.str();
  if (!imported)
    return out;
  out.model = doc.model.load();
  const int count = doc.SampleCount();
  out.samples.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i)
    out.samples.push_back(doc.SampleAt(i));
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
    out = Import(path, ImportKind::kDemoLog, kModel5100, messages);
    if (out.read)
      return out;
  }
  const EngineModel captureModel = model.value_or(CaptureModel(path));
  out = Import(path, ImportKind::kSerialFile, captureModel, messages);
  if (out.read)
    return out;
  out.why = messages.empty() ? "no engine frames in it" : FirstLine(messages);
  return out;
}

}  // namespace ovixlog
