// The document's imports and saving.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <strings.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <utility>
#include <string>
#include <vector>

#include "reading/demo_log_parser.h"
#include "document/ovixlog_doc.h"
#include "document/store_writer.h"
#include "framework/safe_file_writer.h"
#include "reading/import_report.h"
#include "reading/input_file.h"
#include "reading/log_reader.h"
#include "recording/recording_catalog.h"
#include "recording/recording_format.h"

namespace ovixlog {
namespace {

constexpr size_t kSerialBlockSize = 4096;
// The file is read a few hundred kilobytes at a time (fewer system calls) and fed a block at a
// time; memory stays fixed whatever the file's size.
constexpr size_t kSerialReadSize = 64 * kSerialBlockSize;
constexpr char kSerialFilter[] = "All Files (*.*)|*.*||";
constexpr char kDemoLogFilter[] = "EFIS DEMO (*.log)|*.log||";

constexpr size_t kStreamReadSize = 1 << 20;
std::string ReadFailureText(uint64_t done, const InputFile& file, int error) {
  const std::string of = file.IsStream() ? std::string() : " of " + std::to_string(file.size());
  return "Read failure: read " + std::to_string(done) + of + " bytes." +
         Document::WithReason(SystemErrorText(error));
}

// What the system says it can give without swapping, in bytes; the largest value when it does
// not say.
uint64_t AvailableMemory() {
  std::FILE* info = std::fopen("/proc/meminfo", "re");
  if (info == nullptr)
    return UINT64_MAX;
  uint64_t available = UINT64_MAX;
  char line[256];
  while (std::fgets(line, sizeof line, info) != nullptr) {
    unsigned long long kib = 0;
    if (std::sscanf(line, "MemAvailable: %llu kB", &kib) == 1) {
      available = static_cast<uint64_t>(kib) * 1024;
      break;
    }
  }
  std::fclose(info);
  return available;
}

// The name an import report uses: the file name without its folder.
std::string ShownName(const std::string& path) {
  if (path == "-")
    return "standard input";
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Counted(uint64_t count, const char* one, const char* many) {
  return WithThousands(count) + " " + (count == 1 ? one : many);
}

bool HasCsvExtension(const std::string& path) {
  const size_t dot = path.rfind('.');
  return dot != std::string::npos && strcasecmp(path.c_str() + dot + 1, "CSV") == 0;
}

}  // namespace

// ----- Imports -----

void COvixLogDoc::ReportImport(const std::string& path, uint64_t frames, uint64_t badChecksum,
                               uint64_t skipped, bool cutShort) {
  std::string details;
  const auto add = [&details](const std::string& part) {
    details += (details.empty() ? " (" : ", ") + part;
  };
  // Without a single frame, counts of what did not fit only say the same thing again.
  if (badChecksum > 0 && frames > 0)
    add(WithThousands(badChecksum) + " with a bad checksum");
  if (skipped > 0 && frames > 0)
    add(Counted(skipped, "byte", "bytes") + " skipped");
  if (cutShort)
    add("cut short inside a record");
  if (!details.empty())
    details += ")";
  const std::string name = ShownName(path);
  if (frames == 0) {
    ui().ShowStatus("No frames found in " + name + details + " \u2014 is the monitor model right?");
  } else {
    ui().ShowStatus("Imported " + Counted(frames, "frame", "frames") + " from " + name + details);
  }
}

void COvixLogDoc::OnOpenSerialFile() {
  if (!SaveModified())
    return;
  const std::optional<std::string> path = ui().ChooseOpenFile("Open Serial File", kSerialFilter);
  if (!path)
    return;
  ImportSerialFile(*path);
}

bool COvixLogDoc::ImportSerialFile(const std::string& path) {
  InputFile file(path, streamInputs_);
  if (!file.IsOpen()) {
    ui().ShowError("Unable to Open File",
                   "Unable to open file: " + path + WithReason(file.error()));
    return false;
  }
  if (!file.IsStream() && file.size() == 0) {
    ui().ShowError("Empty File", "Empty file: " + path);
    return false;
  }
  BeginReview();
  DeleteContents();
  // An imported log is a new, untitled one: saving it must never go over the file that was
  // saved before the import.
  SetPathName(std::string());
  FrameAssembler& feed = ReaderForImport().fileFeed();
  feed.Reset();
  const uint64_t acceptedBefore = feed.framesAccepted();
  const uint64_t droppedBefore = feed.framesDropped();
  const uint64_t skippedBefore = feed.bytesSkipped();
  std::vector<uint8_t> buffer(kSerialReadSize);
  uint64_t done = 0;
  int readError = 0;
  for (;;) {
    const ssize_t n = file.Read(buffer.data(), buffer.size());
    if (n < 0)
      readError = errno;
    if (n <= 0)
      break;
    const auto count = static_cast<size_t>(n);
    for (size_t pos = 0; pos < count; pos += kSerialBlockSize) {
      feed.Feed(FrameAssembler::kNoStamp, buffer.data() + pos,
                std::min(kSerialBlockSize, count - pos));
    }
    done += count;
  }
  file.Close();
  // The store was cleared: the views must not go on showing rows that are gone.
  UpdateAllViews(nullptr);
  if (readError != 0) {
    ui().ShowError("File Read Failure", ReadFailureText(done, file, readError));
    return false;
  }
  // Bytes still waiting for the rest of a frame at the end belong to no frame either.
  ReportImport(path, feed.framesAccepted() - acceptedBefore, feed.framesDropped() - droppedBefore,
               feed.bytesSkipped() - skippedBefore + static_cast<uint64_t>(feed.pending()), false);
  RememberImport(path, false);
  return true;
}

void COvixLogDoc::OnOpenDemoLog() {
  if (!SaveModified())
    return;
  const std::optional<std::string> path = ui().ChooseOpenFile("Open EFIS DEMO", kDemoLogFilter);
  if (!path)
    return;
  ImportDemoLog(*path);
}

void COvixLogDoc::OnOpenRecording() {
  if (!SaveModified())
    return;
  const std::vector<RecordingInfo> recordings = ListRecordings(recorder_->folder());
  const auto browse = [this] {
    if (const std::optional<std::string> path = ui().ChooseOpenFile("Open Recording",
                                                                    kDemoLogFilter)) {
      ImportDemoLog(*path);
    }
  };
  if (recordings.empty()) {
    // Nothing recorded here: the recording may have been copied from elsewhere.
    browse();
    return;
  }
  std::vector<std::vector<std::string>> rows;
  for (const RecordingInfo& info : recordings) {
    rows.push_back({StartText(info), DurationText(info.durationMs),
                    info.modelNumber != 0 ? std::to_string(info.modelNumber) : std::string("?"),
                    SizeText(info.size), info.name});
  }
  const std::optional<size_t> chosen =
      ui().ChooseFromList("Open Recording", {"Start", "Duration", "Model", "Size", "File"}, rows);
  if (chosen && *chosen == UserInterface::kBrowse) {
    browse();
    return;
  }
  if (!chosen || *chosen >= recordings.size())
    return;
  ImportDemoLog(recordings[*chosen].path);
}

void COvixLogDoc::OnOpenAnyFile() {
  if (!SaveModified())
    return;
  const std::optional<std::string> path = ui().ChooseOpenFile("Open", kSerialFilter);
  if (!path)
    return;
  ImportByContent(*path);
}

bool COvixLogDoc::ImportByContent(const std::string& path) {
  return LooksLikeDemoLog(path) ? ImportDemoLog(path) : ImportSerialFile(path);
}

namespace {

// Feeds a demo log's stream bytes to the file-feed assembler and applies its settings.
class DemoLogImport : public DemoLogParser::Listener {
 public:
  DemoLogImport(COvixLogDoc& document, FrameAssembler& feed, void (COvixLogDoc::*apply)(int, int))
      : document_(document), feed_(feed), apply_(apply) {}
  void OnStreamBytes(uint32_t stamp, const uint8_t* bytes, size_t count) override {
    feed_.Feed(stamp, bytes, count);
  }
  void OnSetting(int key, int value) override { (document_.*apply_)(key, value); }
  // Our own recordings carry the wall-clock time, so the rows show when the flight was flown,
  // and mark where a lost device came back, so no frame is pieced together across the gap.
  void OnSmallRecord(uint8_t type, uint32_t stamp, const uint8_t* payload, size_t length) override {
    if (type == kWallClockRecord) {
      if (std::optional<WallClockAnchor> anchor = ParseWallClock(stamp, payload, length))
        feed_.SetWallClock(anchor);
    } else if (type == kStreamRestartRecord) {
      feed_.DropPending();
    }
  }

