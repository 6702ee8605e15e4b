#include "app/main_frame.h"

#include "app/library_controller.h"
#include "app/trends_controller.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEvent>
#include <QMimeData>
#include <QUrl>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QMenu>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>

#include "acquisition/port_bindings.h"
#include "app/about_dialog.h"
#include "app/command_ids.h"
#include "app/connect_monitor_dialog.h"
#include "app/kept_settings.h"
#include "app/report_controller.h"
#include "app/serial_port_dialog.h"
#include "document/ovixlog_doc.h"
#include "view/chart_cursor.h"
#include "view/chart_view.h"
#include "view/document_signals.h"
#include "view/ovixlog_view.h"

// The images are compiled into this static library, whose resource initialiser no linker keeps
// unless it is called; it must be called from the global namespace.
static void InitResources() {
  Q_INIT_RESOURCE(ovixlog);
}

namespace ovixlog {
namespace {

QString Latin1(const std::string& text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QIcon AppIcon() {
  InitResources();
  QIcon icon;
  for (const char* file :
       {":/ovixlog/ovixlog-16.png", ":/ovixlog/ovixlog-32.png", ":/ovixlog/ovixlog.png"}) {
    icon.addFile(QString::fromLatin1(file));
  }
  return icon;
}

CMainFrame::CMainFrame(COvixLogDoc* document, QWidget* parent)
    : QMainWindow(parent),
      document_(document),
      signals_(new DocumentSignals(this)),
      view_(new COvixLogView),
      charts_(new ChartView),
      splitter_(new QSplitter(Qt::Vertical, this)),
      banner_(new StateBanner(this)) {
  setWindowIcon(AppIcon());
  signals_->SetDocument(document_);
  view_->SetDocument(document_);
  view_->SetTitlesPinned(true);
  connect(signals_, &DocumentSignals::samplesAppended, view_,
          [this](int first, int count) { view_->OnSamplesAppended(first, count); });
  connect(signals_, &DocumentSignals::documentChanged, view_,
          [this] { view_->OnUpdate(nullptr, 0); });
  connect(signals_, &DocumentSignals::contentsReset, view_, [this] { view_->SelectSample(-1); });
  charts_->SetDocument(document_, signals_);
  // One cursor for the charts and the table: a sample picked on a chart selects the row, a
  // selected row moves the cursor.
  ChartCursor* cursor = charts_->cursor();
  connect(cursor, &ChartCursor::picked, view_,
          [this](int index) { view_->SelectSample(index, true); });
  connect(view_, &COvixLogView::sampleSelected, charts_, &ChartView::SetCursorSample);
  view_->SetBreakQuery([this](int index) {
    return index > 0 && index < charts_->summary().size() &&
           charts_->summary().BreakBetween(index - 1, index);
  });
  splitter_->addWidget(charts_);
  splitter_->addWidget(view_);
  splitter_->setStretchFactor(0, 1);
  splitter_->setStretchFactor(1, 1);
  splitter_->setChildrenCollapsible(false);
  auto* centre = new QWidget(this);
  auto* column = new QVBoxLayout(centre);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  column->addWidget(banner_);
  column->addWidget(splitter_, 1);
  setCentralWidget(centre);
  menus_ = new MenuController(this, [this](int id) { OnCommand(id); });
  connect(menus_, &MenuController::marksStale, this, &CMainFrame::UpdateMarks);
  status_ = new StatusController(statusBar(), banner_);
  offers_ = new OfferController(banner_);
  connect(offers_, &OfferController::layoutAccepted, this, &CMainFrame::SwitchToLayout);
  connect(offers_, &OfferController::deviceAccepted, this,
          [this](const std::string& path) { BindCurrentPort(path); });
  connect(offers_, &OfferController::modelAccepted, this, &CMainFrame::SwitchToModel);
  connect(offers_, &OfferController::modelChoiceRequested, this, [this] {
    optionsMenu()->popup(mapToGlobal(QPoint(width() / 3, 0)));
  });
  offers_->SetDocument(document_, signals_);
  connect(banner_, &StateBanner::connectRequested, this, &CMainFrame::OnConnectMonitor);
  CreatePlaceholder();
  flightsController_ =
      new FlightsController(this, document_, signals_, charts_, viewMenu(), optionsMenu());
  connect(flightsController_, &FlightsController::sampleChosen, view_,
          [this](int index) { view_->SelectSample(index, true); });
  reports_ = new ReportController(this, document_, flightsController_->panel(), fileMenu(),
                                  Action(kIdAppExit));
  library_ = new LibraryController(this, document_, charts_, flightsController_->dock(),
                                   viewMenu(), true);
  trends_ = new TrendsController(this, library_, viewMenu(), document_,
                                 flightsController_->panel());
  // The first start fills most of the screen, centred; later starts restore the kept geometry.
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect available = screen->availableGeometry();
    resize(available.width() * 4 / 5, available.height() * 4 / 5);
    move(available.center() - rect().center());
  } else {
    resize(960, 720);
  }
  setAcceptDrops(true);

  connect(&paneTimer_, &QTimer::timeout, this, &CMainFrame::RefreshPanes);
  paneTimer_.start(kPaneRefreshMs);
  UpdateMarks();
  UpdateTitle();
  RefreshPanes();
}

CMainFrame::~CMainFrame() = default;

void CMainFrame::DetachDocument() {
  paneTimer_.stop();
  document_ = nullptr;
  signals_->SetDocument(nullptr);
  charts_->SetDocument(nullptr, nullptr);
  flightsController_->DetachDocument();
  reports_->DetachDocument();
  library_->DetachDocument();
  trends_->DetachDocument();
  offers_->SetDocument(nullptr, nullptr);
  view_->SetDocument(nullptr);
}

void CMainFrame::UpdateMarks() {
  menus_->UpdateMarks(document_, !charts_->isHidden(), offers_->deviceRoot());
}

void CMainFrame::UpdateTitle() {
  // A recording's start is read from its file: only when what the title names has changed.
  std::string key;
  if (document_ != nullptr) {
    key = document_->GetPathName() + '\n' + document_->importedPath() + '\n' +
          (document_->reviewing() ? "r" : "l") + document_->recorder().status().name;
  }
  if (key == titleKey_ && !windowTitle().isEmpty())
    return;
  titleKey_ = key;
  const std::string title =
      document_ != nullptr ? document_->ShownTitle() : std::string("Untitled");
  const QString text = QString::fromLocal8Bit(title) + QStringLiteral(" - Ovix Log");
  if (windowTitle() != text)
    setWindowTitle(text);
}

void CMainFrame::RefreshPanes() {
  const SerialStatus status = document_ != nullptr ? document_->PortStatus() : SerialStatus{};
  status_->Refresh(document_, status, offers_->deviceRoot());
  library_->PortSeen(status.portName, status_->receiving());
  UpdatePlaceholder();
  // A recording begins with the first bytes, an import ends without a command: the title
  // follows both.
  if (document_ != nullptr && refreshCount_ % (1000 / kPaneRefreshMs) == 0)
    UpdateTitle();
  if (document_ != nullptr) {
    offers_->RefreshLayoutOffer(*document_, status);
    if (refreshCount_++ % (1000 / kPaneRefreshMs) == 0)
      PollDevices();
  }
}

void CMainFrame::OnCommand(int id) {
  const DocumentChoices before = document_ != nullptr ? ChoicesOf(*document_) : DocumentChoices{};
  const FrameFormat layoutBefore =
      document_ != nullptr ? LayoutOf(document_->model.load(), document_->altFrameFormat.load())
                           : FrameFormat::kLong;
  if (document_ != nullptr) {
    switch (id) {
      case kIdFileNew:
        OnFileNew();
        break;
      case kIdFileSave:
        document_->DoFileSave();
        break;
      case kIdFileSaveAs:
        document_->DoFileSaveAs();
        break;
      case kIdOpenDemoLog:
        document_->OnOpenDemoLog();
        break;
      case kIdOpenSerialFile:
        document_->OnOpenSerialFile();
        break;
      case kIdOpenRecording:
        document_->OnOpenRecording();
        break;
      case kIdFileOpen:
        document_->OnOpenAnyFile();
        break;
      case kIdRecordLiveData:
        document_->OnRecordLiveData();
        break;
      case kIdModel3100:
        document_->OnModel(kModel3100);
        break;
      case kIdModel5100:
        document_->OnModel(kModel5100);
        break;
      case kIdModel7100:
        document_->OnModel(kModel7100);
        break;
      case kIdModel8100:
        document_->OnModel(kModel8100);
        break;
      case kIdReadV39:
        document_->OnReadV39();
        break;
      case kIdKeepAllSamples:
        document_->OnKeepAllSamples();
        break;
      case kIdShowSystemTime:
        document_->OnShowSystemTime();
        break;
      case kIdNewestFirst:
        document_->OnNewestFirst();
        break;
      case kIdOldestFirst:
        document_->OnOldestFirst();
        break;
      case kIdSerialPortDialog:
        OnSerialPortDialog();
        break;
      case kIdConnectMonitor:
        OnConnectMonitor();
        break;
      default:
        if (const int port = PortOfCommand(id); port != 0)
          document_->OnPort(port);
        break;
    }
    // A shown file read in another layout is misreadings through and through: a model or format
    // chosen from the menu reads it again (live samples are left to the offers).
    const bool framing = id == kIdModel3100 || id == kIdModel5100 || id == kIdModel7100 ||
                         id == kIdModel8100 || id == kIdReadV39;
    if (framing && !choosing_ && document_->reviewing())
      ReadAgainAfterSwitch(layoutBefore);
    // The user's own choices are kept for the next run; an import's settings are the file's.
    if (settingsKept_ && id != kIdOpenDemoLog && id != kIdOpenSerialFile && id != kIdFileOpen)
      KeptSettings::StoreChanges(before, ChoicesOf(*document_));
  }
  switch (id) {
    case kIdAppExit:
      close();
      break;
    case kIdViewToolbar:
      toolBar()->setVisible(toolBar()->isHidden());
      break;
    case kIdViewStatusBar:
      statusBar()->setVisible(statusBar()->isHidden());
      break;
    case kIdViewCharts:
      charts_->setVisible(charts_->isHidden());
      break;
    case kIdAppAbout:
      OnAppAbout();
      break;
    default:
      break;
  }
  // A checkable item flips itself when chosen; a cancelled command must not leave it flipped.
  UpdateMarks();
  UpdateTitle();
  RefreshPanes();
}

void CMainFrame::ShowMessage(const QString& text) {
  status_->ShowMessage(text);
  // The status bar cuts a long report short; the banner holds it whole. "Ready" is no news.
  banner_->SetNote(text == Latin1(LoadString(kIdsIdleMessage)) ? QString() : text);
}

bool CMainFrame::CloseFailedToSave() const {
  return closeFailedToSave_ && document_ != nullptr && document_->LastSaveFailed();
}

void CMainFrame::CloseWithoutSaving() {
  skipSave_ = true;
  // A message box opened by the close now under way runs its own event loop; closing it lets
  // that close go on, and it then finds skipSave_ set.
  for (int i = 0; i < 8; ++i) {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || modal == this)
      break;
    modal->close();
  }
  close();
}

void CMainFrame::OnFileNew() {
  if (!document_->SaveModified())
    return;
  ShowMessage(Latin1(LoadString(kIdsIdleMessage)));
  document_->OnNewDocument();
  view_->OnInitialUpdate();
  document_->UpdateAllViews(nullptr);
}

void CMainFrame::CreatePlaceholder() {
  // Over the charts, which have nothing to draw before the first sample: a start with nothing
  // connected shows the way to connect instead of empty axes.
  placeholder_ = new QFrame(charts_);
  placeholder_->setObjectName(QStringLiteral("connectPlaceholder"));
  placeholder_->setAutoFillBackground(true);
  auto* layout = new QVBoxLayout(placeholder_);
  layout->addStretch(1);
  auto* text = new QLabel(QStringLiteral("No monitor connected. Plug in the monitor's serial "
                                         "adapter and choose it, with the monitor's model."),
                          placeholder_);
  text->setWordWrap(true);
  text->setAlignment(Qt::AlignCenter);
  layout->addWidget(text);
  auto* button = new QPushButton(QStringLiteral("Connect Monitor..."), placeholder_);
  button->setAutoDefault(false);
  connect(button, &QPushButton::clicked, this, &CMainFrame::OnConnectMonitor);
  layout->addWidget(button, 0, Qt::AlignHCenter);
  layout->addStretch(1);
  placeholder_->hide();
  charts_->installEventFilter(this);
  // Gone with the first sample, not a pane refresh later.
  connect(signals_, &DocumentSignals::samplesAppended, this, &CMainFrame::UpdatePlaceholder);
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
  if (watched == charts_ && event->type() == QEvent::Resize && placeholder_ != nullptr)
    placeholder_->setGeometry(charts_->rect());
  return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::UpdatePlaceholder() {
  const bool shown = document_ != nullptr && !document_->reviewing() &&
                     document_->SampleCount() == 0 &&
                     status_->bannerState().link == BannerState::Link::kNotConnected;
  if (shown == placeholder_->isHidden()) {
    placeholder_->setGeometry(charts_->rect());
    placeholder_->setVisible(shown);
    placeholder_->raise();
  }
}

void CMainFrame::OnConnectMonitor() {
  if (document_ == nullptr)
    return;
  const SerialStatus now = document_->PortStatus();
  // The line the window holds open is checked through the window's own reader.
  const std::string current = now.open ? now.devicePath : std::string();
  ConnectMonitorDialog dialog(offers_->deviceRoot(), current, document_->model.load(),
                              document_->altFrameFormat.load(),
                              [this] { return document_->PortStatus(); }, this);
  if (dialog.exec() != QDialog::Accepted || dialog.chosenPath().empty())
    return;
  ChooseModel(dialog.chosenModel());
  if ((document_->altFrameFormat.load() != 0) != (dialog.chosenAltFormat() != 0))
    OnCommand(kIdReadV39);
  if (dialog.chosenPath() != current)
    BindCurrentPort(dialog.chosenPath());
}

void CMainFrame::OnSerialPortDialog() {
  const int port = document_->commPort.load();
  SerialPortDialog dialog(port, ListSerialDevices(offers_->deviceRoot()), BoundDevice(port), this);
  if (dialog.exec() == QDialog::Accepted)
    BindCurrentPort(dialog.chosenPath());
}

bool CMainFrame::BindCurrentPort(const std::string& device) {
  if (document_ == nullptr)
    return false;
  const int port = document_->commPort.load();
  const std::string before = BoundDevice(port);
  // The reopened reader looks the device up, so the binding is made first and taken back
  // when the save question is cancelled.
  BindPort(port, device);
  if (!document_->OnPort(port)) {
    BindPort(port, before);
    return false;
  }
  if (settingsKept_)
    KeptSettings::StoreBinding(port, device);
  offers_->WithdrawDeviceOffer();
  UpdateMarks();
  UpdateTitle();
  RefreshPanes();
  return true;
}

void CMainFrame::PollDevices() {
  offers_->PollDevices(document_);
}

void CMainFrame::SwitchToModel(EngineModel model) {
  if (document_ == nullptr)
    return;
  const FrameFormat before = LayoutOf(document_->model.load(), document_->altFrameFormat.load());
  choosing_ = true;
  ChooseModel(model);
  choosing_ = false;
  ReadAgainAfterSwitch(before);
}

void CMainFrame::ChooseModel(EngineModel model) {
  if (document_->model.load() == model)
    return;
  // Through the menu commands, so that the choice is kept like any other.
  switch (model) {
    case kModel3100:
      OnCommand(kIdModel3100);
      break;
    case kModel7100:
      OnCommand(kIdModel7100);
      break;
    case kModel8100:
      OnCommand(kIdModel8100);
      break;
    default:
      OnCommand(kIdModel5100);
      break;
  }
}

void CMainFrame::SwitchToLayout(FrameFormat layout) {
  if (document_ == nullptr)
    return;
  const FrameFormat before = LayoutOf(document_->model.load(), document_->altFrameFormat.load());
  const LayoutChoice choice = ChoiceFor(layout, document_->model.load());
  choosing_ = true;
  ChooseModel(choice.model);
  if ((document_->altFrameFormat.load() != 0) != (choice.altFrameFormat != 0))
    OnCommand(kIdReadV39);
  choosing_ = false;
  ReadAgainAfterSwitch(before);
}

void CMainFrame::ReadAgainAfterSwitch(FrameFormat before) {
  // The long-layout models decode a frame alike and differ only in the columns shown; a new
  // layout makes every stored sample a misreading.
  if (document_ == nullptr ||
      LayoutOf(document_->model.load(), document_->altFrameFormat.load()) == before) {
    return;
  }
  if (document_->reviewing())
    document_->ReimportWithCurrentModel();
  else
    document_->RereadLiveSamples();
  UpdateTitle();
  RefreshPanes();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
  if (!DroppedFile(event->mimeData()).isEmpty())
    event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) {
  const QString path = DroppedFile(event->mimeData());
  if (path.isEmpty() || document_ == nullptr)
    return;
  event->acceptProposedAction();
  OpenDroppedFile(path.toLocal8Bit().toStdString());
}

void CMainFrame::OpenDroppedFile(const std::string& path) {
  if (document_ == nullptr || !document_->SaveModified())
    return;
  document_->ImportByContent(path);
  UpdateMarks();
  UpdateTitle();
  RefreshPanes();
}

QString DroppedFile(const QMimeData* data) {
  // One local file; several at once would leave unsaid which one is meant.
  if (data == nullptr || !data->hasUrls() || data->urls().size() != 1)
    return QString();
  const QUrl url = data->urls().front();
  return url.isLocalFile() ? url.toLocalFile() : QString();
}

void CMainFrame::OnAppAbout() {
  AboutDialog about(this);
  about.exec();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  // The save question, or the silent save to the output file; Cancel or a failed save keeps
  // the window open, with the log and the port as they were.
  if (!skipSave_ && document_ != nullptr && !document_->SaveModified() && !skipSave_) {
    closeFailedToSave_ = document_->LastSaveFailed();
    event->ignore();
    UpdateTitle();
    return;
  }
  paneTimer_.stop();
  if (settingsKept_) {
    KeptSettings::StoreWindow(saveGeometry(), saveState());
    KeptSettings::StoreCharts({splitter_->saveState(), !charts_->isHidden(),
                               charts_->otherChannels(), charts_->HiddenByModel()});
  }
  event->accept();
}

void CMainFrame::RestoreWindow() {
  const QByteArray geometry = KeptSettings::KeptGeometry();
  if (!geometry.isEmpty())
    restoreGeometry(geometry);
  const QByteArray state = KeptSettings::KeptWindowState();
  if (!state.isEmpty())
    restoreState(state);
  if (const auto charts = KeptSettings::KeptCharts()) {
    if (!charts->splitterState.isEmpty())
      splitter_->restoreState(charts->splitterState);
    charts_->setVisible(charts->shown);
    if (!charts->otherChannels.empty())
      charts_->SetOtherChannels(charts->otherChannels);
    charts_->SetHiddenByModel(charts->hiddenSeries);
  }
}

}  // namespace ovixlog
