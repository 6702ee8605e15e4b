// The window's offers, each a message with one button that never acts by itself: another frame
// layout than the chosen one (from the live bytes or the shown capture's), another model whose
// columns the readings fill (or a warning that the readings are impossible), and a serial
// device that was plugged in while the port has none.
#pragma once

#include <QObject>

#include <optional>
#include <string>

#include "acquisition/content_hint.h"
#include "acquisition/layout_detector.h"
#include "acquisition/serial_devices.h"
#include "acquisition/serial_reader.h"


namespace ovixlog {

class COvixLogDoc;
class DocumentSignals;
class StateBanner;
class StatusOffer;

class OfferController : public QObject {
  Q_OBJECT

 public:
  // The offers are shown in `banner`, under its sentence.
  explicit OfferController(StateBanner* banner);

  StatusOffer* layoutOffer() const { return layoutOffer_; }
  StatusOffer* deviceOffer() const { return deviceOffer_; }
  StatusOffer* modelOffer() const { return modelOffer_; }

  // Judges every sample the document stores against its model; null forgets the document.
  void SetDocument(const COvixLogDoc* document, DocumentSignals* documentSignals);

  // Where the serial devices are looked up; the next poll learns afresh what is there.
  void SetDeviceRoot(const std::string& root);
  const std::string& deviceRoot() const { return deviceRoot_; }

  // Offers the layout the live bytes (from the reader) or the shown capture's bytes frame
  // cleanly while the document's choice does not, and the model the readings point to;
  // withdraws each offer once the choice fits.
  void RefreshLayoutOffer(const COvixLogDoc& document, const SerialStatus& status);
  // Looks for serial devices that appeared, and offers one while the document's port has no
  // device of its own; withdraws the offer when its device is gone.
  void PollDevices(const COvixLogDoc* document);
  // The device offer was answered some other way (the port was bound).
  void WithdrawDeviceOffer();

 signals:
  void layoutAccepted(FrameFormat layout);
  void deviceAccepted(const std::string& path);
  void modelAccepted(EngineModel model);
  // The readings are impossible and no layout frames the bytes better: the user must choose.
  void modelChoiceRequested();

 private:
  // The shown capture's layout counts, taken once per file shown.
  void JudgeShownFile(const COvixLogDoc& document);
  // Judges the stored samples from `first` on.
  void FeedHint(int first, int count);
  void RefreshModelOffer();

  std::string deviceRoot_ = "/";
  DeviceWatch deviceWatch_;
  SerialDevice offeredDevice_;
  std::optional<FrameFormat> offeredLayout_;
  StatusOffer* layoutOffer_;
  StatusOffer* deviceOffer_;
  StatusOffer* modelOffer_;
  const COvixLogDoc* document_ = nullptr;
  ContentHint hint_;
  std::optional<ContentSuggestion> offeredModel_;
  std::optional<LayoutCounter> fileCounts_;
  // The store generation whose shown file fileCounts_ counted.
  int32_t judgedGeneration_ = -1;
};

}  // namespace ovixlog
