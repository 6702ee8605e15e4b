#include "document/ovixlog_doc.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "recording/recording_catalog.h"

namespace ovixlog {
namespace {

int32_t RuleWidth(EngineModel model) {
  RowBuffer rule;
  RowFormatter::Rule(model, rule);
  return static_cast<int32_t>(rule.size());
}

}  // namespace

COvixLogDoc::COvixLogDoc(UserInterface* ui, const StartupSettings& startup)
    : Document(ui),
      model(startup.model),
      commPort(startup.commPort),
      keepAllSamples(startup.keepAllSamples),
      showSystemTime(startup.showSystemTime),
      altFrameFormat(startup.altFrameFormat),
      oldestFirst(startup.oldestFirst),
      store_(RuleWidth(startup.model)),
      startup_(startup) {
  recorder_ = std::make_unique<LiveRecorder>(
      startup.recordingFolder.empty() ? DefaultRecordingsFolder() : startup.recordingFolder,
      startup.recordingEnabled != 0);
}

COvixLogDoc::~COvixLogDoc() {
  std::lock_guard<std::mutex> readerGuard(readerLock);
  if (reader) {
    reader->Stop();
    reader.reset();  // waits for the reading thread; the store's lock is not held here
  }
  recorder_->EndSession();
  store_.Clear();
}

void COvixLogDoc::AddSample(std::unique_ptr<EngineSample> sample, SampleNotifier* notifier) {
  if (!sample)
    return;
  // The sample is copied into the store's chunk and freed on return; a dropped one is only
  // freed, and nobody is told.
  if (!store_.Add(*sample, keepAllSamples.load() != 0))
    return;
  SetModifiedFlag(true);
  if (notifier != nullptr)
    notifier->SampleAdded();
}

void COvixLogDoc::DeleteContents() {
  store_.Clear();
  recordedSamples_ = 0;
  {
    std::lock_guard<std::mutex> guard(holdLock_);
    seamTail_.clear();
  }
  // A new log: its silent save must not go over the file that the previous log went to.
  flightTarget_.clear();
  contentsGeneration_.fetch_add(1);
  Document::DeleteContents();
}

void COvixLogDoc::LiveSampleGate::AddSample(std::unique_ptr<EngineSample> sample,
                                            SampleNotifier* notifier) {
  if (doc_.reviewing_.load() != 0)
    return;  // the recording has the bytes; the imported table stays as it was read
  {
    std::lock_guard<std::mutex> guard(doc_.holdLock_);
    if (doc_.holdLive_) {
      // Bounded by the time a read of the recording takes: one sample a frame at most.
      doc_.heldLive_.push_back(std::move(sample));
      return;
    }
    if (!doc_.PassesSeamLocked(*sample))
      return;
  }
  // The reader hands a read's bytes to the recorder right after framing them, so a sample goes
  // into the recording whenever the recorder is on and has not failed.
  const LiveRecorder::Status recording = doc_.recorder_->status();
  const bool recorded = recording.enabled && recording.error.empty();
  const int before = doc_.SampleCount();
  doc_.AddSample(std::move(sample), notifier);
  if (recorded && doc_.SampleCount() > before)
    doc_.recordedSamples_.fetch_add(1);
}

bool COvixLogDoc::PassesSeamLocked(const EngineSample& sample) {
  if (seamTail_.empty())
    return true;
  // Readings that really repeat later are samples of their own.
  if (static_cast<int32_t>(sample.tickMs - seamEndStamp_) > 0) {
    seamTail_.clear();
    return true;
  }
  for (const EngineSample& seen : seamTail_) {
    if (SameEngineValues(seen, sample))
      return false;
  }
  seamTail_.clear();
  return true;
}

bool COvixLogDoc::OnNewDocument() {
  if (!Document::OnNewDocument())
    return false;
  reviewing_ = 0;
  importedPath_.clear();
  ReplaceReader();
  return true;
}

void COvixLogDoc::ReplaceReader() {
  View* view = FirstView();
  std::lock_guard<std::mutex> guard(readerLock);
  if (reader) {
    reader->Stop();
    reader.reset();
  }
  char name[16] = "";
  if (portsEnabled_) {
    std::snprintf(name, sizeof name, "COM%u:", static_cast<unsigned>(commPort.load()));
  }
  // The session of the port that closed ends here; the next one begins with the next byte.
  recorder_->BeginPort(name);
  reader = std::make_unique<SerialReader>(name, this, view, recorder_.get(), &liveGate_);
  reader->model = model.load();
  reader->altFrameFormat = altFrameFormat.load();
}

SerialReader& COvixLogDoc::ReaderForImport() {
  bool missing = false;
  {
    std::lock_guard<std::mutex> guard(readerLock);
    missing = !reader;
  }
  if (missing)
    ReplaceReader();
  return *reader;
}

void COvixLogDoc::PassSettingsToReader() {
  std::lock_guard<std::mutex> guard(readerLock);
  if (reader) {
    reader->model = model.load();
    reader->altFrameFormat = altFrameFormat.load();
  }
}

SerialStatus COvixLogDoc::PortStatus() const {
  std::lock_guard<std::mutex> guard(readerLock);
  return reader ? reader->Status() : SerialStatus{};
}

int COvixLogDoc::SampleCount() const {
  return store_.Count();
}

int COvixLogDoc::SampleCapacity() const {
  return store_.Capacity();
}

EngineSample COvixLogDoc::SampleAt(int index) const {
  return store_.At(index);
}

int COvixLogDoc::GetSamples(int first, int maxCount, std::vector<const EngineSample*>& out) const {
  return store_.Get(first, maxCount, out);
}

// ----- Rows -----

RowSettings COvixLogDoc::CurrentRowSettings() const {
  return RowSettings{model.load(), showSystemTime.load() != 0};
}

void COvixLogDoc::MeasureBeforeSettingsChange() const {
  store_.MeasurePending(CurrentRowSettings(), oldestFirst.load() != 0);
}

void COvixLogDoc::FormatRowLocked(const SampleStore::Locked& held, TableKind kind, int row,
                                  int count, RowBuffer& out) const {
  const RowStyle style = kind == TableKind::kDisplay ? RowStyle::kDisplay : RowStyle::kCsv;
  const int firstSampleRow = kind == TableKind::kDisplay ? 2 : 1;
  const RowSettings settings = CurrentRowSettings();
  out.Clear();
  if (row < 0 || row >= count + firstSampleRow)
    return;
  if (row == 0) {
    RowFormatter::Header(style, settings, out);
  } else if (row < firstSampleRow) {
    RowFormatter::Rule(settings.model, out);
  } else {
    const int k = row - firstSampleRow;
    const int index = oldestFirst.load() != 0 ? k : count - 1 - k;
    RowFormatter::Sample(style, settings, held[index], out);
  }
}

int COvixLogDoc::GetRowCount() const {
  return store_.Count() + 2;
}

int COvixLogDoc::GetMaxRowWidth() const {
  return store_.MaxRowWidth(CurrentRowSettings(), oldestFirst.load() != 0);
}

void COvixLogDoc::FormatDisplayRow(int row, std::string& text) const {
  RowBuffer buffer;
  {
    const SampleStore::Locked held = store_.Lock();
    FormatRowLocked(held, TableKind::kDisplay, row, held.count(), buffer);
  }
  buffer.AssignTo(text);
}

void COvixLogDoc::FormatCsvRow(int row, std::string& text) const {
  RowBuffer buffer;
  {
    const SampleStore::Locked held = store_.Lock();
    FormatRowLocked(held, TableKind::kCsv, row, held.count(), buffer);
  }
  buffer.AssignTo(text);
}

void COvixLogDoc::FormatDisplayRows(int firstRow, int maxRows,
                                    std::vector<std::string>& rows) const {
  rows.clear();
  RowBuffer buffer;
  const SampleStore::Locked held = store_.Lock();
  const int end = held.count() + 2;
  for (int row = std::max(firstRow, 0); row < end && static_cast<int>(rows.size()) < maxRows;
       ++row) {
    FormatRowLocked(held, TableKind::kDisplay, row, held.count(), buffer);
    rows.emplace_back(buffer.view());
  }
}

}  // namespace ovixlog
