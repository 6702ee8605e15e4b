#include "view/flights_panel.h"

#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <iterator>

#include "analysis/lean_test_curves.h"
#include "analysis/limits.h"
#include "analysis/run_card.h"
#include "analysis/summary_writer.h"
#include "document/ovixlog_doc.h"
#include "view/document_signals.h"
#include "view/finding_style.h"

namespace ovixlog {
namespace {

enum ItemKind { kRunItem = 1, kExceedanceItem = 2, kLeanItem = 3, kFindingItem = 4 };
constexpr int kKindRole = Qt::UserRole;
constexpr int kStartRole = Qt::UserRole + 1;
constexpr int kEndRole = Qt::UserRole + 2;

QString Text(const std::string& text) {
  return QString::fromStdString(text);
}

QString Clock(int64_t ms) {
  return Text(ClockText(ms));
}

}  // namespace

QStringList RunRowTexts(const RunSummary& run, int number) {
  const auto [cylinder, hottest] = run.HottestCht();
  // Each test in words: "lean, 0.6 gph spread, order 3-2-4-1".
  QStringList tests;
  for (const LeanTest& t : run.leanTests)
    tests << Text(LeanTestWords(t));
  const QString lean = tests.join(QStringLiteral("; "));
  return {QString::number(number) + (run.finished ? QString() : QStringLiteral(" (running)")),
          Clock(run.startMs),
          Clock(run.DurationMs()),
          Clock(run.airborneMs),
          Text(NumberText(run.fuelUsed, 2)),
          cylinder > 0 ? QStringLiteral("CHT%1 %2").arg(cylinder).arg(Text(NumberText(hottest)))
                       : QString(),
          QString::number(run.exceedances.size()),
          lean};
}

QStringList ExceedanceRowTexts(const Exceedance& e) {
  return {Text(ColumnTitle(e.column)) +
              (e.kind == LimitKind::kMax ? QStringLiteral(" above ") : QStringLiteral(" below ")) +
              Text(ExactNumberText(e.limit)),
          Clock(e.startMs),
          Clock(e.endMs - e.startMs),
          QString(),
          QString(),
          QStringLiteral("peak ") + Text(NumberText(e.peak)),
          QString(),
          QString()};
}

QStringList LeanTestRowTexts(const LeanTest& t) {
  QString spread = Text(LeanTestWords(t));
  if (t.gamiSpread)
    spread += QStringLiteral(": ") + QString::fromLatin1(BalanceWords(BalanceOf(*t.gamiSpread)));
  return {t.lean ? QStringLiteral("Lean sweep") : QStringLiteral("Rich sweep"),
          Clock(t.startMs),
          Clock(t.endMs - t.startMs),
          QString(),
          QString(),
          QString(),
          QString(),
          spread};
}

QStringList FindingRowTexts(const Finding& f) {
  QString what = Text(FindingKindTitle(f.kind));
  if (f.column)
    what += QLatin1Char(' ') + Text(ColumnTitle(*f.column));
  return {what,
          Clock(f.startMs),
          Clock(f.endMs - f.startMs),
          QString(),
          QString(),
          QString(),
          QString::fromLatin1(FindingSeverityName(f.severity)),
          Text(f.text)};
}

FlightsPanel::FlightsPanel(QWidget* parent)
    : QWidget(parent),
      tree_(new QTreeWidget(this)),
      note_(new QLabel(this)),
      card_(new QPlainTextEdit(this)) {
  tree_->setColumnCount(8);
  tree_->setHeaderLabels({QStringLiteral("Run"), QStringLiteral("Start"),
                          QStringLiteral("Duration"), QStringLiteral("Airborne"),
                          QStringLiteral("Fuel"), QStringLiteral("Hottest CHT"),
                          QStringLiteral("Exceedances"), QStringLiteral("Lean tests")});
  const char* const tips[] = {
      "The engine run, counted from the start of the log; its exceedances, lean tests and "
      "findings below",
      "When the engine started, from the first sample",
      "How long the engine ran",
      "Time in the air: from the take-off roll to the landing",
      "Fuel burnt during the run, from the flow",
      "The hottest cylinder head and its temperature",
      "How many times a reading went past its limit; for a finding, how severe it is",
      "Each lean test in words: lean or rich, the GAMI spread of fuel flow between the first "
      "and the last cylinder to peak, and the order in which they peaked. Double-click a lean "
      "test to see it against fuel flow"};
  for (int c = 0; c < tree_->columnCount() && c < static_cast<int>(std::size(tips)); ++c)
    tree_->headerItem()->setToolTip(c, QString::fromLatin1(tips[c]));
  tree_->setRootIsDecorated(true);
  tree_->setUniformRowHeights(true);
  tree_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  note_->setWordWrap(true);
  note_->hide();
  // Beside the list, the picked run (or the latest) in words with units.
  card_->setObjectName(QStringLiteral("runCard"));
  card_->setReadOnly(true);
  card_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  card_->setPlaceholderText(QStringLiteral("No engine runs yet."));
  // Low enough that the panel, shown from the first start, never forces a taller window.
  for (QAbstractScrollArea* area : {static_cast<QAbstractScrollArea*>(tree_),
                                    static_cast<QAbstractScrollArea*>(card_)}) {
    area->setMinimumHeight(area->fontMetrics().height() * 3);
  }
  auto* split = new QSplitter(Qt::Horizontal, this);
  split->addWidget(tree_);
  split->addWidget(card_);
  split->setStretchFactor(0, 3);
  split->setStretchFactor(1, 2);
  split->setChildrenCollapsible(false);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(split);
  layout->addWidget(note_);
  connect(tree_, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* item) { OnCurrentItemChanged(item); });
  connect(tree_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
    if (item != nullptr && item->data(0, kKindRole).toInt() == kLeanItem)
      emit leanTestOpened(item->data(0, kStartRole).toLongLong());
  });
  refreshTimer_.setSingleShot(true);
  connect(&refreshTimer_, &QTimer::timeout, this, &FlightsPanel::Refresh);
}

