#include "app/menu_controller.h"

#include <QAction>
#include <QActionGroup>
#include <QIcon>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>

#include <utility>
#include <vector>

#include "acquisition/port_bindings.h"
#include "acquisition/serial_devices.h"
#include "app/command_ids.h"
#include "app/serial_port_dialog.h"
#include "document/ovixlog_doc.h"

namespace ovixlog {
namespace {

QString Latin1(const std::string& text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

MenuController::MenuController(QMainWindow* window, std::function<void(int)> onCommand)
    : QObject(window), window_(window), onCommand_(std::move(onCommand)) {
  CreateMenus();
  CreateToolBar();
}

QAction* MenuController::Action(int id) const {
  const auto found = actions_.find(id);
  return found == actions_.end() ? nullptr : found->second;
}

QAction* MenuController::AddCommand(QMenu* menu, int id, const QString& text) {
  auto* action = new QAction(text, window_);
  action->setData(id);
  action->setStatusTip(Latin1(PromptOf(id)));
  const std::string tip = ToolTipOf(id);
  if (!tip.empty())
    action->setToolTip(Latin1(tip));
  // The shortcut text is part of the item's text; the real shortcuts are set where they apply.
  action->setShortcutVisibleInContextMenu(false);
  connect(action, &QAction::triggered, this, [this, id] { onCommand_(id); });
  actions_[id] = action;
  menu->addAction(action);
  return action;
}

void MenuController::CreateMenus() {
  QMenuBar* bar = window_->menuBar();
  fileMenu_ = bar->addMenu(QStringLiteral("&File"));
  QAction* fileNew = AddCommand(fileMenu_, kIdFileNew, QStringLiteral("&New\tCtrl+N"));
  fileNew->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
  AddCommand(fileMenu_, kIdConnectMonitor, QStringLiteral("Connect &Monitor..."));
  QAction* fileOpen = AddCommand(fileMenu_, kIdFileOpen, QStringLiteral("&Open...\tCtrl+O"));
  fileOpen->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  AddCommand(fileMenu_, kIdOpenDemoLog, QStringLiteral("Open EFIS DEMO..."));
  AddCommand(fileMenu_, kIdOpenSerialFile, QStringLiteral("Open Serial File..."));
  AddCommand(fileMenu_, kIdOpenRecording, QStringLiteral("Open &Recording..."));
  QAction* fileSave = AddCommand(fileMenu_, kIdFileSave, QStringLiteral("&Save\tCtrl+S"));
  fileSave->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  AddCommand(fileMenu_, kIdFileSaveAs, QStringLiteral("Save &As..."));
  AddCommand(fileMenu_, kIdAppExit, QStringLiteral("E&xit"));
  for (QAction* action : {fileNew, fileOpen, fileSave})
    action->setShortcutContext(Qt::WindowShortcut);

  viewMenu_ = bar->addMenu(QStringLiteral("&View"));
  AddCommand(viewMenu_, kIdViewToolbar, QStringLiteral("&Toolbar"))->setCheckable(true);
  AddCommand(viewMenu_, kIdViewStatusBar, QStringLiteral("&Status Bar"))->setCheckable(true);
  AddCommand(viewMenu_, kIdViewCharts, QStringLiteral("&Charts"))->setCheckable(true);

  optionsMenu_ = bar->addMenu(QStringLiteral("&Options"));
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

  helpMenu_ = bar->addMenu(QStringLiteral("&Help"));
  AddCommand(helpMenu_, kIdAppAbout, QStringLiteral("&About OvixLog..."));

  for (QMenu* menu : {fileMenu_, viewMenu_, optionsMenu_, helpMenu_})
    connect(menu, &QMenu::aboutToShow, this, &MenuController::marksStale);
}

void MenuController::CreateToolBar() {
  toolBar_ = new QToolBar(QStringLiteral("Toolbar"), window_);
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
  toolBar_->addSeparator();
  // In words: the first thing a newcomer looks for.
  QAction* connectMonitor = Action(kIdConnectMonitor);
  connectMonitor->setIconText(QStringLiteral("Connect Monitor..."));
  toolBar_->addAction(connectMonitor);
  window_->addToolBar(Qt::TopToolBarArea, toolBar_);
  connect(toolBar_, &QToolBar::visibilityChanged, this, &MenuController::marksStale);
}

void MenuController::UpdateMarks(const COvixLogDoc* document, bool chartsShown,
                                 const std::string& deviceRoot) {
  Action(kIdViewToolbar)->setChecked(!toolBar_->isHidden());
  Action(kIdViewStatusBar)->setChecked(!window_->statusBar()->isHidden());
  Action(kIdViewCharts)->setChecked(chartsShown);
  if (document == nullptr)
    return;  // no document: the marks stay as they are
  const int32_t model = document->model.load();
  Action(kIdModel3100)->setChecked(model == kModel3100);
  Action(kIdModel5100)->setChecked(model == kModel5100);
  Action(kIdModel7100)->setChecked(model == kModel7100);
  Action(kIdModel8100)->setChecked(model == kModel8100);
  Action(kIdReadV39)->setChecked(document->altFrameFormat.load() != 0);
  const int32_t port = document->commPort.load();
  for (int n = 1; n <= 8; ++n)
    Action(CommandOfPort(n))->setChecked(port == n);
  UpdatePortTexts(deviceRoot);
  Action(kIdKeepAllSamples)->setChecked(document->keepAllSamples.load() != 0);
  Action(kIdShowSystemTime)->setChecked(document->showSystemTime.load() != 0);
  Action(kIdRecordLiveData)->setChecked(document->recorder().enabled());
  Action(kIdNewestFirst)->setChecked(document->oldestFirst.load() == 0);
  Action(kIdOldestFirst)->setChecked(document->oldestFirst.load() == 1);
}

void MenuController::UpdatePortTexts(const std::string& deviceRoot) {
  bool anyBound = false;
  for (int n = 1; n <= kPortCount; ++n)
    anyBound = anyBound || !BoundDevice(n).empty();
  const std::vector<SerialDevice> devices =
      anyBound ? ListSerialDevices(deviceRoot) : std::vector<SerialDevice>{};
  for (int n = 1; n <= kPortCount; ++n) {
    const QString text = PortMenuText(n, BoundDevice(n), devices);
    QAction* action = Action(CommandOfPort(n));
    if (action->text() != text)
      action->setText(text);
  }
}

}  // namespace ovixlog
