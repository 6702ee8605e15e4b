// Options > Serial Port...: lists the serial devices present (stable by-id names first, with
// maker, product, serial number and node) and takes the chosen or a typed path for one port.
#pragma once

#include <QDialog>
#include <QString>

#include <string>
#include <vector>

#include "acquisition/serial_devices.h"

class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace ovixlog {

// The port's menu text: "COM1" when nothing is bound, else "COM1 — FTDI FT232R USB UART
// (ttyUSB0)" for a serial device present, "COM1 — /dev/pts/3" for another file that exists,
// or "COM1 — <name> (not connected)".
QString PortMenuText(int port, const std::string& boundDevice,
                     const std::vector<SerialDevice>& devices);

class SerialPortDialog : public QDialog {
  Q_OBJECT

 public:
  // `current` is the device the port reads now; it is selected when listed, else typed.
  SerialPortDialog(int port, const std::vector<SerialDevice>& devices, const std::string& current,
                   QWidget* parent = nullptr);

  // The path to bind, as typed or chosen, without surrounding blanks; empty binds nothing and
  // leaves the port to its default device.
  std::string chosenPath() const;

  QTreeWidget* list() const { return list_; }
  QLineEdit* pathEdit() const { return pathEdit_; }
  QPushButton* useButton() const { return useButton_; }

 private:
  QTreeWidget* list_;
  QLineEdit* pathEdit_;
  QPushButton* useButton_;
};

}  // namespace ovixlog
