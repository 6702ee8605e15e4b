#include "app/main_frame.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDockWidget>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>

#include "acquisition/port_bindings.h"
#include "app/about_dialog.h"
#include "app/command_ids.h"
#include "app/kept_settings.h"
#include "app/keyboard_locks.h"
#include "app/limits_dialog.h"
#include "app/serial_port_dialog.h"
#include "app/status_offer.h"
#include "document/ovixlog_doc.h"
#include "recording/recording_catalog.h"
#include "view/chart_view.h"
#include "view/document_signals.h"
#include "view/flight_chart_marks.h"
#include "view/flights_panel.h"
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

// The port name without its colon: "COM1:" -> "COM1".
QString ShortPortName(const std::string& portName) {
  std::string name = portName;
  if (!name.empty() && name.back() == ':')
    name.pop_back();
  return Latin1(name);
}

QLabel* MakeIndicator(const char* text, QWidget* parent) {
  auto* label = new QLabel(QString::fromLatin1(text), parent);
  label->setAlignment(Qt::AlignCenter);
  label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  // Wide enough for the text in any state, so the panes never jump.
  label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("SCRL")) + 10);
  label->setEnabled(false);
  return label;
}

}  // namespace

QString PortPaneText(const SerialStatus& status, bool receiving) {
  if (status.portName.empty())
    return QStringLiteral("No port");
  const QString where = ShortPortName(status.portName) + QLatin1Char(' ') +
                        QString::fromLocal8Bit(status.devicePath) + QStringLiteral(" \u2014 ");
  if (!status.open) {
    if (!status.lastError.empty())
      return where + QString::fromLocal8Bit(status.lastError);
    return where + QStringLiteral("closed");
  }
  if (!receiving)
    return where + QStringLiteral("no data");
  const auto plural = [](uint64_t n, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(n).arg(QString::fromLatin1(n == 1 ? one : many));
  };
  return where + QStringLiteral("receiving ") + plural(status.framesAccepted, "frame", "frames") +
         QStringLiteral(", ") + QStringLiteral("%1 dropped").arg(status.framesDropped);
}

