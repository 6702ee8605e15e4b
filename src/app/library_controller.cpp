#include "app/library_controller.h"

#include <sys/stat.h>

#include <QAction>
#include <QDockWidget>
#include <QFileDialog>
#include <QInputDialog>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QMetaObject>
#include <map>

#include "document/ovixlog_doc.h"
#include "library/file_samples.h"
#include "library/library_indexer.h"
#include "recording/recording_catalog.h"
#include "view/chart_view.h"
#include "view/library_view.h"

namespace ovixlog {

LibraryController::LibraryController(QMainWindow* window, COvixLogDoc* document,
                                     ChartView* charts, QDockWidget* beside, QMenu* viewMenu,
                                     bool scanRecordings)
    : QObject(window),
      window_(window),
      document_(document),
      charts_(charts),
      view_(new LibraryView(window)),
      dock_(new QDockWidget(QStringLiteral("Library"), window)),
      path_(LibraryPath(std::nullopt)) {
  dock_->setObjectName(QStringLiteral("library"));
  dock_->setWidget(view_);
  // Hidden until View > Library asks for it (the window's kept state remembers it then), so
  // the table keeps its height; it opens as a tab beside the Flights panel.
  window->addDockWidget(Qt::BottomDockWidgetArea, dock_);
  if (beside != nullptr)
    window->tabifyDockWidget(beside, dock_);
  dock_->hide();
  QAction* toggle = dock_->toggleViewAction();
  toggle->setText(QStringLiteral("Li&brary"));
  toggle->setStatusTip(QStringLiteral("Show or hide the library of every flight"));
  viewMenu->addAction(toggle);

  std::string error;
  std::string notice;
  open_ = library_.Open(path_, error, notice);
  view_->SetMessage(QString::fromStdString(open_ ? notice : error));

  connect(view_, &LibraryView::flightOpened, this, &LibraryController::OpenFlight);
  connect(view_, &LibraryView::setAircraftRequested, this, &LibraryController::OnSetAircraft);
  connect(view_, &LibraryView::addFilesRequested, this, [this] {
    const QStringList files = QFileDialog::getOpenFileNames(window_, QStringLiteral("Add Files"));
    std::vector<std::string> roots;
    for (const QString& file : files)
      roots.push_back(file.toLocal8Bit().toStdString());
    if (!roots.empty())
      Index(roots);
  });
  connect(view_, &LibraryView::addFolderRequested, this, [this] {
    const QString folder = QFileDialog::getExistingDirectory(window_, QStringLiteral("Add Folder"));
    if (!folder.isEmpty())
      Index({folder.toLocal8Bit().toStdString()});
  });
  Refresh();
  // Each live recording goes into the library as soon as it is closed.
  if (open_ && document_ != nullptr) {
    document_->recorder().SetClosedListener([this](const std::string& path) {
      QMetaObject::invokeMethod(
          this, [this, path] { IndexSoon({path}); }, Qt::QueuedConnection);
    });
  }
  struct stat info {};
  const std::string recordings = DefaultRecordingsFolder();
  if (open_ && scanRecordings && ::stat(recordings.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
    Index({recordings});
}

LibraryController::~LibraryController() {
  if (worker_.joinable())
    worker_.join();
}

bool LibraryController::Index(const std::vector<std::string>& roots) {
  if (!open_ || busy_.exchange(1) != 0)
    return false;
  if (worker_.joinable())
    worker_.join();
  view_->SetProgress(0, 1);
  worker_ = std::thread([this, roots, path = path_] {
    FlightLibrary library;
    std::string error;
    std::string notice;
    IndexTotals totals;
    if (library.Open(path, error, notice)) {
      IndexRequest request;
      request.roots = roots;
      totals = IndexFiles(library, request, ReadFileSamples, [](const std::string&) {},
                          [this](size_t done, size_t total) {
                            QMetaObject::invokeMethod(
                                this,
                                [this, done, total] {
                                  view_->SetProgress(static_cast<int>(done),
                                                     static_cast<int>(total));
                                },
                                Qt::QueuedConnection);
                          });
    } else {
      totals.error = error;
    }
    const QString line =
        QString::fromStdString(totals.error.empty() ? TotalsLine(totals) : totals.error);
    QMetaObject::invokeMethod(
        this,
        [this, line] {
          busy_.store(0);
          view_->SetProgress(0, 0);
          view_->SetMessage(line);
          Refresh();
          emit indexed(line);
          IndexSoon({});
        },
        Qt::QueuedConnection);
  });
  return true;
}

void LibraryController::IndexSoon(const std::vector<std::string>& roots) {
  waiting_.insert(waiting_.end(), roots.begin(), roots.end());
  if (!Busy() && !waiting_.empty() && Index(waiting_))
    waiting_.clear();
}

void LibraryController::DetachDocument() {
  if (document_ != nullptr)
    document_->recorder().SetClosedListener(nullptr);
  document_ = nullptr;
  charts_ = nullptr;
}

void LibraryController::Refresh() {
  if (!open_)
    return;
  std::map<std::string, FileIdentity> files;
  for (const LibraryFile& file : library_.Files())
    files.emplace(file.identity.path, file.identity);
  const std::vector<FlightRow> flights = library_.LoadFlights();
  std::vector<LibraryView::FileState> states;
  for (const FlightRow& flight : flights) {
    struct stat info {};
    LibraryView::FileState state = LibraryView::FileState::kPresent;
    if (::stat(flight.file.c_str(), &info) != 0) {
      state = LibraryView::FileState::kGone;
    } else if (const auto known = files.find(flight.file);
               known != files.end() && static_cast<int64_t>(info.st_size) != known->second.size) {
      state = LibraryView::FileState::kChanged;
    }
    states.push_back(state);
  }
  view_->SetFlights(flights, states);
}

void LibraryController::OpenFlight(qint64 /*id*/, const QString& file, int state, qint64 startMs,
                                   qint64 endMs) {
  if (state == static_cast<int>(LibraryView::FileState::kGone)) {
    const auto answer = QMessageBox::question(
        window_, QStringLiteral("Flight file gone"),
        QStringLiteral("%1 is gone. Locate it?").arg(file));
    if (answer != QMessageBox::Yes)
      return;
    const QString located = QFileDialog::getOpenFileName(window_, QStringLiteral("Locate ") + file);
    if (!located.isEmpty())
      Index({located.toLocal8Bit().toStdString()});
    return;
  }
  if (document_ == nullptr || !document_->SaveModified())
    return;
  if (!document_->ImportByContent(file.toLocal8Bit().toStdString()))
    return;
  if (charts_ != nullptr)
    charts_->FitRange(startMs, endMs);
}

void LibraryController::OnSetAircraft() {
  const std::vector<int64_t> ids = view_->SelectedIds();
  if (ids.empty() || !open_)
    return;
  bool ok = false;
  const QString name = QInputDialog::getText(window_, QStringLiteral("Set Aircraft"),
                                             QStringLiteral("Aircraft of the selected flights:"),
                                             QLineEdit::Normal, QString(), &ok);
  if (!ok || name.trimmed().isEmpty())
    return;
  std::string error;
  if (!library_.Label(ids, name.trimmed().toStdString(), error))
    view_->SetMessage(QString::fromStdString(error));
  Refresh();
}

}  // namespace ovixlog
