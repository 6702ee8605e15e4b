// File > Connect Monitor...: picks the adapter the monitor is plugged into (by what the adapter
// says it is and the name it keeps from plug to plug, the list following adapters as they are
// plugged and unplugged) and the monitor's model, and shows before OK whether frames arrive.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "acquisition/engine_sample.h"
#include "acquisition/layout_detector.h"
#include "acquisition/serial_devices.h"
#include "acquisition/serial_reader.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTreeWidget;

namespace ovixlog {

// The check's sentence for a device's status: whether it opens, whether frames arrive lately
// (`receiving`), and whether they fit the `chosen` layout.
QString ConnectCheckText(const SerialStatus& status, bool receiving, FrameFormat chosen);

class ConnectMonitorDialog : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kDevicePollMs = 1000;
  static constexpr int kCheckPollMs = 250;

  // Adapters are looked up under `deviceRoot`. `currentPath` is the device the window reads
  // now: it is listed even when the system does not list it, and since the window holds it
  // open, its check comes from `currentStatus` instead of a device opened here.
  ConnectMonitorDialog(const std::string& deviceRoot, const std::string& currentPath,
                       EngineModel model, int32_t altFrameFormat,
                       std::function<SerialStatus()> currentStatus, QWidget* parent = nullptr);
  ~ConnectMonitorDialog() override;

  std::string chosenPath() const;
  EngineModel chosenModel() const;
  int32_t chosenAltFormat() const;

  QTreeWidget* list() const { return list_; }
  QComboBox* modelBox() const { return modelBox_; }
  QLabel* checkLabel() const { return checkLabel_; }
  QPushButton* okButton() const { return okButton_; }

  // Lists the adapters present now, keeping the choice when it is still there.
  void RefreshDevices();
  // Checks the chosen adapter again.
  void RefreshCheck();

 private:
  void StartProbe();

  std::string deviceRoot_;
  std::string currentPath_;
  std::function<SerialStatus()> currentStatus_;
  QTreeWidget* list_;
  QComboBox* modelBox_;
  QLabel* checkLabel_;
  QPushButton* okButton_ = nullptr;
  QTimer devicePoll_;
  QTimer checkPoll_;
  std::vector<SerialDevice> listed_;
  // A reader of the chosen adapter while it is not the window's own.
  class Discard;
  std::unique_ptr<Discard> discard_;
  std::unique_ptr<SerialReader> probe_;
  std::string probedPath_;
  uint64_t lastAccepted_ = 0;
  QElapsedTimer sinceLastFrame_;
};

}  // namespace ovixlog
