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
#include <utility>

#include "app/kept_settings.h"
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
      bool post = false;
      {
        const std::lock_guard<std::mutex> lock(mailboxMutex_);
        post = mailbox_.closed.empty();
        mailbox_.closed.push_back(path);
      }
      if (post)
        QMetaObject::invokeMethod(this, "TakeClosedRecordings", Qt::QueuedConnection);
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
                            bool post = false;
                            {
                              const std::lock_guard<std::mutex> lock(mailboxMutex_);
                              mailbox_.done = done;
                              mailbox_.total = total;
                              post = !std::exchange(mailbox_.progressPosted, true);
                            }
                            if (post)
                              QMetaObject::invokeMethod(this, "TakeProgress",
                                                        Qt::QueuedConnection);
                          });
    } else {
      totals.error = error;
    }
    {
      const std::lock_guard<std::mutex> lock(mailboxMutex_);
      mailbox_.finished = totals.error.empty() ? TotalsLine(totals) : totals.error;
    }
    QMetaObject::invokeMethod(this, "TakeFinished", Qt::QueuedConnection);
  });
  return true;
}

void LibraryController::TakeProgress() {
  size_t done = 0;
  size_t total = 0;
  {
    const std::lock_guard<std::mutex> lock(mailboxMutex_);
    done = mailbox_.done;
    total = mailbox_.total;
    mailbox_.progressPosted = false;
  }
  if (Busy())
    view_->SetProgress(static_cast<int>(done), static_cast<int>(total));
}

void LibraryController::TakeFinished() {
  std::optional<std::string> line;
  {
    const std::lock_guard<std::mutex> lock(mailboxMutex_);
    line.swap(mailbox_.finished);
  }
  if (!line)
    return;
  if (worker_.joinable())
    worker_.join();
  busy_.store(0);
  view_->SetProgress(0, 0);
  const QString text = QString::fromStdString(*line);
  view_->SetMessage(text);
  Refresh();
  emit indexed(text);
  IndexSoon({});
}

void LibraryController::TakeClosedRecordings() {
  std::vector<std::string> closed;
  {
    const std::lock_guard<std::mutex> lock(mailboxMutex_);
    closed.swap(mailbox_.closed);
  }
  IndexSoon(closed);
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

void LibraryController::PortSeen(const std::string& portName, bool receiving) {
  if (document_ == nullptr)
    return;
  if (portName != port_) {
    port_ = portName;
    // A prompt about the port left is no answer: it goes unkept and is asked again later.
    if (QInputDialog* prompt = std::exchange(aircraftPrompt_, nullptr)) {
      prompt->disconnect(this);
      prompt->reject();
    }
    const std::optional<std::string> kept =
        port_.empty() ? std::nullopt : KeptSettings::KeptPortAircraft(port_);
    portAsked_ = kept.has_value();
    document_->recorder().SetAircraft(kept.value_or(std::string()));
  }
  if (receiving && !portAsked_ && !port_.empty() && aircraftPrompt_ == nullptr)
    AskPortAircraft();
}

void LibraryController::AskPortAircraft() {
  portAsked_ = true;
  const QString port = QString::fromStdString(LiveRecorder::PortLabel(port_));
  auto* prompt = new QInputDialog(window_);
  prompt->setAttribute(Qt::WA_DeleteOnClose);
  prompt->setWindowTitle(QStringLiteral("Aircraft"));
  prompt->setLabelText(QStringLiteral("Which aircraft is the monitor on %1 fitted to?\n"
                                      "Its flights are recorded and kept under this name "
                                      "(leave it blank for none).")
                           .arg(port));
  prompt->setTextValue(QString());
  aircraftPrompt_ = prompt;
  const std::string asked = port_;
  // Whatever the answer, even none, the port is not asked about again.
  connect(prompt, &QDialog::finished, this, [this, prompt, asked](int result) {
    const std::string name =
        result == QDialog::Accepted ? prompt->textValue().trimmed().toStdString() : std::string();
    KeptSettings::StorePortAircraft(asked, name);
    if (asked == port_ && document_ != nullptr)
      document_->recorder().SetAircraft(name);
    if (aircraftPrompt_ == prompt)
      aircraftPrompt_ = nullptr;
  });
  prompt->setModal(false);  // the table and charts stay in use while it waits
  prompt->show();
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
