#include "document/ovixlog_doc.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "recording/recording_catalog.h"

namespace ovixlog {
namespace {
constexpr int32_t kGrowthStep = 10;
constexpr int32_t kKeepAllGrowthStep = 50;
constexpr uint32_t kOneSecondMs = 1000;
}  // namespace

COvixLogDoc::COvixLogDoc(UserInterface* ui, const StartupSettings& startup)
    : Document(ui),
      model(startup.model),
      commPort(startup.commPort),
      keepAllSamples(startup.keepAllSamples),
      showSystemTime(startup.showSystemTime),
      altFrameFormat(startup.altFrameFormat),
      oldestFirst(startup.oldestFirst),
      startup_(startup) {
  recorder_ = std::make_unique<LiveRecorder>(
      startup.recordingFolder.empty() ? DefaultRecordingsFolder() : startup.recordingFolder,
      startup.recordingEnabled != 0);
  RowFormatter::Rule(model.load(), measureRow_);
  maxRowWidth = static_cast<int32_t>(measureRow_.size());
}

COvixLogDoc::~COvixLogDoc() {
  std::lock_guard<std::mutex> readerGuard(readerLock);
  if (reader) {
    reader->Stop();
    reader.reset();  // waits for the reading thread; sampleLock is not held here
  }
  recorder_->EndSession();
  std::lock_guard<std::mutex> sampleGuard(sampleLock);
  samples.clear();
}

void COvixLogDoc::AddSample(std::unique_ptr<EngineSample> sample, SampleNotifier* notifier) {
  if (!sample)
    return;
  {
    std::lock_guard<std::mutex> guard(sampleLock);
    if (sampleCount >= 1 && keepAllSamples.load() == 0) {
      // Unsigned difference: a stamp earlier than the last stored one (an import restarting
      // its clock, a wrapped tick counter) reads as a large gap and is stored.
      const uint32_t gap = sample->tickMs - samples[static_cast<size_t>(sampleCount - 1)]->tickMs;
      if (gap < kOneSecondMs)
        return;  // the sample is freed on return; nobody is told
    }
    if (sampleCount == sampleCapacity) {
      sampleCapacity += keepAllSamples.load() != 0 ? kKeepAllGrowthStep : kGrowthStep;
    }
    samples.push_back(std::move(sample));
    ++sampleCount;
    // Only the last row of the table is measured, so the view never measures the whole table.
    maxRowWidth = std::max(maxRowWidth, MeasureLastRowLocked());
    SetModifiedFlag(true);
  }
  if (notifier != nullptr)
    notifier->SampleAdded();
}

int32_t COvixLogDoc::MeasureLastRowLocked() {
  const int index = oldestFirst.load() != 0 ? sampleCount - 1 : 0;
  const EngineSample* sample = samples[static_cast<size_t>(index)].get();
  const RowSettings settings = CurrentRowSettings();
  if (sample != measuredSample_ || !(settings == measuredSettings_)) {
    RowFormatter::Sample(RowStyle::kDisplay, settings, *sample, measureRow_);
    measuredSample_ = sample;
    measuredSettings_ = settings;
    measuredLength_ = static_cast<int32_t>(measureRow_.size());
  }
  return measuredLength_;
}

void COvixLogDoc::DeleteContents() {
  {
    std::lock_guard<std::mutex> guard(sampleLock);
    if (sampleCapacity > 0) {
      samples.clear();
      samples.shrink_to_fit();
      measuredSample_ = nullptr;
      sampleCapacity = 0;
      sampleCount = 0;
      maxRowWidth = 0;
    }
    recordedSamples_ = 0;
  }
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
  std::lock_guard<std::mutex> guard(sampleLock);
  return sampleCount;
}

int COvixLogDoc::SampleCapacity() const {
  std::lock_guard<std::mutex> guard(sampleLock);
  return sampleCapacity;
}

EngineSample COvixLogDoc::SampleAt(int index) const {
  std::lock_guard<std::mutex> guard(sampleLock);
  if (index < 0 || index >= sampleCount)
    return EngineSample{};
  return *samples[static_cast<size_t>(index)];
}

int COvixLogDoc::GetSamples(int first, int maxCount, std::vector<const EngineSample*>& out) const {
  out.clear();
  std::lock_guard<std::mutex> guard(sampleLock);
  const int begin = std::max(first, 0);
  const int end = static_cast<int>(
      std::min<int64_t>(int64_t{begin} + std::max(maxCount, 0), int64_t{sampleCount}));
  for (int i = begin; i < end; ++i)
    out.push_back(samples[static_cast<size_t>(i)].get());
  return static_cast<int>(out.size());
}

// ----- Rows -----

RowSettings COvixLogDoc::CurrentRowSettings() const {
  return RowSettings{model.load(), showSystemTime.load() != 0};
}

void COvixLogDoc::FormatRowLocked(TableKind kind, int row, int count, RowBuffer& out) const {
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
    RowFormatter::Sample(style, settings, *samples[static_cast<size_t>(index)], out);
  }
}

int COvixLogDoc::GetRowCount() const {
  std::lock_guard<std::mutex> guard(sampleLock);
  return sampleCount + 2;
}

int COvixLogDoc::GetMaxRowWidth() const {
  std::lock_guard<std::mutex> guard(sampleLock);
  return maxRowWidth;
}

void COvixLogDoc::FormatDisplayRow(int row, std::string& text) const {
  RowBuffer buffer;
  {
    std::lock_guard<std::mutex> guard(sampleLock);
    FormatRowLocked(TableKind::kDisplay, row, sampleCount, buffer);
  }
  buffer.AssignTo(text);
}

void COvixLogDoc::FormatCsvRow(int row, std::string& text) const {
  RowBuffer buffer;
  {
    std::lock_guard<std::mutex> guard(sampleLock);
    FormatRowLocked(TableKind::kCsv, row, sampleCount, buffer);
  }
  buffer.AssignTo(text);
}

void COvixLogDoc::FormatDisplayRows(int firstRow, int maxRows,
                                    std::vector<std::string>& rows) const {
  rows.clear();
  RowBuffer buffer;
  std::lock_guard<std::mutex> guard(sampleLock);
  const int end = sampleCount + 2;
  for (int row = std::max(firstRow, 0); row < end && static_cast<int>(rows.size()) < maxRows;
       ++row) {
    FormatRowLocked(TableKind::kDisplay, row, sampleCount, buffer);
    rows.emplace_back(buffer.view());
  }
}

}  // namespace ovixlog
