#include "app/flights_controller.h"

#include <QAction>
#include <QDockWidget>
#include <QMainWindow>
#include <QMenu>
#include <QStatusBar>

#include <optional>
#include <string>

#include "analysis/lean_test_curves.h"
#include "analysis/limits.h"
#include "analysis/summary_writer.h"
#include "app/limits_dialog.h"
#include "document/ovixlog_doc.h"
#include "view/chart_view.h"
#include "view/document_signals.h"
#include "view/flight_chart_marks.h"
#include "view/flights_panel.h"
#include "view/lean_test_view.h"

namespace ovixlog {

FlightsController::FlightsController(QMainWindow* window, COvixLogDoc* document,
                                     DocumentSignals* documentSignals, ChartView* charts, QMenu* viewMenu,
                                     QMenu* optionsMenu)
    : QObject(window),
      window_(window),
      document_(document),
      charts_(charts),
      panel_(new FlightsPanel(window)),
      dock_(new QDockWidget(QStringLiteral("Flights"), window)) {
  dock_->setObjectName(QStringLiteral("flights"));
  dock_->setWidget(panel_);
  // Shown unless the user closed it last time (the window's kept state remembers the dock).
  window->addDockWidget(Qt::BottomDockWidgetArea, dock_);
  QAction* toggle = dock_->toggleViewAction();
  toggle->setText(QStringLiteral("&Flights"));
  toggle->setStatusTip(QStringLiteral("Show or hide the engine runs of the flight"));
  viewMenu->addAction(toggle);
  QAction* lean = viewMenu->addAction(QStringLiteral("&Lean Test"));
  lean->setStatusTip(
      QStringLiteral("Show the lean test at the cursor against fuel flow, with each cylinder's peak"));
  connect(lean, &QAction::triggered, this, [this] {
    if (!OpenLeanTestAtCursor())
      window_->statusBar()->showMessage(QStringLiteral("No lean test in this log"), 5000);
  });
  optionsMenu->addSeparator();
  QAction* limits = optionsMenu->addAction(QStringLiteral("&Limits..."));
  limits->setStatusTip(QStringLiteral("Edit the engine limits the flights are checked against"));
  connect(limits, &QAction::triggered, this, &FlightsController::OnLimits);

  std::string error;
  if (const std::optional<Limits> loaded = Limits::Load(Limits::DefaultPath(), false, error)) {
    panel_->SetLimits(*loaded);
  } else {
    panel_->SetNote(QString::fromStdString(error) +
                    QStringLiteral(" \u2014 the default limits apply"));
  }
  panel_->SetDocument(document_, documentSignals);

  // A run picked in the panel fills the charts; an exceedance, a lean test or a finding puts the cursor
  // on it, moving the view there when it lies outside. Either way the table scrolls to that
  // time, as after a click on a chart.
  connect(panel_, &FlightsPanel::runSelected, charts_, [this](qint64 startMs, qint64 endMs) {
    charts_->FitRange(startMs, endMs);
    const int index = charts_->summary().Nearest(startMs);
    if (index >= 0)
      emit sampleChosen(index);
  });
  connect(panel_, &FlightsPanel::timeSelected, charts_, [this](qint64 timeMs) {
    const int64_t span = charts_->viewEndMs() - charts_->viewStartMs();
    if (timeMs < charts_->viewStartMs() || timeMs >= charts_->viewEndMs())
      charts_->FitRange(timeMs - span / 2, timeMs + span - span / 2);
    charts_->SetCursorTime(timeMs);
    if (charts_->cursorSample() >= 0)
      emit sampleChosen(charts_->cursorSample());
  });
  connect(charts_, &ChartView::leanTestRequested, this, [this] {
    if (!OpenLeanTestAtCursor())
      window_->statusBar()->showMessage(QStringLiteral("No lean test in this log"), 5000);
  });
  connect(panel_, &FlightsPanel::leanTestOpened, this,
          [this](qint64 startMs) { OpenLeanTest(startMs); });
  connect(panel_, &FlightsPanel::runsChanged, this, &FlightsController::UpdateChartMarks);
  connect(documentSignals, &DocumentSignals::settingsChanged, this, &FlightsController::UpdateChartMarks);
  UpdateChartMarks();
}

void FlightsController::UpdateChartMarks() {
  if (document_ == nullptr)
    return;
  charts_->SetLimitLines(LimitLinesFor(panel_->limits(), document_->model.load()));
  charts_->SetShadedRanges(ShadedRangesFor(panel_->runs()));
  charts_->SetSpanMarks(SpanMarksFor(panel_->runs()));
}

void FlightsController::OnLimits() {
  LimitsDialog dialog(Limits::DefaultPath(), window_);
  if (dialog.exec() != QDialog::Accepted)
    return;
  panel_->SetNote(QString());
  panel_->SetLimits(dialog.limits());
  UpdateChartMarks();
}

bool FlightsController::OpenLeanTest(int64_t startMs) {
  if (document_ == nullptr)
    return false;
  for (const RunSummary& run : panel_->runs()) {
    for (const LeanTest& test : run.leanTests) {
      if (test.startMs != startMs)
        continue;
      // The sweep's samples by the charts' clock, which the analysis shares; copied out at once.
      const ChartSeries& summary = charts_->summary();
      const int first = summary.LowerBound(test.startMs);
      const int end = summary.LowerBound(test.endMs + 1);
      std::vector<const EngineSample*> samples;
      if (end > first)
        document_->GetSamples(first, end - first, samples);
      LeanTestCurves curves = BuildLeanTestCurves(
          test, samples, static_cast<int>(EgtChannels(run.model).size()));
      if (leanView_ == nullptr) {
        leanView_ = new LeanTestView(window_);
        leanView_->setWindowFlag(Qt::Window);
      }
      const QString when = QStringLiteral("%1 sweep at %2, %3 long")
                               .arg(test.lean ? QStringLiteral("Lean") : QStringLiteral("Rich"))
                               .arg(QString::fromStdString(ClockText(test.startMs)))
                               .arg(QString::fromStdString(ClockText(test.endMs - test.startMs)));
      leanView_->SetTest(test, std::move(curves), when);
      leanView_->show();
      leanView_->raise();
      return true;
    }
  }
  return false;
}

bool FlightsController::OpenLeanTestAtCursor() {
  const int cursor = charts_->cursorSample();
  const int64_t at = cursor >= 0 ? charts_->summary().TimeMs(cursor) : -1;
  const LeanTest* latest = nullptr;
  for (const RunSummary& run : panel_->runs()) {
    for (const LeanTest& test : run.leanTests) {
      if (at >= test.startMs && at <= test.endMs)
        return OpenLeanTest(test.startMs);
      latest = &test;
    }
  }
  return latest != nullptr && OpenLeanTest(latest->startMs);
}

void FlightsController::DetachDocument() {
  if (leanView_ != nullptr)
    leanView_->close();
  document_ = nullptr;
  panel_->SetDocument(nullptr, nullptr);
}

}  // namespace ovixlog
