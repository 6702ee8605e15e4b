#include "app/flights_controller.h"

#include <QAction>
#include <QDockWidget>
#include <QMainWindow>
#include <QMenu>

#include <optional>
#include <string>

#include "analysis/limits.h"
#include "app/limits_dialog.h"
#include "document/ovixlog_doc.h"
#include "view/chart_view.h"
#include "view/document_signals.h"
#include "view/flight_chart_marks.h"
#include "view/flights_panel.h"

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

  // A run picked in the panel fills the charts; an exceedance or a lean test puts the cursor
  // on it, moving the view there when it lies outside.
  connect(panel_, &FlightsPanel::runSelected, charts_,
          [this](qint64 startMs, qint64 endMs) { charts_->FitRange(startMs, endMs); });
  connect(panel_, &FlightsPanel::timeSelected, charts_, [this](qint64 timeMs) {
    const int64_t span = charts_->viewEndMs() - charts_->viewStartMs();
    if (timeMs < charts_->viewStartMs() || timeMs >= charts_->viewEndMs())
      charts_->FitRange(timeMs - span / 2, timeMs + span - span / 2);
    charts_->SetCursorTime(timeMs);
  });
  connect(panel_, &FlightsPanel::runsChanged, this, &FlightsController::UpdateChartMarks);
  connect(documentSignals, &DocumentSignals::settingsChanged, this, &FlightsController::UpdateChartMarks);
  UpdateChartMarks();
}

void FlightsController::UpdateChartMarks() {
  if (document_ == nullptr)
    return;
  charts_->SetLimitLines(LimitLinesFor(panel_->limits(), document_->model.load()));
  charts_->SetShadedRanges(ShadedRangesFor(panel_->runs()));
}

void FlightsController::OnLimits() {
  LimitsDialog dialog(Limits::DefaultPath(), window_);
  if (dialog.exec() != QDialog::Accepted)
    return;
  panel_->SetNote(QString());
  panel_->SetLimits(dialog.limits());
  UpdateChartMarks();
}

void FlightsController::DetachDocument() {
  document_ = nullptr;
  panel_->SetDocument(nullptr, nullptr);
}

}  // namespace ovixlog
