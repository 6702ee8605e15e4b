#include "app/offer_controller.h"

#include <QStatusBar>

#include <vector>

#include "acquisition/port_bindings.h"
#include "app/status_offer.h"
#include "document/ovixlog_doc.h"

namespace ovixlog {

OfferController::OfferController(QStatusBar* bar)
    : QObject(bar), layoutOffer_(new StatusOffer(bar)), deviceOffer_(new StatusOffer(bar)) {
  bar->addWidget(layoutOffer_);
  bar->addWidget(deviceOffer_);
  layoutOffer_->hide();
  deviceOffer_->hide();
  connect(layoutOffer_, &StatusOffer::accepted, this, [this] {
    if (offeredLayout_)
      emit layoutAccepted(*offeredLayout_);
  });
  connect(deviceOffer_, &StatusOffer::accepted, this,
          [this] { emit deviceAccepted(offeredDevice_.path); });
}

void OfferController::SetDeviceRoot(const std::string& root) {
  deviceRoot_ = root;
  deviceWatch_ = DeviceWatch{};
}

void OfferController::RefreshLayoutOffer(const COvixLogDoc& document, const SerialStatus& status) {
  const FrameFormat chosen = LayoutOf(document.model.load(), document.altFrameFormat.load());
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

void OfferController::PollDevices(const COvixLogDoc* document) {
  const std::vector<SerialDevice> devices = ListSerialDevices(deviceRoot_);
  const std::optional<SerialDevice> appeared = deviceWatch_.Poll(devices);
  if (deviceOffer_->offered() && !deviceWatch_.Present(offeredDevice_.node))
    deviceOffer_->Withdraw();
  if (!appeared || document == nullptr)
    return;
  // Offered only while the port has no device of its own: a bound port waits for its device.
  const int port = document->commPort.load();
  if (!BoundDevice(port).empty() || PortHasEnvironmentDevice(port))
    return;
  offeredDevice_ = *appeared;
  deviceOffer_->Offer(QStringLiteral("USB serial adapter connected: %1")
                          .arg(QString::fromLocal8Bit(appeared->node)),
                      QStringLiteral("Use for COM%1").arg(port));
}

void OfferController::WithdrawDeviceOffer() {
  deviceOffer_->Withdraw();
}

}  // namespace ovixlog