QString RecordingPaneText(const LiveRecorder::Status& status, bool reviewing) {
  QString text;
  if (!status.error.empty()) {
    text = QString::fromLocal8Bit(status.error);
  } else if (!status.enabled) {
    text = QStringLiteral("Recording off");
  } else if (status.recording && !status.name.empty()) {
    text = QStringLiteral("Recording %1 (%2)")
               .arg(QString::fromLocal8Bit(status.name),
                    QString::fromStdString(SizeText(status.size)));
  } else {
    text = QStringLiteral("Recording on");
  }
  if (reviewing)
    text = QStringLiteral("Live display paused (File > New shows live data) \u2014 ") + text;
  return text;
}

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
      splitter_(new QSplitter(Qt::Vertical, this)) {
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
  // One cursor: a click on a chart selects the row, a selected row moves the cursor.
  connect(charts_, &ChartView::sampleClicked, view_,
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
  setCentralWidget(splitter_);
  CreateMenus();
  CreateToolBar();
  CreateStatusBar();
  CreateFlightReview();
  resize(960, 720);

  connect(&paneTimer_, &QTimer::timeout, this, &CMainFrame::RefreshPanes);
  paneTimer_.start(kPaneRefreshMs);
  UpdateMarks();
  UpdateTitle();
  RefreshPanes();
}

CMainFrame::~CMainFrame() = default;

void CMainFrame::CreateFlightReview() {
  flights_ = new FlightsPanel(this);
  flightsDock_ = new QDockWidget(QStringLiteral("Flights"), this);
  flightsDock_->setObjectName(QStringLiteral("flights"));
  flightsDock_->setWidget(flights_);
  addDockWidget(Qt::BottomDockWidgetArea, flightsDock_);
  flightsDock_->hide();
  QAction* toggle = flightsDock_->toggleViewAction();
  toggle->setText(QStringLiteral("&Flights"));
  toggle->setStatusTip(QStringLiteral("Show or hide the engine runs of the flight"));
  viewMenu_->addAction(toggle);
  optionsMenu_->addSeparator();
  QAction* limits = optionsMenu_->addAction(QStringLiteral("&Limits..."));
  limits->setStatusTip(QStringLiteral("Edit the engine limits the flights are checked against"));
  connect(limits, &QAction::triggered, this, &CMainFrame::OnLimits);

  std::string error;
  if (const std::optional<Limits> loaded = Limits::Load(Limits::DefaultPath(), false, error)) {
    flights_->SetLimits(*loaded);
  } else {
    flights_->SetNote(QString::fromStdString(error) +
                      QStringLiteral(" \u2014 the default limits apply"));
  }
  flights_->SetDocument(document_, signals_);

  // A run picked in the panel fills the charts; an exceedance or a lean test puts the cursor
  // on it, moving the view there when it lies outside.
  connect(flights_, &FlightsPanel::runSelected, charts_,
          [this](qint64 startMs, qint64 endMs) { charts_->FitRange(startMs, endMs); });
  connect(flights_, &FlightsPanel::timeSelected, charts_, [this](qint64 timeMs) {
    const int64_t span = charts_->viewEndMs() - charts_->viewStartMs();
    if (timeMs < charts_->viewStartMs() || timeMs >= charts_->viewEndMs())
      charts_->FitRange(timeMs - span / 2, timeMs + span - span / 2);
    charts_->SetCursorTime(timeMs);
  });
  connect(flights_, &FlightsPanel::runsChanged, this, &CMainFrame::UpdateChartMarks);
  connect(signals_, &DocumentSignals::settingsChanged, this, &CMainFrame::UpdateChartMarks);
  UpdateChartMarks();
}

void CMainFrame::UpdateChartMarks() {
  if (document_ == nullptr)
    return;
  charts_->SetLimitLines(LimitLinesFor(flights_->limits(), document_->model.load()));
  charts_->SetShadedRanges(ShadedRangesFor(flights_->runs()));
}

void CMainFrame::OnLimits() {
  LimitsDialog dialog(Limits::DefaultPath(), this);
  if (dialog.exec() != QDialog::Accepted)
    return;
  flights_->SetNote(QString());
  flights_->SetLimits(dialog.limits());
  UpdateChartMarks();
}

void CMainFrame::DetachDocument() {
  paneTimer_.stop();
  document_ = nullptr;
  signals_->SetDocument(nullptr);
  charts_->SetDocument(nullptr, nullptr);
  flights_->SetDocument(nullptr, nullptr);
  view_->SetDocument(nullptr);
}

QAction* CMainFrame::Action(int id) const {
  const auto found = actions_.find(id);
  return found == actions_.end() ? nullptr : found->second;
}

QAction* CMainFrame::AddCommand(QMenu* menu, int id, const QString& text) {
  auto* action = new QAction(text, this);
  action->setData(id);
  action->setStatusTip(Latin1(PromptOf(id)));
  const std::string tip = ToolTipOf(id);
  if (!tip.empty())
    action->setToolTip(Latin1(tip));
  // The shortcut text is part of the item's text; the real shortcuts are set where they apply.
  action->setShortcutVisibleInContextMenu(false);
  connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
  actions_[id] = action;
  menu->addAction(action);
  return action;
}

void CMainFrame::CreateMenus() {
  fileMenu_ = menuBar()->addMenu(QStringLiteral("&File"));
  QAction* fileNew = AddCommand(fileMenu_, kIdFileNew, QStringLiteral("&New\tCtrl+N"));
  fileNew->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
  AddCommand(fileMenu_, kIdOpenDemoLog, QStringLiteral("Open EFIS DEMO..."));
  AddCommand(fileMenu_, kIdOpenSerialFile, QStringLiteral("Open Serial File..."));
  AddCommand(fileMenu_, kIdOpenRecording, QStringLiteral("Open &Recording..."));
  QAction* fileSave = AddCommand(fileMenu_, kIdFileSave, QStringLiteral("&Save\tCtrl+S"));
  fileSave->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  AddCommand(fileMenu_, kIdFileSaveAs, QStringLiteral("Save &As..."));
  AddCommand(fileMenu_, kIdAppExit, QStringLiteral("E&xit"));
  for (QAction* action : {fileNew, fileSave})
    action->setShortcutContext(Qt::WindowShortcut);

  viewMenu_ = menuBar()->addMenu(QStringLiteral("&View"));
  AddCommand(viewMenu_, kIdViewToolbar, QStringLiteral("&Toolbar"))->setCheckable(true);
  AddCommand(viewMenu_, kIdViewStatusBar, QStringLiteral("&Status Bar"))->setCheckable(true);
  AddCommand(viewMenu_, kIdViewCharts, QStringLiteral("&Charts"))->setCheckable(true);

  optionsMenu_ = menuBar()->addMenu(QStringLiteral("&Options"));
  modelGroup_ = new QActionGroup(this);
  portGroup_ = new QActionGroup(this);
  orderGroup_ = new QActionGroup(this);
  const auto radio = [this](QActionGroup* group, int id, const QString& text) {
    QAction* action = AddCommand(optionsMenu_, id, text);
    action->setCheckable(true);
    group->addAction(action);
  };
  radio(modelGroup_, kIdModel3100, QStringLiteral("Ovix Model &3100"));
  radio(modelGroup_, kIdModel5100, QStringLiteral("Ovix Model &5100"));
  radio(modelGroup_, kIdModel7100, QStringLiteral("Ovix Model &7100"));
  radio(modelGroup_, kIdModel8100, QStringLiteral("Ovix Model &8100"));
  optionsMenu_->addSeparator();
  AddCommand(optionsMenu_, kIdReadV39, QStringLiteral("Read Ovix v3.9"))->setCheckable(true);
  optionsMenu_->addSeparator();
  for (int port = 1; port <= 8; ++port) {
    radio(portGroup_, CommandOfPort(port), QStringLiteral("COM%1").arg(port));
  }
  AddCommand(optionsMenu_, kIdSerialPortDialog, QStringLiteral("Serial &Port..."));
  optionsMenu_->addSeparator();
  AddCommand(optionsMenu_, kIdKeepAllSamples, QStringLiteral("Keep &All Samples"))
      ->setCheckable(true);
  AddCommand(optionsMenu_, kIdShowSystemTime, QStringLiteral("Show System Time"))
      ->setCheckable(true);
  AddCommand(optionsMenu_, kIdRecordLiveData, QStringLiteral("&Record Live Data"))
      ->setCheckable(true);
  optionsMenu_->addSeparator();
  radio(orderGroup_, kIdNewestFirst, QStringLiteral("Newest First"));
  radio(orderGroup_, kIdOldestFirst, QStringLiteral("Oldest First"));
  // The marks before the first refresh; the update rules take over from there.
  Action(kIdModel5100)->setChecked(true);
  Action(kIdCom1)->setChecked(true);
  Action(kIdNewestFirst)->setChecked(true);

  helpMenu_ = menuBar()->addMenu(QStringLiteral("&Help"));
  AddCommand(helpMenu_, kIdAppAbout, QStringLiteral("&About OvixLog..."));

  for (QMenu* menu : {fileMenu_, viewMenu_, optionsMenu_, helpMenu_}) {
    connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateMarks);
  }
}

