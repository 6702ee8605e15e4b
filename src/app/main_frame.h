// The main window: the charts above the log view, with menus, toolbar, status bar and the
// Flights panel around them. Routes the commands to the document; the menus, the status bar,
// the offers and the flight review are each kept by a controller of their own.
#pragma once

#include <QMainWindow>
#include <QTimer>

#include <string>

#include "acquisition/layout_detector.h"
#include "app/flights_controller.h"
#include "app/menu_controller.h"
#include "app/offer_controller.h"
#include "app/state_banner.h"
#include "app/status_controller.h"

class QIcon;
class QMimeData;
class QFrame;
class QSplitter;

namespace ovixlog {

class COvixLogDoc;
class COvixLogView;
class ChartView;
class DocumentSignals;
class StatusOffer;
class FlightsPanel;
class ReportController;
class LibraryController;
class TrendsController;

// The one local file in dropped data, or empty.
QString DroppedFile(const QMimeData* data);

// The program's icon at 16, 32 and 64 pixels.
QIcon AppIcon();

class CMainFrame : public QMainWindow {
  Q_OBJECT

 public:
  static constexpr int kPaneRefreshMs = 250;
  static constexpr int kQuietAfterMs = StatusController::kQuietAfterMs;

  explicit CMainFrame(COvixLogDoc* document, QWidget* parent = nullptr);
  ~CMainFrame() override;

  COvixLogView* view() const { return view_; }
  // The chart pane above the table (View > Charts shows and hides it).
  ChartView* charts() const { return charts_; }
  QSplitter* splitter() const { return splitter_; }
  // The sentence above the charts that says what the window is doing, with the offers.
  StateBanner* banner() const { return banner_; }
  // Shown over the empty charts while nothing is connected and nothing was received.
  QFrame* connectPlaceholder() const { return placeholder_; }
  // The document's notifications as signals; the application attaches it to the document as
  // its view, and every pane of the window connects to it.
  DocumentSignals* documentSignals() const { return signals_; }
  // Forgets the document: the panes stop polling it and the view stops reading it.
  void DetachDocument();
  // The "Flights" panel, docked below the table (View > Flights shows and hides it).
  FlightsPanel* flights() const { return flightsController_->panel(); }
  QDockWidget* flightsDock() const { return flightsController_->dock(); }
  // Options > Limits...: edits the limits file and analyses the flights again.
  void OnLimits() { flightsController_->OnLimits(); }
  // The charts' limit lines and exceedance shading, from the panel's limits and runs.
  void UpdateChartMarks() { flightsController_->UpdateChartMarks(); }

  MenuController* menus() const { return menus_; }
  StatusController* status() const { return status_; }
  OfferController* offers() const { return offers_; }
  FlightsController* flightReview() const { return flightsController_; }
  ReportController* reports() const { return reports_; }
  // The Library view of every flight, docked beside the Flights panel.
  LibraryController* library() const { return library_; }
  // The Trends view, tabbed with the Library view.
  TrendsController* trends() const { return trends_; }

  // The action of a command number, or null.
  QAction* Action(int id) const { return menus_->Action(id); }
  QMenu* fileMenu() const { return menus_->fileMenu(); }
  QMenu* viewMenu() const { return menus_->viewMenu(); }
  QMenu* optionsMenu() const { return menus_->optionsMenu(); }
  QMenu* helpMenu() const { return menus_->helpMenu(); }
  QToolBar* toolBar() const { return menus_->toolBar(); }
  QLabel* messagePane() const { return status_->messagePane(); }
  QLabel* capsPane() const { return status_->capsPane(); }
  QLabel* numPane() const { return status_->numPane(); }
  QLabel* scrollPane() const { return status_->scrollPane(); }
  QLabel* portPane() const { return status_->portPane(); }
  QLabel* recordingPane() const { return status_->recordingPane(); }

  // Runs a command as its menu item, button or key would.
  void OnCommand(int id);
  // The update rules: radio and check marks from the document's fields and the bars' state.
  void UpdateMarks();
  // "<document title> - Ovix Log".
  void UpdateTitle();
  // Refreshes the port pane and the keyboard lock panes.
  void RefreshPanes();
  // The geometry and bars of the last run's window, when they were kept.
  void RestoreWindow();
  // Off: the user's choices and the window's geometry are not written for the next run.
  void SetSettingsKept(bool kept) { settingsKept_ = kept; }

  // Where the serial devices are looked up ("/" unless a test builds a system of its own). The
  // next poll learns afresh what is there.
  void SetDeviceRoot(const std::string& root) { offers_->SetDeviceRoot(root); }
  // Options > Serial Port...: the device picker for the current port.
  void OnSerialPortDialog();
  // File > Connect Monitor...: the adapter, the model, and a live check before OK.
  void OnConnectMonitor();
  // Binds the current port to `device` (empty: its default device), keeps the choice and
  // reopens the port. Asks to save first, as a port switch does; false when that was cancelled.
  bool BindCurrentPort(const std::string& device);
  // Looks for serial devices that appeared; the pane timer does it once a second.
  void PollDevices();
  // The status-bar offers: another frame layout, and a device that was plugged in.
  StatusOffer* layoutOffer() const { return offers_->layoutOffer(); }
  StatusOffer* deviceOffer() const { return offers_->deviceOffer(); }
  StatusOffer* modelOffer() const { return offers_->modelOffer(); }
  // Shows the About box modally.
  void OnAppAbout();
  // Shows a report in the status bar's message pane until the next one or a new log.
  void ShowMessage(const QString& text);

  // Whether the last refused close was refused because a save failed (not by Cancel).
  // A save that succeeded since (File Save after the disk was mended) clears it.
  bool CloseFailedToSave() const;
  // Closes without any save or question, also from inside an open message box or dialog, which
  // is closed first. For a second termination signal: the first one has shown why it could not
  // save, and live data is kept elsewhere.
  void CloseWithoutSaving();
  bool closedWithoutSaving() const { return skipSave_; }

  // A file dropped on the window: asks to save as an import does, then opens it by content.
  void OpenDroppedFile(const std::string& path);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void OnFileNew();
  void CreatePlaceholder();
  void UpdatePlaceholder();
  // The offers' answers: the model or layout chosen as a menu command would, then the shown
  // file (or the live samples) read again when the layout changed.
  void SwitchToModel(EngineModel model);
  void ChooseModel(EngineModel model);
  void SwitchToLayout(FrameFormat layout);
  void ReadAgainAfterSwitch(FrameFormat before);

  COvixLogDoc* document_;
  DocumentSignals* signals_;
  COvixLogView* view_;
  ChartView* charts_;
  QSplitter* splitter_;
  StateBanner* banner_;
  QFrame* placeholder_ = nullptr;
  MenuController* menus_ = nullptr;
  StatusController* status_ = nullptr;
  OfferController* offers_ = nullptr;
  FlightsController* flightsController_ = nullptr;
  LibraryController* library_ = nullptr;
  TrendsController* trends_ = nullptr;
  ReportController* reports_ = nullptr;
  bool settingsKept_ = true;
  int refreshCount_ = 0;
  std::string titleKey_;
  QTimer paneTimer_;
  bool closeFailedToSave_ = false;
  bool skipSave_ = false;
  // An offer is making its choice through menu commands: the file shown is read again once,
  // after the last of them, not by each command.
  bool choosing_ = false;
};

}  // namespace ovixlog
