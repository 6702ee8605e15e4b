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

#include "document/ovixlog_doc.h"
#include "document/store_writer.h"
#include "framework/safe_file_writer.h"
#include "reading/import_report.h"
#include "reading/log_reader.h"
#include "recording/recording_catalog.h"
#include "recording/recording_format.h"

namespace ovixlog {
namespace {

constexpr char kSerialFilter[] = "All Files (*.*)|*.*||";
constexpr char kDemoLogFilter[] = "EFIS DEMO (*.log)|*.log||";

bool HasCsvExtension(const std::string& path) {
  const size_t dot = path.rfind('.');
  return dot != std::string::npos && strcasecmp(path.c_str() + dot + 1, "CSV") == 0;
}

}  // namespace

// ----- Imports -----

// Takes a file's samples and settings into the document as the reader delivers them. The first
// thing a file yields turns the window to it (every file that opens and holds a byte yields
// something), so a file that does not open leaves the table as it was.
class COvixLogDoc::ImportListener : public LogReader::Listener {
 public:
  // `startsReview`: the first delivery empties the store and shows the file; otherwise the
  // caller has prepared the store.
  ImportListener(COvixLogDoc& doc, bool startsReview) : doc_(doc), startsReview_(startsReview) {}

  void AddSample(std::unique_ptr<EngineSample> sample, SampleNotifier* notifier) override {
    Begin();
    doc_.AddSample(std::move(sample), notifier);
  }
  void OnSettings(EngineModel shownModel, int32_t altFrameFormat, bool reframed) override {
    Begin();
    doc_.MeasureBeforeSettingsChange();
    doc_.model = shownModel;
    if (reframed) {
      // The live reader frames with the same settings from now on.
      doc_.altFrameFormat = altFrameFormat;
      doc_.PassSettingsToReader();
      doc_.UpdateAllViews(nullptr);
    }
  }
  void OnAircraft(const std::string& name) override {
    Begin();
    doc_.importedAircraft_ = name;
  }
  bool OnProgress(uint64_t done, uint64_t total) override {
    (void)done;
    (void)total;
    Begin();
    return true;
  }
  bool begun() const { return begun_; }

 private:
  void Begin() {
    if (begun_)
      return;
    begun_ = true;
    if (!startsReview_)
      return;
    doc_.BeginReview();
    doc_.DeleteContents();
    // An imported log is a new, untitled one: saving it must never go over the file that was
    // saved before the import.
    doc_.SetPathName(std::string());
  }

  COvixLogDoc& doc_;
  bool startsReview_;
  bool begun_ = false;
};

LogReadOptions COvixLogDoc::ImportOptions(LogFormat format) const {
  LogReadOptions options;
  options.format = format;
  // Frames are cut as the live reader cuts them: a model record alone changes only the model
  // shown, not the one the reader frames with.
  const auto framing = session_.ReaderFraming();
  options.model = static_cast<EngineModel>(framing ? framing->first : model.load());
  options.altFrameFormat = framing ? framing->second : altFrameFormat.load();
  options.shownModel = static_cast<EngineModel>(model.load());
  options.keepModel = keepModelOnImport_;
  options.streams = streamInputs_;
  options.notifier = FirstView();
  return options;
}

bool COvixLogDoc::ImportFile(const std::string& path, LogFormat format) {
  const bool demoLog = format == LogFormat::kDemoLog;
  ImportListener listener(*this, true);
  const LogReadResult result = LogReader::Read(path, ImportOptions(format), listener);
  // The store was cleared: the views must not go on showing rows that are gone.
  if (listener.begun())
    UpdateAllViews(nullptr);
  if (!result.ok()) {
    const ImportFailure failure = ImportFailureFor(path, demoLog, result);
    ui().ShowError(failure.caption, failure.text);
    return false;
  }
  ui().ShowStatus(ImportReportText(path, result));
  RememberImport(path, demoLog);
  return true;
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
  return ImportFile(path, LogFormat::kRawCapture);
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
  const std::vector<RecordingInfo> recordings = ListRecordings(recorder().folder());
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

bool COvixLogDoc::ImportDemoLog(const std::string& path) {
  return ImportFile(path, LogFormat::kDemoLog);
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
  const LiveRecorder::Status recording = recorder().status();
  return count > 0 && session_.recordedSamples() == count && recording.recording &&
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
    const LiveRecorder::Status recording = recorder().status();
    if (recording.recording && !recording.name.empty()) {
      const std::string title = RecordingTitle(recorder().folder() + "/" + recording.name);
      if (!title.empty())
        return title;
    }
  }
  return GetTitle();
}

std::string COvixLogDoc::ShownAircraft() const {
  if (!reviewing()) {
    const std::string live = recorder().aircraft();
    if (!live.empty())
      return live;
  }
  return importedAircraft_;
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
  const LiveRecorder::Status recording = recorder().status();
  if (!recording.recording || !recording.error.empty() || recording.name.empty()) {
    DiscardLiveSamples();
    return false;
  }
  session_.BeginHold();
  // The recording as far as it is written; its frames carry the stamps the live ones had.
  DeleteContents();
  LogReadOptions options = ImportOptions(LogFormat::kDemoLog);
  options.keepModel = true;
  options.streams = false;
  ImportListener listener(*this, false);
  const LogReadResult result =
      LogReader::Read(recorder().folder() + "/" + recording.name, options, listener);
  // Every sample read again is in the recording; then the live ones that came meanwhile and
  // that the file did not have yet.
  session_.SetRecordedSamples(SampleCount());
  const int reread = SampleCount();
  const uint32_t lastStamp = reread > 0 ? SampleAt(reread - 1).tickMs : 0;
  // A frame whose first bytes came before the switch is completed by the live reader after it,
  // with a later stamp, though the file had it whole: at the seam, a live sample that the last
  // two seconds read again already hold is that same frame.
  std::vector<EngineSample> tail;
  for (int i = std::max(0, reread - 24); i < reread; ++i)
    tail.push_back(SampleAt(i));
  session_.EndHold(std::move(tail), lastStamp, reread > 0);
  UpdateAllViews(nullptr);
  return result.bytesRead > 0;
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