void CMainFrame::CreateToolBar() {
  toolBar_ = new QToolBar(QStringLiteral("Toolbar"), this);
  toolBar_->setObjectName(QStringLiteral("toolBar"));
  toolBar_->setIconSize(QSize(16, 16));
  toolBar_->setMovable(true);
  toolBar_->setFloatable(true);
  toolBar_->setAllowedAreas(Qt::AllToolBarAreas);
  QAction* fileNew = Action(kIdFileNew);
  QAction* fileSave = Action(kIdFileSave);
  // Our own 16-pixel images: a desktop theme may offer only scalable images, which need an
  // SVG plugin that not every installation has.
  fileNew->setIcon(QIcon(QStringLiteral(":/ovixlog/new.png")));
  fileSave->setIcon(QIcon(QStringLiteral(":/ovixlog/save.png")));
  // Menu items show the text; the icons are the toolbar's.
  fileNew->setIconVisibleInMenu(false);
  fileSave->setIconVisibleInMenu(false);
  toolBar_->addAction(fileNew);
  toolBar_->addAction(fileSave);
  addToolBar(Qt::TopToolBarArea, toolBar_);
  connect(toolBar_, &QToolBar::visibilityChanged, this, &CMainFrame::UpdateMarks);
}

void CMainFrame::CreateStatusBar() {
  QStatusBar* bar = statusBar();
  // A status tip hides the message pane while it is shown; "Ready" comes back afterwards.
  messagePane_ = new QLabel(Latin1(LoadString(kIdsIdleMessage)), bar);
  bar->addWidget(messagePane_, 1);
  layoutOffer_ = new StatusOffer(bar);
  deviceOffer_ = new StatusOffer(bar);
  bar->addWidget(layoutOffer_);
  bar->addWidget(deviceOffer_);
  layoutOffer_->hide();
  deviceOffer_->hide();
  connect(layoutOffer_, &StatusOffer::accepted, this, [this] {
    if (offeredLayout_)
      SwitchToLayout(*offeredLayout_);
  });
  connect(deviceOffer_, &StatusOffer::accepted, this,
          [this] { BindCurrentPort(offeredDevice_.path); });
  recordingPane_ = new QLabel(bar);
  recordingPane_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  bar->addPermanentWidget(recordingPane_);
  portPane_ = new QLabel(bar);
  portPane_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  bar->addPermanentWidget(portPane_);
  capsPane_ = MakeIndicator("CAP", bar);
  numPane_ = MakeIndicator("NUM", bar);
  scrollPane_ = MakeIndicator("SCRL", bar);
  bar->addPermanentWidget(capsPane_);
  bar->addPermanentWidget(numPane_);
  bar->addPermanentWidget(scrollPane_);
}

