// The document's imports and saving.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <strings.h>
#include <algorithm>
#include <cerrno>

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "document/demo_log_parser.h"
#include "document/ovixlog_doc.h"
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

// An input file opened for reading, closed when it goes out of scope. Opening never blocks
// (a FIFO without a writer opens at once and reads as empty), and a folder does not open.
class InputFile {
 public:
  explicit InputFile(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0)
      return;
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || S_ISDIR(st.st_mode)) {
      Close();
      return;
    }
    // Only a regular file has a size; anything else (a FIFO, a device) counts as empty.
    size_ = S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
  }
  ~InputFile() { Close(); }
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  bool IsOpen() const { return fd_ >= 0; }
  uint64_t size() const { return size_; }
  // Reads up to `count` bytes; 0 at the end, -1 on an error.
  ssize_t Read(uint8_t* buffer, size_t count) {
    for (;;) {
      const ssize_t n = ::read(fd_, buffer, count);
      if (n >= 0 || errno != EINTR)
        return n;
    }
  }
  void Close() {
    if (fd_ >= 0)
      ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_ = -1;
  uint64_t size_ = 0;
};

std::string ReadFailureText(uint64_t done, uint64_t size) {
  return "Read failure: read " + std::to_string(done) + " of " + std::to_string(size) + " bytes.";
}

bool HasCsvExtension(const std::string& path) {
  const size_t dot = path.rfind('.');
  return dot != std::string::npos && strcasecmp(path.c_str() + dot + 1, "CSV") == 0;
}

}  // namespace

// ----- Imports -----

void COvixLogDoc::OnOpenSerialFile() {
  if (!SaveModified())
    return;
  const std::optional<std::string> path = ui().ChooseOpenFile("Open Serial File", kSerialFilter);
  if (!path)
    return;
  ImportSerialFile(*path);
}

bool COvixLogDoc::ImportSerialFile(const std::string& path) {
  InputFile file(path);
  if (!file.IsOpen()) {
    ui().ShowError("Unable to Open File", "Unable to open file: " + path);
    return false;
  }
  if (file.size() == 0) {
    ui().ShowError("Empty File", "Empty file: " + path);
    return false;
  }
  BeginReview();
  DeleteContents();
  FrameAssembler& feed = ReaderForImport().fileFeed();
  feed.Reset();
  std::vector<uint8_t> buffer(kSerialReadSize);
  uint64_t done = 0;
  bool readFailed = false;
  for (;;) {
    const ssize_t n = file.Read(buffer.data(), buffer.size());
    if (n < 0)
      readFailed = true;
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
  if (readFailed) {
    ui().ShowError("File Read Failure", ReadFailureText(done, file.size()));
    return false;
  }
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
  if (recordings.empty()) {
    ui().ShowError("No Recordings", "No recordings in " + recorder_->folder());
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
  if (!chosen || *chosen >= recordings.size())
    return;
  ImportDemoLog(recordings[*chosen].path);
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

}  // namespace

bool COvixLogDoc::ImportDemoLog(const std::string& path) {
  InputFile file(path);
  if (!file.IsOpen()) {
    ui().ShowError("Unable to Open Demo Log", "Unable to open demo log: " + path);
    return false;
  }
  const uint64_t size = file.size();
  if (size == 0) {
    ui().ShowError("Empty Demo Log", "Empty demo log: " + path);
    return false;
  }
  // The whole file is read before the store is touched, so a failure leaves everything as it was.
  std::vector<uint8_t> buffer;
  try {
    buffer.resize(static_cast<size_t>(size));
  } catch (const std::bad_alloc&) {
    ui().ShowError("Memory Allocation Failure",
                   "Unable to allocate " + std::to_string(size) + " bytes.");
    return false;
  } catch (const std::length_error&) {
    ui().ShowError("Memory Allocation Failure",
                   "Unable to allocate " + std::to_string(size) + " bytes.");
    return false;
  }
  uint64_t done = 0;
  while (done < size) {
    const ssize_t n = file.Read(buffer.data() + done, static_cast<size_t>(size - done));
    if (n <= 0)
      break;
    done += static_cast<uint64_t>(n);
  }
  file.Close();
  if (done < size) {
    ui().ShowError("File Read Failure", ReadFailureText(done, size));
    return false;
  }

  BeginReview();
  DeleteContents();
  FrameAssembler& feed = ReaderForImport().fileFeed();
  feed.Reset();
  DemoLogImport import(*this, feed, &COvixLogDoc::ApplyDemoLogSetting);
  DemoLogParser parser(import);
  parser.Parse(buffer.data(), buffer.size());
  parser.Finish();
  UpdateAllViews(nullptr);
  return true;
}

void COvixLogDoc::ApplyDemoLogSetting(int key, int value) {
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
  const TableKind kind = csv ? TableKind::kCsv : TableKind::kDisplay;
  int count = 0;
  {
    std::lock_guard<std::mutex> guard(sampleLock);
    count = sampleCount;
  }
  lastSerializedCount_ = count;
  const int rows = count + (kind == TableKind::kDisplay ? 2 : 1);
  RowBuffer buffer;
  for (int row = 0; row < rows; ++row) {
    {
      // The table is written as it stood when the save began: samples the reading thread adds
      // meanwhile have higher indices and do not shift the rows being written.
      std::lock_guard<std::mutex> guard(sampleLock);
      FormatRowLocked(kind, row, count, buffer);
    }
    buffer.Char('\r');
    buffer.Char('\n');
    if (!write(buffer.view()))
      return false;
  }
  return true;
}

void COvixLogDoc::Serialize(TextArchive& archive) {
  if (!archive.IsStoring())
    return;
  WriteRows(false, [&archive](std::string_view row) { return archive.file().Write(row); });
}

void COvixLogDoc::MarkSaved(int savedCount) {
  SetModifiedFlag(false);
  std::lock_guard<std::mutex> guard(sampleLock);
  if (sampleCount != savedCount)
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
    ui().ShowError("Save Failed", "Unable to write CSV file: " + path);
    return false;
  }
  MarkSaved(lastSerializedCount_);
  return true;
}

bool COvixLogDoc::SaveModified() {
  if (startup_.autoSaveEnabled != 0) {
    // The output file named on the command line is written every time, without a question;
    // a failure has been shown and does not stop the caller.
    DoSave(startup_.autoSavePath, true);
    return true;
  }
  return Document::SaveModified();
}

}  // namespace ovixlog
