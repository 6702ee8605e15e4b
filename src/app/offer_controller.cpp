#include "app/offer_controller.h"


#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "acquisition/port_bindings.h"
#include "app/state_banner.h"
#include "app/status_offer.h"
#include "document/ovixlog_doc.h"
#include "view/document_signals.h"

namespace ovixlog {

OfferController::OfferController(StateBanner* banner)
    : QObject(banner),
      layoutOffer_(new StatusOffer(banner)),
      deviceOffer_(new StatusOffer(banner)),
      modelOffer_(new StatusOffer(banner)) {
  for (StatusOffer* offer : {layoutOffer_, modelOffer_, deviceOffer_}) {
    banner->AddOffer(offer);
    // A layout shows what it is given; an offer waits until it is made.
    offer->hide();
  }
  connect(modelOffer_, &StatusOffer::accepted, this, [this] {
    if (!offeredModel_)
      return;
    if (offeredModel_->kind == ContentSuggestion::Kind::kOtherModel)
      emit modelAccepted(offeredModel_->model);
    else
      emit modelChoiceRequested();
  });
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

void OfferController::SetDocument(const COvixLogDoc* document, DocumentSignals* documentSignals) {
  if (document_ != nullptr && documentSignals != nullptr)
    disconnect(documentSignals, nullptr, this, nullptr);
  document_ = document;
  offeredModel_.reset();
  modelOffer_->Withdraw();
  if (document_ == nullptr || documentSignals == nullptr)
    return;
  hint_.Reset(document_->model.load());
  FeedHint(0, document_->SampleCount());
  connect(documentSignals, &DocumentSignals::contentsReset, this, [this] {
    if (document_ != nullptr)
      hint_.Reset(document_->model.load());
  });
  connect(documentSignals, &DocumentSignals::samplesAppended, this,
          [this](int first, int count) { FeedHint(first, count); });
  // The verdict is about the chosen model: a new choice judges every stored sample again.
  connect(documentSignals, &DocumentSignals::settingsChanged, this, [this] {
    if (document_ == nullptr || hint_.chosen() == document_->model.load())
      return;
    hint_.Reset(document_->model.load());
    FeedHint(0, document_->SampleCount());
  });
}

void OfferController::FeedHint(int first, int count) {
  if (document_ == nullptr)
    return;
  std::vector<const EngineSample*> samples;
  constexpr int kChunk = 4096;
  for (int at = first; at < first + count; at += kChunk) {
    samples.clear();
    const int got = document_->GetSamples(at, std::min(kChunk, first + count - at), samples);
    for (int i = 0; i < got; ++i)
      hint_.Add(*samples[static_cast<size_t>(i)]);
    if (got == 0)
      break;
  }
}

void OfferController::JudgeShownFile(const COvixLogDoc& document) {
  if (judgedGeneration_ == document.ContentsGeneration())
    return;
  judgedGeneration_ = document.ContentsGeneration();
  fileCounts_.reset();
  // A demo log says its model and format in its own records; a raw capture says nothing.
  const std::string& path = document.importedPath();
  if (path.empty() || document.importedDemoLog())
    return;
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
    return;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr)
    return;
  LayoutCounter counter;
  std::vector<uint8_t> block(1 << 16);
  size_t n = 0;
  while ((n = std::fread(block.data(), 1, block.size(), file)) > 0)
    counter.Feed(block.data(), n);
  std::fclose(file);
  fileCounts_ = counter;
}

void OfferController::RefreshLayoutOffer(const COvixLogDoc& document, const SerialStatus& status) {
  const FrameFormat chosen = LayoutOf(document.model.load(), document.altFrameFormat.load());
  std::optional<FrameFormat> better;
  if (document.reviewing()) {
    JudgeShownFile(document);
    if (fileCounts_)
      better = SuggestLayoutForFile(*fileCounts_, chosen);
  } else if (status.open && status.suggestedLayout && *status.suggestedLayout != chosen) {
    // The reader's snapshot may still speak of the layout just switched from.
    better = status.suggestedLayout;
  }
  if (!better) {
    offeredLayout_.reset();
    layoutOffer_->Withdraw();
  } else {
    offeredLayout_ = better;
    layoutOffer_->Offer(QStringLiteral("These frames look like ") +
                            QString::fromLatin1(LayoutDescription(*offeredLayout_)),
                        QStringLiteral("Switch"));
  }
  RefreshModelOffer();
}

void OfferController::RefreshModelOffer() {
  const bool judged = document_ != nullptr && hint_.chosen() == document_->model.load();
  const std::optional<ContentSuggestion> suggestion =
      judged ? hint_.Suggestion() : std::optional<ContentSuggestion>();
  // Impossible readings with a layout on offer: that offer says what to do about them.
  const bool shown =
      suggestion.has_value() &&
      !(suggestion->kind == ContentSuggestion::Kind::kImplausible && layoutOffer_->offered());
  if (!shown) {
    offeredModel_.reset();
    modelOffer_->Withdraw();
    return;
  }
  offeredModel_.emplace(*suggestion);
  const QString text = QString::fromStdString(suggestion->Text(hint_.chosen()));
  if (suggestion->kind == ContentSuggestion::Kind::kOtherModel)
    modelOffer_->Offer(text, QStringLiteral("Switch to %1").arg(ModelNumber(suggestion->model)));
  else
    modelOffer_->Offer(text, QStringLiteral("Choose Model..."));
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
