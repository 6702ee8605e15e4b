#include "reading/log_reader.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <cerrno>
#include <vector>

#include "acquisition/frame_assembler.h"
#include "framework/safe_file_writer.h"
#include "reading/demo_log_parser.h"
#include "reading/input_file.h"
#include "recording/recording_format.h"

namespace ovixlog {
namespace {

// Files are read a few hundred kilobytes at a time (fewer system calls); a raw capture is fed
// to the assembler a serial block at a time.
constexpr size_t kReadSize = 256 * 1024;
constexpr size_t kSerialBlockSize = 4096;
// How much of the start of a file tells a log from a capture.
constexpr size_t kHeadSize = 4096;
// How much of a capture is framed in every layout to tell a capture from anything else.
constexpr uint64_t kProbeSize = 64 * 1024;
constexpr int kHeadRecords = 8;
constexpr uint32_t kHeadRecordLimit = 1u << 20;

bool KnownRecordType(uint8_t type) {
  return type == kStreamRecord || type == kSettingRecord || type == kWallClockRecord ||
         type == kClosingRecord || type == kStreamRestartRecord || type == kAircraftRecord;
}

std::optional<EngineModel> ModelForSetting(int value) {
  switch (value) {
    case 3:
      return kModel3100;
    case 5:
      return kModel5100;
    case 7:
      return kModel7100;
    case 8:
      return kModel8100;
    default:
      return std::nullopt;
  }
}

// The reading of one file: the assembler with the model it frames with, and the model the
// file's settings say is shown (which a model record alone changes without reframing).
class Reading : public DemoLogParser::Listener {
 public:
  Reading(const LogReadOptions& options, LogReader::Listener& listener, bool decode = true)
      : decode_(decode),
        options_(options),
        listener_(listener),
        frameModel_(options.model),
        frameAlt_(options.altFrameFormat),
        shownModel_(options.shownModel.value_or(options.model)),
        alt_(options.altFrameFormat == 0 ? 0 : 1),
        feed_(frameModel_, frameAlt_, &listener, options.notifier) {}

  FrameAssembler& feed() { return feed_; }
  EngineModel shownModel() const { return shownModel_; }
  int32_t alt() const { return alt_; }

  void OnStreamBytes(uint32_t stamp, const uint8_t* bytes, size_t count) override {
    if (decode_)
      feed_.Feed(stamp, bytes, count);
  }

  void OnSetting(int key, int value) override {
    if (options_.keepModel && (key == 58 || key == 321 || key == 723))
      return;
    switch (key) {
      case 58:
        if (const std::optional<EngineModel> model = ModelForSetting(value)) {
          shownModel_ = *model;
          listener_.OnSettings(shownModel_, alt_, false);
        }
        break;
      case 321:
        if (value == 1) {
          shownModel_ = kModel3100;
        } else if (shownModel_ == kModel3100) {
          shownModel_ = kModel5100;
        }
        Reframe();
        break;
      case 723:
        alt_ = value == 0 ? 0 : 1;
        Reframe();
        break;
      default:
        break;
    }
  }

  // Our recordings carry the wall-clock time, so samples show when the flight was flown, and
  // mark where a lost device came back, so no frame is pieced together across the gap.
  void OnSmallRecord(uint8_t type, uint32_t stamp, const uint8_t* payload, size_t length) override {
    if (type == kWallClockRecord) {
      if (std::optional<WallClockAnchor> anchor = ParseWallClock(stamp, payload, length)) {
        feed_.SetWallClock(anchor);
        listener_.OnWallClock(*anchor);
      }
    } else if (type == kStreamRestartRecord) {
      feed_.DropPending();
    } else if (type == kAircraftRecord) {
      if (std::optional<std::string> name = ParseAircraft(payload, length))
        listener_.OnAircraft(*name);
    }
  }

 private:
  void Reframe() {
    frameModel_ = shownModel_;
    frameAlt_ = alt_;
    listener_.OnSettings(shownModel_, alt_, true);
  }

