// The main window: menu bar, toolbar, status bar and the log view. Routes the menu commands to
// the document and keeps the Options menu's marks in step with the document's settings.
#pragma once

#include <QElapsedTimer>
#include <QMainWindow>
#include <QTimer>

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "acquisition/layout_detector.h"
#include "acquisition/serial_devices.h"
#include "acquisition/serial_reader.h"
#include "recording/live_recorder.h"

class QAction;
class QIcon;
class QActionGroup;
class QDockWidget;
class QLabel;
class QMenu;
class QSplitter;
class QToolBar;

namespace ovixlog {

class COvixLogDoc;
class COvixLogView;
class ChartView;
class DocumentSignals;
class StatusOffer;
class FlightsPanel;

// The port pane's text: "COM1 /dev/ttyS0 — receiving 12 frames, 0 dropped", "... — no data",
// or the reason the device is not open. `receiving` says whether frames arrived lately.
QString PortPaneText(const SerialStatus& status, bool receiving);

// The recording pane's text: "Recording <name> (12.3 kB)", "Recording off", the reason the
// recording stopped, with "Live display paused" in front while an imported file is shown.
QString RecordingPaneText(const LiveRecorder::Status& status, bool reviewing);

// The program's icon at 16, 32 and 64 pixels.
QIcon AppIcon();

class CMainFrame : public QMainWindow {
  Q_OBJECT

 public:
  static constexpr int kPaneRefreshMs = 250;
  // Frames must have arrived within this time for the port pane to say "receiving".
  static constexpr int kQuietAfterMs = 2000;

  explicit CMainFrame(COvixLogDoc* document, QWidget* parent = nullptr);
  ~CMainFrame() override;

  COvixLogView* view() const { return view_; }
  // The chart pane above the table (View > Charts shows and hides it).
  ChartView* charts() const { return charts_; }
  QSplitter* splitter() const { return splitter_; }
  // The document's notifications as signals; the application attaches it to the document as
  // its view, and every pane of the window connects to it.
  DocumentSignals* documentSignals() const { return signals_; }
  // Forgets the document: the panes stop polling it and the view stops reading it.
  void DetachDocument();
  // The "Flights" panel, docked below the table (View > Flights shows and hides it).
  FlightsPanel* flights() const { return flights_; }
  QDockWidget* flightsDock() const { return flightsDock_; }
  // Options > Limits...: edits the limits file and analyses the flights again.
  void OnLimits();

  // The action of a command number, or null.
  QAction* Action(int id) const;
  QMenu* fileMenu() const { return fileMenu_; }
  QMenu* viewMenu() const { return viewMenu_; }
  QMenu* optionsMenu() const { return optionsMenu_; }
  QMenu* helpMenu() const { return helpMenu_; }
  QToolBar* toolBar() const { return toolBar_; }
  QLabel* messagePane() const { return messagePane_; }
  QLabel* capsPane() const { return capsPane_; }
  QLabel* numPane() const { return numPane_; }
  QLabel* scrollPane() const { return scrollPane_; }
  QLabel* portPane() const { return portPane_; }
  QLabel* recordingPane() const { return recordingPane_; }

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
  void SetDeviceRoot(const std::string& root) {
    deviceRoot_ = root;
    deviceWatch_ = DeviceWatch{};
  }
  // Options > Serial Port...: the device picker for the current port.
  void OnSerialPortDialog();
  // Binds the current port to `device` (empty: its default device), keeps the choice and
  // reopens the port. Asks to save first, as a port switch does; false when that was cancelled.
  bool BindCurrentPort(const std::string& device);
  // Looks for serial devices that appeared; the pane timer does it once a second.
  void PollDevices();
  // The status-bar offers: another frame layout, and a device that was plugged in.
  StatusOffer* layoutOffer() const { return layoutOffer_; }
  StatusOffer* deviceOffer() const { return deviceOffer_; }
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

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QAction* AddCommand(QMenu* menu, int id, const QString& text);
  void CreateMenus();
  void CreateToolBar();
  void CreateStatusBar();
  void CreateFlightReview();
  void OnFileNew();
  void RefreshLayoutOffer(const SerialStatus& status);
  void SwitchToLayout(FrameFormat layout);
  void UpdatePortTexts();

  COvixLogDoc* document_;
  DocumentSignals* signals_;
  COvixLogView* view_;
  ChartView* charts_;
  QSplitter* splitter_;
  FlightsPanel* flights_ = nullptr;
  QDockWidget* flightsDock_ = nullptr;
  std::map<int, QAction*> actions_;
  QMenu* fileMenu_ = nullptr;
  QMenu* viewMenu_ = nullptr;
  QMenu* optionsMenu_ = nullptr;
  QMenu* helpMenu_ = nullptr;
  QActionGroup* modelGroup_ = nullptr;
  QActionGroup* portGroup_ = nullptr;
  QActionGroup* orderGroup_ = nullptr;
  QToolBar* toolBar_ = nullptr;
  QLabel* messagePane_ = nullptr;
  QLabel* capsPane_ = nullptr;
  QLabel* numPane_ = nullptr;
  QLabel* scrollPane_ = nullptr;
  QLabel* portPane_ = nullptr;
  QLabel* recordingPane_ = nullptr;
  bool settingsKept_ = true;
  std::string deviceRoot_ = "/";
  DeviceWatch deviceWatch_;
  SerialDevice offeredDevice_;
  int refreshCount_ = 0;
  StatusOffer* layoutOffer_ = nullptr;
  StatusOffer* deviceOffer_ = nullptr;
  std::optional<FrameFormat> offeredLayout_;
  QTimer paneTimer_;
  bool closeFailedToSave_ = false;
  bool skipSave_ = false;
  // The accepted-frame count at the last refresh, and the time since it last grew.
  uint64_t lastAccepted_ = 0;
  QElapsedTimer sinceLastFrame_;
};

}  // namespace ovixlog
