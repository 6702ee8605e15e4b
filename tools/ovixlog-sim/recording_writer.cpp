#include "ovixlog-sim/recording_writer.h"

#include <memory>
#include <string_view>

#include "acquisition/demo_log_builder.h"
#include "framework/safe_file_writer.h"

namespace ovixlog::sim {
namespace {

constexpr size_t kChunkBytes = 1 << 20;

std::string_view View(const std::vector<uint8_t>& bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

bool Fail(const std::string& path, std::string& error) {
  error = "Cannot write " + path;
  return false;
}

}  // namespace

std::vector<std::string> DemoLogSettings(EngineModel model, int32_t altFrameFormat) {
  return {"58=" + std::to_string(ModelNumber(model) / 1000),
          std::string("321=") + (model == kModel3100 ? "1" : "0"),
          std::string("723=") + (UsesAltFormat(model, altFrameFormat) ? "1" : "0")};
}

bool WriteCapture(const std::string& path, FrameStream& stream, uint64_t frames,
                  std::string& error) {
  SafeFileWriter file;
  if (!file.Open(path, true))
    return Fail(path, error);
  std::vector<uint8_t> chunk;
  chunk.reserve(kChunkBytes + 128);
  for (uint64_t i = 0; i < frames; ++i) {
    stream.AppendNext(chunk);
    if (chunk.size() >= kChunkBytes) {
      if (!file.Write(View(chunk)))
        return Fail(path, error);
      chunk.clear();
    }
  }
  if (!file.Write(View(chunk)) || !file.Commit())
    return Fail(path, error);
  return true;
}

bool WriteDemoLog(const std::string& path, FrameStream& stream, uint64_t frames,
                  std::string& error) {
  SafeFileWriter file;
  if (!file.Open(path, true))
    return Fail(path, error);
  auto log = std::make_unique<DemoLogBuilder>();
  for (const std::string& setting :
       DemoLogSettings(stream.options().model, stream.options().altFrameFormat)) {
    log->Setting(0, setting);
  }
  std::vector<uint8_t> record;
  for (uint64_t first = 0; first < frames; first += kFramesPerRecord) {
    record.clear();
    for (uint64_t i = first; i < frames && i < first + kFramesPerRecord; ++i) {
      stream.AppendNext(record);
    }
    log->Stream(FrameStamp(first), record);
    // The builder keeps everything in memory; hand its bytes over now and then.
    if (log->bytes().size() >= kChunkBytes) {
      if (!file.Write(View(log->bytes())))
        return Fail(path, error);
      log = std::make_unique<DemoLogBuilder>();
    }
  }
  if (!file.Write(View(log->bytes())) || !file.Commit())
    return Fail(path, error);
  return true;
}

}  // namespace ovixlog::sim
