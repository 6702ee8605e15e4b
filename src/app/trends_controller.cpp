#include "app/trends_controller.h"

#include <sys/stat.h>

#include <QAction>
#include <QDockWidget>
#include <QMainWindow>
#include <QMenu>

#include <nlohmann/json.hpp>

#include "app/library_controller.h"
#include "library/trend_rows.h"
#include "view/library_view.h"
#include "view/trends_view.h"

namespace ovixlog {

TrendsController::TrendsController(QMainWindow* window, LibraryController* library,
                                   QMenu* viewMenu)
    : QObject(window),
      library_(library),
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
  });
  connect(view_, &TrendsView::flightPicked, this, &TrendsController::OpenFlight);
}

void TrendsController::Refresh() {
  if (!open_) {
    std::string error;
    std::string notice;
    open_ = database_.Open(LibraryPath(std::nullopt), error, notice);
    if (!open_)
      return;
  }
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
