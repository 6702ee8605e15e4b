#include "app/trends_controller.h"

#include <sys/stat.h>

#include <QAction>
#include <QDockWidget>
#include <QMainWindow>
#include <QMenu>

#include <algorithm>
#include <nlohmann/json.hpp>

#include "app/library_controller.h"
#include "document/ovixlog_doc.h"
#include "library/library_indexer.h"
#include "library/trend_rows.h"
#include "library/trends_output.h"
#include "view/flights_panel.h"
#include "view/library_view.h"
#include "view/trends_view.h"

namespace ovixlog {

TrendsController::TrendsController(QMainWindow* window, LibraryController* library,
                                   QMenu* viewMenu, COvixLogDoc* document, FlightsPanel* panel)
    : QObject(window),
      library_(library),
      document_(document),
      panel_(panel),
      view_(new TrendsView(window)),
      dock_(new QDockWidget(QStringLiteral("Trends"), window)) {
  dock_->setObjectName(QStringLiteral("trends"));
  dock_->setWidget(view_);
  window->addDockWidget(Qt::BottomDockWidgetArea, dock_);
  if (library->dock() != nullptr)
    window->tabifyDockWidget(library->dock(), dock_);
  dock_->hide();
  QAction* toggle = dock_->toggleViewAction();
  toggle->setText(QStringLiteral("&Trends"));
  toggle->setStatusTip(QStringLiteral("Show or hide what is normal for each engine, flight after flight"));
  viewMenu->addAction(toggle);

  connect(dock_, &QDockWidget::visibilityChanged, this, [this](bool visible) {
    if (visible)
      Refresh();
  });
  connect(library, &LibraryController::indexed, this, [this] {
    if (dock_->isVisible())
      Refresh();
    compared_.clear();
    CompareOpenedFile();
  });
  if (panel_ != nullptr)
    connect(panel_, &FlightsPanel::runsChanged, this, &TrendsController::CompareOpenedFile);
  connect(view_, &TrendsView::flightPicked, this, &TrendsController::OpenFlight);
}

bool TrendsController::OpenDatabase() {
  if (!open_) {
    std::string error;
    std::string notice;
    open_ = database_.Open(LibraryPath(std::nullopt), error, notice);
  }
  return open_;
}

void TrendsController::DetachDocument() {
  document_ = nullptr;
  panel_ = nullptr;
}

void TrendsController::CompareOpenedFile() {
  if (panel_ == nullptr || document_ == nullptr)
    return;
  const std::string& imported = document_->importedPath();
  const size_t runs = panel_->runs().size();
  const std::string key = imported + "\n" + std::to_string(runs);
  if (key == compared_)
    return;
  compared_ = key;
  std::vector<std::vector<std::string>> lines(runs);
  if (!imported.empty() && runs > 0 && OpenDatabase()) {
    const std::string path = AbsolutePath(imported);
    const std::vector<FlightRow> all = database_.LoadFlights();
    const auto first = std::find_if(all.begin(), all.end(),
                                    [&](const FlightRow& flight) { return flight.file == path; });
    if (first != all.end()) {
      // The normal is that of the engine the file's flights belong to.
      std::vector<FlightRow> same;
      for (const FlightRow& flight : all) {
        if (flight.aircraft == first->aircraft)
          same.push_back(flight);
      }
      const Trends trends = ComputeTrends(TrendRowsFromLibrary(same));
      for (const FlightRow& flight : same) {
        if (flight.file == path && flight.run >= 0 && static_cast<size_t>(flight.run) < runs &&
            !trends.aircraft.empty())
          lines[static_cast<size_t>(flight.run)] =
              TrendComparisonLines(trends.aircraft.front(), flight.id);
      }
    }
  }
  panel_->SetNormalLines(std::move(lines));
}

void TrendsController::Refresh() {
  if (!OpenDatabase())
    return;
  flights_ = database_.LoadFlights();
  view_->SetTrends(ComputeTrends(TrendRowsFromLibrary(flights_)));
}

void TrendsController::OpenFlight(qint64 id) {
  for (const FlightRow& flight : flights_) {
    if (flight.id != id)
      continue;
    const nlohmann::json figures = nlohmann::json::parse(flight.figures, nullptr, false);
    auto seconds = [&](const char* key) {
      return figures.is_object() && figures.contains(key) && figures[key].is_number()
                 ? figures[key].get<double>()
                 : 0.0;
    };
    struct stat info {};
    const auto state = ::stat(flight.file.c_str(), &info) == 0 ? LibraryView::FileState::kPresent
                                                               : LibraryView::FileState::kGone;
    library_->OpenFlight(id, QString::fromStdString(flight.file), static_cast<int>(state),
                         static_cast<qint64>(seconds("start_s") * 1000.0),
                         static_cast<qint64>(seconds("end_s") * 1000.0));
    return;
  }
}

}  // namespace ovixlog
