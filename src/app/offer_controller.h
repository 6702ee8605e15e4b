// The window's offers, each a message with one button that never acts by itself: another frame
// layout than the chosen one, and a serial device that was plugged in while the port has none.
#pragma once

#include <QObject>

#include <optional>
#include <string>

#include "acquisition/layout_detector.h"
#include "acquisition/serial_devices.h"
#include "acquisition/serial_reader.h"

class QStatusBar;

namespace ovixlog {

class COvixLogDoc;
class StatusOffer;

class OfferController : public QObject {
  Q_OBJECT

 public:
  // The offers are shown in `bar`, after its message pane.
  explicit OfferController(QStatusBar* bar);

  StatusOffer* layoutOffer() const { return layoutOffer_; }
  StatusOffer* deviceOffer() const { return deviceOffer_; }

  // Where the serial devices are looked up; the next poll learns afresh what is there.
  void SetDeviceRoot(const std::string& root);
  const std::string& deviceRoot() const { return deviceRoot_; }

  // Offers the layout the reader suggests while it differs from the document's choice, and
  // withdraws it otherwise.
  void RefreshLayoutOffer(const COvixLogDoc& document, const SerialStatus& status);
  // Looks for serial devices that appeared, and offers one while the document's port has no
  // device of its own; withdraws the offer when its device is gone.
  void PollDevices(const COvixLogDoc* document);
  // The device offer was answered some other way (the port was bound).
  void WithdrawDeviceOffer();

 signals:
  void layoutAccepted(FrameFormat layout);
  void deviceAccepted(const std::string& path);

 private:
  std::string deviceRoot_ = "/";
  DeviceWatch deviceWatch_;
  SerialDevice offeredDevice_;
  std::optional<FrameFormat> offeredLayout_;
  StatusOffer* layoutOffer_;
  StatusOffer* deviceOffer_;
};

}  // namespace ovixlog