  bool decode_;
  const LogReadOptions& options_;
  LogReader::Listener& listener_;
  // Read by the assembler once per feed; only this thread writes them.
  std::atomic<int32_t> frameModel_;
  std::atomic<int32_t> frameAlt_;
  EngineModel shownModel_;
  int32_t alt_;
  FrameAssembler feed_;
};

// The listener of a reading that decodes nothing.
class NoSamples : public LogReader::Listener {
 public:
  void AddSample(std::unique_ptr<EngineSample>, SampleNotifier*) override {}
};

// Reads until `buffer` holds `want` bytes or the file ends; the count, or -1 on an error.
ssize_t ReadAtLeast(InputFile& file, uint8_t* buffer, size_t want, size_t room) {
  size_t got = 0;
  while (got < want) {
    const ssize_t n = file.Read(buffer + got, room - got);
    if (n < 0)
      return -1;
    if (n == 0)
      break;
    got += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(got);
}

}  // namespace

LogReadResult LogReader::ReadSettings(const std::string& path, const LogReadOptions& options) {
  LogReadResult result;
  result.model = options.model;
  result.altFrameFormat = options.altFrameFormat == 0 ? 0 : 1;
  result.format = options.format;
  if (options.format != LogFormat::kDemoLog)
    return result;
  InputFile file(path, false);
  if (!file.IsOpen()) {
    result.error = LogReadError::kOpen;
    result.reason = file.error();
    return result;
  }
  result.totalBytes = file.size();
  NoSamples ignored;
  Reading reading(options, ignored, false);
  DemoLogParser parser(reading);
  std::vector<uint8_t> buffer(kReadSize);
  for (;;) {
    const ssize_t n = file.Read(buffer.data(), buffer.size());
    if (n < 0) {
      result.error = LogReadError::kRead;
      result.reason = SystemErrorText(errno);
      return result;
    }
    if (n == 0)
      break;
    parser.Parse(buffer.data(), static_cast<size_t>(n));
    result.bytesRead += static_cast<uint64_t>(n);
  }
  result.model = reading.shownModel();
  result.altFrameFormat = reading.alt();
  return result;
}

bool LooksLikeDemoLogHead(const uint8_t* head, size_t size) {
  size_t pos = 0;
  int records = 0;
  while (records < kHeadRecords && pos + kRecordHeaderSize <= size) {
    const uint8_t* r = head + pos;
    const uint32_t length = ReadBigEndian32(r + 5);
    if (!KnownRecordType(r[0]))
      return false;
    // A length beyond reason after good records is a damaged log, read up to the damage.
    if (length > kHeadRecordLimit)
      return records > 0;
    pos += kRecordHeaderSize + length;
    ++records;
  }
  // Ends at the end of what was read, inside a record, or with the start of a record cut short.
  return records > 0 && (pos >= size || records == kHeadRecords ||
                         (size - pos < kRecordHeaderSize && KnownRecordType(head[pos])));
}

std::string LogReadResult::ErrorText(const std::string& path) const {
  switch (error) {
    case LogReadError::kNone:
      return std::string();
    case LogReadError::kOpen:
      return "Unable to open " + path + ": " + reason;
    case LogReadError::kEmpty:
      return "Empty file: " + path;
    case LogReadError::kRead:
      return "Unable to read " + path + " after " + std::to_string(bytesRead) + " bytes: " +
             reason;
    case LogReadError::kUnknownFormat:
      return path + " is not a flight log: " + reason;
  }
  return std::string();
}

LogReadResult LogReader::Read(const std::string& path, const LogReadOptions& options,
                              Listener& listener) {
  LogReadResult result;
  result.model = options.model;
  result.altFrameFormat = options.altFrameFormat == 0 ? 0 : 1;
  InputFile file(path, options.streams);
  if (!file.IsOpen()) {
    result.error = LogReadError::kOpen;
    result.reason = file.error();
    return result;
  }
  result.totalBytes = file.IsStream() ? 0 : file.size();
  std::vector<uint8_t> buffer(kReadSize);
  // The head decides the kind before anything is delivered.
  ssize_t n = ReadAtLeast(file, buffer.data(), kHeadSize, buffer.size());
  if (n < 0) {
    result.error = LogReadError::kRead;
    result.reason = SystemErrorText(errno);
    return result;
  }
  if (n == 0) {
    result.error = LogReadError::kEmpty;
    return result;
  }
  const bool detect = options.format == LogFormat::kDetect;
  result.format = !detect ? options.format
                  : LooksLikeDemoLogHead(buffer.data(), static_cast<size_t>(n))
                      ? LogFormat::kDemoLog
                      : LogFormat::kRawCapture;
  const bool raw = result.format == LogFormat::kRawCapture;

  Reading reading(options, listener);
  FrameAssembler& feed = reading.feed();
  DemoLogParser parser(reading);
  LayoutCounter probe;
  if (raw && options.countLayouts)
    result.layouts.emplace();
  for (;;) {
    const auto count = static_cast<size_t>(n);
    if (raw) {
      if (detect && probe.bytesSeen() < kProbeSize)
        probe.Feed(buffer.data(), std::min<size_t>(count, kProbeSize - probe.bytesSeen()));
      if (result.layouts)
        result.layouts->Feed(buffer.data(), count);
      for (size_t pos = 0; pos < count; pos += kSerialBlockSize) {
        feed.Feed(FrameAssembler::kNoStamp, buffer.data() + pos,
                  std::min(kSerialBlockSize, count - pos));
      }
    } else {
      parser.Parse(buffer.data(), count);
    }
    result.bytesRead += count;
    if (!listener.OnProgress(result.bytesRead, result.totalBytes)) {
      result.cancelled = true;
      break;
    }
    n = file.Read(buffer.data(), buffer.size());
    if (n < 0) {
      result.error = LogReadError::kRead;
      result.reason = SystemErrorText(errno);
      break;
    }
    if (n == 0)
      break;
  }
  if (!raw && !result.cancelled) {
    result.tornTail = parser.EndedInsideRecord();
    if (result.tornTail)
      result.tornAt = parser.lastRecordStart();
    parser.Finish();
  }
  result.frames = feed.framesAccepted();
  result.badChecksums = feed.framesDropped();
  // Bytes still waiting for the rest of a frame at the end belong to no frame either.
  result.bytesSkipped = feed.bytesSkipped() + static_cast<uint64_t>(feed.pending());
  result.model = reading.shownModel();
  result.altFrameFormat = reading.alt();
  if (detect && raw && result.ok() && result.frames == 0) {
    bool framed = false;
    for (int layout = 0; layout < kLayoutCount; ++layout)
      framed = framed || probe.framedBytes(static_cast<FrameFormat>(layout)) > 0;
    if (!framed) {
      result.error = LogReadError::kUnknownFormat;
      result.reason =
          "expected a recording, an EFIS DEMO log or a raw capture of the monitor's frames";
    }
  }
  return result;
}

}  // namespace ovixlog