 private:
  COvixLogDoc& document_;
  FrameAssembler& feed_;
  void (COvixLogDoc::*apply_)(int, int);
};

// Makes room for `size` bytes; false when the system cannot give that much.
bool Reserve(std::vector<uint8_t>& buffer, uint64_t size) {
  try {
    buffer.resize(static_cast<size_t>(size));
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  return true;
}

}  // namespace

bool COvixLogDoc::ImportDemoLog(const std::string& path) {
  InputFile file(path, streamInputs_);
  if (!file.IsOpen()) {
    ui().ShowError("Unable to Open Demo Log",
                   "Unable to open demo log: " + path + WithReason(file.error()));
    return false;
  }
  const uint64_t size = file.size();
  if (!file.IsStream() && size == 0) {
    ui().ShowError("Empty Demo Log", "Empty demo log: " + path);
    return false;
  }
  const auto refuse = [this](uint64_t bytes) {
    ui().ShowError("Memory Allocation Failure",
                   "Unable to allocate " + std::to_string(bytes) + " bytes.");
    return false;
  };
  // The whole file is read before the store is touched, so a failure leaves everything as it
  // was. A file larger than the memory the system has to give is refused before any of it is
  // read: reading it would only push everything else out to swap first.
  const uint64_t available = AvailableMemory();
  std::vector<uint8_t> buffer;
  uint64_t done = 0;
  int readError = 0;
  if (!file.IsStream()) {
    if (size > available || !Reserve(buffer, size))
      return refuse(size);
    while (done < size) {
      const ssize_t n = file.Read(buffer.data() + done, static_cast<size_t>(size - done));
      if (n < 0)
        readError = errno;
      if (n <= 0)
        break;
      done += static_cast<uint64_t>(n);
    }
    if (done < size && readError == 0)
      readError = EIO;  // the file shrank while it was read
  } else {
    for (;;) {
      const uint64_t wanted = done + kStreamReadSize;
      if (wanted > available || !Reserve(buffer, wanted))
        return refuse(wanted);
      const ssize_t n = file.Read(buffer.data() + done, kStreamReadSize);
      if (n < 0)
        readError = errno;
      if (n <= 0)
        break;
      done += static_cast<uint64_t>(n);
    }
    buffer.resize(static_cast<size_t>(done));
  }
  file.Close();
  if (readError != 0) {
    ui().ShowError("File Read Failure", ReadFailureText(done, file, readError));
    return false;
  }

  BeginReview();
  DeleteContents();
  SetPathName(std::string());
  FrameAssembler& feed = ReaderForImport().fileFeed();
  feed.Reset();
  const uint64_t acceptedBefore = feed.framesAccepted();
  const uint64_t droppedBefore = feed.framesDropped();
  const uint64_t skippedBefore = feed.bytesSkipped();
  DemoLogImport import(*this, feed, &COvixLogDoc::ApplyDemoLogSetting);
  DemoLogParser parser(import);
  parser.Parse(buffer.data(), buffer.size());
  parser.Finish();
  UpdateAllViews(nullptr);
  ReportImport(path, feed.framesAccepted() - acceptedBefore, feed.framesDropped() - droppedBefore,
               feed.bytesSkipped() - skippedBefore + static_cast<uint64_t>(feed.pending()),
               parser.EndedInsideRecord());
  RememberImport(path, true);
  return true;
}

bool LooksLikeDemoLog(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr)
    return false;
  uint8_t head[4096];
  const size_t got = std::fread(head, 1, sizeof head, file);
  std::fclose(file);
  return LooksLikeDemoLogHead(head, got);
}

namespace {

// A regular file's size and change time; nothing for a pipe, a device or a missing file.
std::optional<std::pair<int64_t, int64_t>> FileIdentity(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
    return std::nullopt;
  return std::make_pair(static_cast<int64_t>(info.st_size),
                        static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 +
                            static_cast<int64_t>(info.st_mtim.tv_nsec));
}

// Our recordings are named after their start: "2026-12-10_07-12-00_ttyUSB0_5100.log".
bool NamedLikeARecording(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  static constexpr const char* kPattern = "dddd-dd-dd_dd-dd-dd_";
  const size_t length = std::strlen(kPattern);
  if (name.size() < length + 4 || name.compare(name.size() - 4, 4, ".log") != 0)
    return false;
  for (size_t i = 0; i < length; ++i) {
    const bool digit = name[i] >= '0' && name[i] <= '9';
    if (kPattern[i] == 'd' ? !digit : name[i] != kPattern[i])
      return false;
  }
  return true;
}

std::string RecordingTitle(const std::string& path) {
  const std::optional<RecordingInfo> info = ReadRecordingInfo(path);
  return info ? "Recording " + StartText(*info) : std::string();
}

}  // namespace

void COvixLogDoc::RememberImport(const std::string& path, bool demoLog) {
  importedPath_ = path;
  importedDemoLog_ = demoLog;
  const auto identity = FileIdentity(path);
  importedSize_ = identity ? identity->first : -1;
  importedChangeNs_ = identity ? identity->second : 0;
}

bool COvixLogDoc::SamplesKeptElsewhere() const {
  if (reviewing()) {
    if (importedPath_.empty() || importedSize_ < 0)
      return false;
    const auto identity = FileIdentity(importedPath_);
    return identity && identity->first == importedSize_ && identity->second == importedChangeNs_;
  }
  const int count = SampleCount();
  const LiveRecorder::Status recording = recorder_->status();
  return count > 0 && recordedSamples_.load() == count && recording.recording &&
         recording.error.empty();
}

std::string COvixLogDoc::ShownTitle() const {
  if (!GetPathName().empty())
    return GetTitle();
  if (reviewing() && !importedPath_.empty()) {
    if (importedDemoLog_ && NamedLikeARecording(importedPath_)) {
      const std::string title = RecordingTitle(importedPath_);
      if (!title.empty())
        return title;
    }
    const size_t slash = importedPath_.find_last_of('/');
    return slash == std::string::npos ? importedPath_ : importedPath_.substr(slash + 1);
  }
  if (!reviewing()) {
    const LiveRecorder::Status recording = recorder_->status();
    if (recording.recording && !recording.name.empty()) {
      const std::string title = RecordingTitle(recorder_->folder() + "/" + recording.name);
      if (!title.empty())
        return title;
    }
  }
  return GetTitle();
}

bool COvixLogDoc::ReimportWithCurrentModel() {
  if (importedPath_.empty() || !reviewing())
    return false;
  const std::string path = importedPath_;
  if (!importedDemoLog_)
    return ImportSerialFile(path);
  keepModelOnImport_ = true;
  const bool read = ImportDemoLog(path);
  keepModelOnImport_ = false;
  return read;
}

bool COvixLogDoc::RereadLiveSamples() {
  if (reviewing())
    return false;
  const LiveRecorder::Status recording = recorder_->status();
  if (!recording.recording || !recording.error.empty() || recording.name.empty()) {
    DiscardLiveSamples();
    return false;
  }
  {
    std::lock_guard<std::mutex> guard(holdLock_);
    holdLive_ = true;
  }
  // The recording as far as it is written; its frames carry the stamps the live ones had.
  std::vector<uint8_t> bytes;
  {
    InputFile file(recorder_->folder() + "/" + recording.name, false);
    const uint64_t size = file.IsOpen() ? file.size() : 0;
    if (size > 0 && size <= AvailableMemory() && Reserve(bytes, size)) {
      uint64_t done = 0;
      while (done < size) {
        const ssize_t n = file.Read(bytes.data() + done, static_cast<size_t>(size - done));
        if (n <= 0)
          break;
        done += static_cast<uint64_t>(n);
      }
      bytes.resize(static_cast<size_t>(done));
    }
  }
  DeleteContents();
  FrameAssembler& feed = ReaderForImport().fileFeed();
  feed.Reset();
  keepModelOnImport_ = true;
  DemoLogImport import(*this, feed, &COvixLogDoc::ApplyDemoLogSetting);
  DemoLogParser parser(import);
  parser.Parse(bytes.data(), bytes.size());
  parser.Finish();
  keepModelOnImport_ = false;
  // Every sample read again is in the recording; then the live ones that came meanwhile and
  // that the file did not have yet.
  recordedSamples_ = SampleCount();
  const int reread = SampleCount();
  const uint32_t lastStamp = reread > 0 ? SampleAt(reread - 1).tickMs : 0;
  // A frame whose first bytes came before the switch is completed by the live reader after it,
  // with a later stamp, though the file had it whole: at the seam, a live sample that the last
  // two seconds read again already hold is that same frame.
  std::vector<EngineSample> tail;
  for (int i = std::max(0, reread - 24); i < reread; ++i)
    tail.push_back(SampleAt(i));
  {
    std::lock_guard<std::mutex> guard(holdLock_);
    seamTail_ = std::move(tail);
    seamEndStamp_ = lastStamp + 2000;
  }
  // The hold ends only with nothing held, so the live samples keep their order.
  for (;;) {
    std::vector<std::unique_ptr<EngineSample>> held;
    {
      std::lock_guard<std::mutex> guard(holdLock_);
      if (heldLive_.empty()) {
        holdLive_ = false;
        break;
      }
      held.swap(heldLive_);
      // Held samples are judged at the seam here, under the same lock the gate takes.
      std::vector<std::unique_ptr<EngineSample>> fresh;
      for (std::unique_ptr<EngineSample>& sample : held) {
        if (reread > 0 && static_cast<int32_t>(sample->tickMs - lastStamp) <= 0)
          continue;
        if (PassesSeamLocked(*sample))
          fresh.push_back(std::move(sample));
      }
      held.swap(fresh);
    }
    for (std::unique_ptr<EngineSample>& sample : held) {
      const int before = SampleCount();
      AddSample(std::move(sample), nullptr);
      if (SampleCount() > before)
        recordedSamples_.fetch_add(1);
    }
  }
  UpdateAllViews(nullptr);
  return !bytes.empty();
}

void COvixLogDoc::DiscardLiveSamples() {
  if (reviewing())
    return;
  DeleteContents();
  UpdateAllViews(nullptr);
}

void COvixLogDoc::ApplyDemoLogSetting(int key, int value) {
  if (keepModelOnImport_ && (key == 58 || key == 321 || key == 723))
    return;
  if (key == 58 || key == 321)
    MeasureBeforeSettingsChange();
  switch (key) {
    case 58:
      // Only the document's model: the reader keeps framing with its own until a 321 record.
      switch (value) {
        case 3:
          model = kModel3100;
          break;
        case 5:
          model = kModel5100;
          break;
        case 7:
          model = kModel7100;
          break;
        case 8:
          model = kModel8100;
          break;
        default:
          break;
      }
      break;
    case 321:
      if (value == 1) {
        model = kModel3100;
      } else if (model.load() == kModel3100) {
        model = kModel5100;
      }
      PassSettingsToReader();
      UpdateAllViews(nullptr);
      break;
    case 723:
      altFrameFormat = value == 0 ? 0 : 1;
      PassSettingsToReader();
      UpdateAllViews(nullptr);
      break;
    default:
      break;
  }
}

// ----- Saving -----

bool COvixLogDoc::WriteRows(bool csv, const std::function<bool(std::string_view)>& write) {
  const int count = store_.Count();
  lastSerializedCount_ = count;
  return StoreWriter::Write(store_, count, csv ? RowStyle::kCsv : RowStyle::kDisplay,
                            CurrentRowSettings(), oldestFirst.load() != 0, write);
}

void COvixLogDoc::Serialize(TextArchive& archive) {
  if (!archive.IsStoring())
    return;
  WriteRows(false, [&archive](std::string_view row) { return archive.file().Write(row); });
}

void COvixLogDoc::MarkSaved(int savedCount) {
  SetModifiedFlag(false);
  if (store_.Count() != savedCount)
    SetModifiedFlag(true);
}

bool COvixLogDoc::OnSaveDocument(const std::string& path) {
  if (!HasCsvExtension(path)) {
    if (!Document::OnSaveDocument(path))
      return false;
    MarkSaved(lastSerializedCount_);
    return true;
  }
  SafeFileWriter file;
  bool ok = file.Open(path);
  if (ok) {
    ok =
        WriteRows(true, [&file](std::string_view row) { return file.Write(row); }) && file.Commit();
  }
  if (!ok) {
    ui().ShowError("Save Failed", "Unable to write CSV file: " + path + WithReason(file.error()));
    return false;
  }
  MarkSaved(lastSerializedCount_);
  return true;
}

std::string NumberedSibling(const std::string& path, int number) {
  const size_t slash = path.find_last_of('/');
  const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot <= nameStart)
    dot = path.size();
  return path.substr(0, dot) + "-" + std::to_string(number) + path.substr(dot);
}

std::string COvixLogDoc::SilentSaveTarget() const {
  if (!flightTarget_.empty())
    return flightTarget_;
  const std::string& output = startup_.autoSavePath;
  if (!outputFileUsed_)
    return output;
  constexpr int kMaxNumber = 1000000;
  for (int number = 2; number < kMaxNumber; ++number) {
    const std::string candidate = NumberedSibling(output, number);
    struct stat st {};
    if (::lstat(candidate.c_str(), &st) != 0 && errno == ENOENT)
      return candidate;
  }
  return NumberedSibling(output, kMaxNumber);
}

bool COvixLogDoc::SaveModified() {
  if (startup_.autoSaveEnabled == 0) {
    // Nothing to lose: the file it came from, or the recording, holds every sample.
    if (IsModified() && SamplesKeptElsewhere())
      return true;
    return Document::SaveModified();
  }
  // Only a log that holds something the file does not have yet is written: an empty log, or one
  // saved since its last sample, would only replace a file with less.
  if (!IsModified() || SampleCount() == 0)
    return true;
  const std::string target = SilentSaveTarget();
  if (!DoSave(target, true))
    return false;  // shown already; the caller stops, as after a failed answer Yes
  flightTarget_ = target;
  if (target == startup_.autoSavePath)
    outputFileUsed_ = true;
  return true;
}

}  // namespace ovixlog