void CMainFrame::UpdateMarks() {
  Action(kIdViewToolbar)->setChecked(!toolBar_->isHidden());
  Action(kIdViewStatusBar)->setChecked(!statusBar()->isHidden());
  Action(kIdViewCharts)->setChecked(!charts_->isHidden());
  if (document_ == nullptr)
    return;  // no document: the marks stay as they are
  const int32_t model = document_->model.load();
  Action(kIdModel3100)->setChecked(model == kModel3100);
  Action(kIdModel5100)->setChecked(model == kModel5100);
  Action(kIdModel7100)->setChecked(model == kModel7100);
  Action(kIdModel8100)->setChecked(model == kModel8100);
  Action(kIdReadV39)->setChecked(document_->altFrameFormat.load() != 0);
  const int32_t port = document_->commPort.load();
  for (int n = 1; n <= 8; ++n)
    Action(CommandOfPort(n))->setChecked(port == n);
  UpdatePortTexts();
  Action(kIdKeepAllSamples)->setChecked(document_->keepAllSamples.load() != 0);
  Action(kIdShowSystemTime)->setChecked(document_->showSystemTime.load() != 0);
  Action(kIdRecordLiveData)->setChecked(document_->recorder().enabled());
  Action(kIdNewestFirst)->setChecked(document_->oldestFirst.load() == 0);
  Action(kIdOldestFirst)->setChecked(document_->oldestFirst.load() == 1);
}

void CMainFrame::UpdateTitle() {
  const std::string title = document_ != nullptr ? document_->GetTitle() : std::string("Untitled");
  setWindowTitle(QString::fromLocal8Bit(title) + QStringLiteral(" - Ovix Log"));
}

void CMainFrame::RefreshPanes() {
  if (document_ != nullptr) {
    const SerialStatus status = document_->PortStatus();
    if (status.framesAccepted > lastAccepted_)
      sinceLastFrame_.start();
    lastAccepted_ = status.framesAccepted;
    const bool receiving = sinceLastFrame_.isValid() && sinceLastFrame_.elapsed() < kQuietAfterMs;
    const QString text = PortPaneText(status, receiving);
    if (portPane_->text() != text)
      portPane_->setText(text);
    RefreshLayoutOffer(status);
    if (refreshCount_++ % (1000 / kPaneRefreshMs) == 0)
      PollDevices();
    const QString recording =
        RecordingPaneText(document_->recorder().status(), document_->reviewing());
    if (recordingPane_->text() != recording)
      recordingPane_->setText(recording);
  }
  const std::optional<KeyboardLocks> locks = QueryKeyboardLocks();
  capsPane_->setEnabled(locks && locks->caps);
  numPane_->setEnabled(locks && locks->num);
  scrollPane_->setEnabled(locks && locks->scroll);
}