FlightsPanel::~FlightsPanel() {
  StopWholeFile();
}

void FlightsPanel::SetDocument(COvixLogDoc* document, DocumentSignals* adapter) {
  StopWholeFile();
  document_ = document;
  if (adapter != nullptr) {
    connect(adapter, &DocumentSignals::contentsReset, this, [this] { Restart(true); });
    connect(adapter, &DocumentSignals::settingsChanged, this, [this] {
      if (document_ != nullptr && analyzer_ && analyzer_->model() != document_->model.load())
        Restart(false);
    });
    connect(adapter, &DocumentSignals::samplesAppended, this, &FlightsPanel::ScheduleSlice,
            Qt::UniqueConnection);
  }
  Restart(true);
}

void FlightsPanel::SetLimits(const Limits& limits) {
  limits_ = limits;
  Restart(false);
}

void FlightsPanel::SetNote(const QString& text) {
  note_->setText(text);
  note_->setVisible(!text.isEmpty());
}

bool FlightsPanel::caughtUp() const {
  if (document_ == nullptr)
    return true;
  const int count = document_->SampleCount();
  if (refreshTimer_.isActive() || sliceScheduled_)
    return false;
  if (document_->reviewing())
    return fileRuns_.has_value() && job_ && job_->count == count && !worker_.joinable();
  return read_ >= count;
}

void FlightsPanel::Restart(bool clear) {
  StopWholeFile();
  fileRuns_.reset();
  analyzer_.reset();
  read_ = 0;
  if (document_ != nullptr)
    analyzer_ = std::make_unique<FlightAnalyzer>(document_->model.load(), limits_);
  if (clear || document_ == nullptr)
    Refresh();
  ScheduleSlice();
}

void FlightsPanel::ScheduleSlice() {
  if (sliceScheduled_ || document_ == nullptr)
    return;
  sliceScheduled_ = true;
  QTimer::singleShot(0, this, &FlightsPanel::ReadSlice);
}

