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
      session_(startup.recordingFolder.empty() ? DefaultRecordingsFolder()
                                               : startup.recordingFolder,
               startup.recordingEnabled != 0,
               [this](std::unique_ptr<EngineSample> sample, SampleNotifier* notifier) {
                 return Store(std::move(sample), notifier);
               }),
      startup_(startup) {}

COvixLogDoc::~COvixLogDoc() {
  session_.Close();
  store_.Clear();
}

void COvixLogDoc::AddSample(std::unique_ptr<EngineSample> sample, SampleNotifier* notifier) {
  Store(std::move(sample), notifier);
}

bool COvixLogDoc::Store(std::unique_ptr<EngineSample> sample, SampleNotifier* notifier) {
  if (!sample)
    return false;
  // The sample is copied into the store's chunk and freed on return; a dropped one is only
  // freed, and nobody is told.
  if (!store_.Add(*sample, keepAllSamples.load() != 0))
    return false;
  SetModifiedFlag(true);
  if (notifier != nullptr)
    notifier->SampleAdded();
  return true;
}

void COvixLogDoc::DeleteContents() {
  store_.Clear();
  session_.SetRecordedSamples(0);
  session_.ClearSeam();
  // A new log: its silent save must not go over the file that the previous log went to.
  flightTarget_.clear();
  importedAircraft_.clear();
  contentsGeneration_.fetch_add(1);
  Document::DeleteContents();
}

bool COvixLogDoc::OnNewDocument() {
  if (!Document::OnNewDocument())
    return false;
  session_.SetReviewing(false);
  importedPath_.clear();
  ReplaceReader();
  return true;
}

void COvixLogDoc::ReplaceReader() {
  session_.OpenPort(commPort.load(), this, FirstView(), model.load(), altFrameFormat.load());
}

void COvixLogDoc::PassSettingsToReader() {
  session_.PassSettings(model.load(), altFrameFormat.load());
}

SerialStatus COvixLogDoc::PortStatus() const {
  return session_.PortStatus();
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