void CMainFrame::OnCommand(int id) {
  const DocumentChoices before = document_ != nullptr ? ChoicesOf(*document_) : DocumentChoices{};
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
      default:
        if (const int port = PortOfCommand(id); port != 0)
          document_->OnPort(port);
        break;
    }
    // The user's own choices are kept for the next run; an import's settings are the file's.
    if (settingsKept_ && id != kIdOpenDemoLog && id != kIdOpenSerialFile)
      KeptSettings::StoreChanges(before, ChoicesOf(*document_));
  }
  switch (id) {
    case kIdAppExit:
      close();
      break;
    case kIdViewToolbar:
      toolBar_->setVisible(toolBar_->isHidden());
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
  messagePane_->setText(text);
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

void CMainFrame::UpdatePortTexts() {
  bool anyBound = false;
  for (int n = 1; n <= kPortCount; ++n)
    anyBound = anyBound || !BoundDevice(n).empty();
  const std::vector<SerialDevice> devices =
      anyBound ? ListSerialDevices(deviceRoot_) : std::vector<SerialDevice>{};
  for (int n = 1; n <= kPortCount; ++n) {
    const QString text = PortMenuText(n, BoundDevice(n), devices);
    QAction* action = Action(CommandOfPort(n));
    if (action->text() != text)
      action->setText(text);
  }
}

void CMainFrame::OnSerialPortDialog() {
  const int port = document_->commPort.load();
  SerialPortDialog dialog(port, ListSerialDevices(deviceRoot_), BoundDevice(port), this);
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
  deviceOffer_->Withdraw();
  UpdateMarks();
  UpdateTitle();
  RefreshPanes();
  return true;
}

void CMainFrame::PollDevices() {
  const std::vector<SerialDevice> devices = ListSerialDevices(deviceRoot_);
  const std::optional<SerialDevice> appeared = deviceWatch_.Poll(devices);
  if (deviceOffer_->offered() && !deviceWatch_.Present(offeredDevice_.node))
    deviceOffer_->Withdraw();
  if (!appeared || document_ == nullptr)
    return;
  // Offered only while the port has no device of its own: a bound port waits for its device.
  const int port = document_->commPort.load();
  if (!BoundDevice(port).empty() || PortHasEnvironmentDevice(port))
    return;
  offeredDevice_ = *appeared;
  deviceOffer_->Offer(QStringLiteral("USB serial adapter connected: %1")
                          .arg(QString::fromLocal8Bit(appeared->node)),
                      QStringLiteral("Use for COM%1").arg(port));
}

void CMainFrame::RefreshLayoutOffer(const SerialStatus& status) {
  const FrameFormat chosen = LayoutOf(document_->model.load(), document_->altFrameFormat.load());
  // The reader's snapshot may still speak of the layout just switched from.
  if (!status.open || !status.suggestedLayout || *status.suggestedLayout == chosen) {
    offeredLayout_.reset();
    layoutOffer_->Withdraw();
    return;
  }
  offeredLayout_ = status.suggestedLayout;
  layoutOffer_->Offer(QStringLiteral("These frames look like ") +
                          QString::fromLatin1(LayoutDescription(*offeredLayout_)),
                      QStringLiteral("Switch"));
}

void CMainFrame::SwitchToLayout(FrameFormat layout) {
  if (document_ == nullptr)
    return;
  const LayoutChoice choice = ChoiceFor(layout, document_->model.load());
  // Through the menu commands, so that the choice is kept like any other.
  if (document_->model.load() != choice.model) {
    switch (choice.model) {
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
  if ((document_->altFrameFormat.load() != 0) != (choice.altFrameFormat != 0))
    OnCommand(kIdReadV39);
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
    KeptSettings::StoreCharts(
        {splitter_->saveState(), !charts_->isHidden(), charts_->otherChannels()});
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
  }
}

}  // namespace ovixlog