void FlightsPanel::ReadSlice() {
  sliceScheduled_ = false;
  if (document_ == nullptr || !analyzer_)
    return;
  const int count = document_->SampleCount();
  // An imported file is whole in the store by now (live samples stay out of the table while
  // one is shown): its analysis ends with the file, as the converter's does.
  if (document_->reviewing()) {
    AnalyseWholeFile(count);
    return;
  }
  // A store that shrank was emptied and refilled before its reset reached us.
  if (count < read_) {
    Restart(true);
    return;
  }
  const int end = std::min(count, read_ + kSliceSamples);
  for (; read_ < end; ++read_)
    analyzer_->Add(document_->SampleAt(read_));
  if (read_ < count) {
    ScheduleSlice();
  } else if (!refreshTimer_.isActive()) {
    refreshTimer_.start(shown_.empty() ? 0 : kRefreshMs);
  }
}

void FlightsPanel::AnalyseWholeFile(int count) {
  const int32_t generation = document_->ContentsGeneration();
  if (job_ && job_->count == count && job_->generation == generation)
    return;
  StopWholeFile();
  fileRuns_.reset();
  auto job = std::make_shared<WholeFileJob>();
  job->count = count;
  job->generation = generation;
  job_ = job;
  worker_ = std::thread([this, job, document = document_, model = document_->model.load(),
                         limits = limits_] {
    FlightAnalyzer analyzer(model, limits);
    for (int i = 0; i < job->count; ++i) {
      if (job->cancel.load(std::memory_order_relaxed))
        return;
      analyzer.Add(document->SampleAt(i));
    }
    analyzer.Finish();
    {
      std::lock_guard<std::mutex> guard(job->lock);
      job->runs = analyzer.FinishedRuns();
    }
    // By name, so that nothing allocated here is freed on the user-interface thread.
    QMetaObject::invokeMethod(this, "TakeWholeFile", Qt::QueuedConnection);
  });
}

void FlightsPanel::StopWholeFile() {
  if (job_)
    job_->cancel = true;
  if (worker_.joinable())
    worker_.join();
  job_.reset();
}

void FlightsPanel::TakeWholeFile() {
  if (!job_)
    return;
  std::optional<std::vector<RunSummary>> runs;
  {
    std::lock_guard<std::mutex> guard(job_->lock);
    runs = std::move(job_->runs);
    job_->runs.reset();
  }
  if (!runs)
    return;
  if (worker_.joinable())
    worker_.join();
  // A store emptied or grown meanwhile is analysed again.
  if (document_ == nullptr || document_->ContentsGeneration() != job_->generation ||
      document_->SampleCount() != job_->count) {
    ScheduleSlice();
    return;
  }
  fileRuns_ = std::move(runs);
  refreshTimer_.stop();
  Refresh();
}

void FlightsPanel::Refresh() {
  std::vector<RunSummary> runs;
  if (fileRuns_)
    runs = *fileRuns_;
  else if (analyzer_)
    runs = analyzer_->Runs();
  if (runs == shown_ && tree_->topLevelItemCount() == static_cast<int>(runs.size()))
    return;
  shown_ = std::move(runs);
  while (tree_->topLevelItemCount() > static_cast<int>(shown_.size()))
    delete tree_->takeTopLevelItem(tree_->topLevelItemCount() - 1);
  for (size_t i = 0; i < shown_.size(); ++i) {
    const RunSummary& run = shown_[i];
    QTreeWidgetItem* item = tree_->topLevelItem(static_cast<int>(i));
    if (item == nullptr) {
      item = new QTreeWidgetItem(tree_);
      item->setData(0, kKindRole, kRunItem);
    }
    const QStringList texts = RunRowTexts(run, static_cast<int>(i) + 1);
    for (int c = 0; c < texts.size(); ++c)
      item->setText(c, texts[c]);
    item->setData(0, kStartRole, QVariant::fromValue<qint64>(run.startMs));
    item->setData(0, kEndRole, QVariant::fromValue<qint64>(run.endMs));

    // Children: exceedances, lean tests, then findings, each in time order. Rebuilt only when
    // they changed, so a selected child stays selected while the run grows.
    std::vector<std::pair<QStringList, std::pair<int, int64_t>>> children;
    for (const Exceedance& e : run.exceedances)
      children.push_back({ExceedanceRowTexts(e), {kExceedanceItem, e.startMs}});
    for (const LeanTest& t : run.leanTests)
      children.push_back({LeanTestRowTexts(t), {kLeanItem, t.startMs}});
    const size_t firstFinding = children.size();
    for (const Finding& f : run.findings)
      children.push_back({FindingRowTexts(f), {kFindingItem, f.startMs}});
    bool same = item->childCount() == static_cast<int>(children.size());
    for (int c = 0; same && c < item->childCount(); ++c) {
      for (int col = 0; same && col < children[static_cast<size_t>(c)].first.size(); ++col)
        same = item->child(c)->text(col) == children[static_cast<size_t>(c)].first[col];
    }
    if (same)
      continue;
    while (item->childCount() > 0)
      delete item->takeChild(0);
    for (const auto& [texts2, kindTime] : children) {
      auto* child = new QTreeWidgetItem(item, texts2);
      child->setData(0, kKindRole, kindTime.first);
      child->setData(0, kStartRole, QVariant::fromValue<qint64>(kindTime.second));
    }
    for (size_t f = 0; f < run.findings.size(); ++f) {
      const Finding& finding = run.findings[f];
      QTreeWidgetItem* child = item->child(static_cast<int>(firstFinding + f));
      child->setIcon(0, SeverityIcon(finding.severity));
      for (int col = 0; col < child->columnCount(); ++col)
        child->setForeground(col, SeverityColor(finding.severity));
      child->setToolTip(0, QString::fromLatin1(FindingSeverityName(finding.severity)) +
                               QStringLiteral(": ") + Text(finding.text));
    }
  }
  ShowCard();
  emit runsChanged();
}

int FlightsPanel::CardRun() const {
  QTreeWidgetItem* item = tree_->currentItem();
  while (item != nullptr && item->parent() != nullptr)
    item = item->parent();
  const int picked = item != nullptr ? tree_->indexOfTopLevelItem(item) : -1;
  if (picked >= 0 && picked < static_cast<int>(shown_.size()))
    return picked;
  return static_cast<int>(shown_.size()) - 1;
}

void FlightsPanel::ShowCard() {
  const int run = CardRun();
  QString text;
  if (run >= 0) {
    for (const std::string& line :
         RunCardLines(shown_[static_cast<size_t>(run)], static_cast<size_t>(run) + 1,
                      shown_.size())) {
      text += QString::fromStdString(line) + QLatin1Char('\n');
    }
  }
  if (run >= 0 && static_cast<size_t>(run) < normalLines_.size() &&
      !normalLines_[static_cast<size_t>(run)].empty()) {
    text += QStringLiteral("\nAgainst this engine's normal:\n");
    for (const std::string& line : normalLines_[static_cast<size_t>(run)])
      text += QStringLiteral("  ") + QString::fromStdString(line) + QLatin1Char('\n');
  }
  if (card_->toPlainText() != text)
    card_->setPlainText(text);
}

void FlightsPanel::SetNormalLines(std::vector<std::vector<std::string>> perRun) {
  if (perRun == normalLines_)
    return;
  normalLines_ = std::move(perRun);
  ShowCard();
}

int FlightsPanel::SelectedRun() const {
  const QTreeWidgetItem* item = tree_->currentItem();
  if (item == nullptr)
    return -1;
  while (item->parent() != nullptr)
    item = item->parent();
  return tree_->indexOfTopLevelItem(const_cast<QTreeWidgetItem*>(item));
}

void FlightsPanel::OnCurrentItemChanged(QTreeWidgetItem* item) {
  ShowCard();
  if (item == nullptr)
    return;
  const qint64 start = item->data(0, kStartRole).toLongLong();
  if (item->data(0, kKindRole).toInt() == kRunItem)
    emit runSelected(start, item->data(0, kEndRole).toLongLong());
  else
    emit timeSelected(start);
}

}  // namespace ovixlog
