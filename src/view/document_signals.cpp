#include "view/document_signals.h"

#include "document/ovixlog_doc.h"

namespace ovixlog {

DocumentSignals::DocumentSignals(QObject* parent) : QObject(parent) {}

DocumentSignals::~DocumentSignals() = default;

void DocumentSignals::SetDocument(COvixLogDoc* document) {
  document_ = document;
  knownCount_ = 0;
  knownGeneration_ = document_ != nullptr ? document_->ContentsGeneration() : 0;
  knownSettings_ = ReadSettings();
}

DocumentSignals::Settings DocumentSignals::ReadSettings() const {
  if (document_ == nullptr)
    return Settings{};
  return Settings{document_->model.load(), document_->altFrameFormat.load(),
                  document_->oldestFirst.load(), document_->showSystemTime.load(),
                  document_->keepAllSamples.load()};
}

void DocumentSignals::OnInitialUpdate() {
  OnUpdate(nullptr, 0);
}

void DocumentSignals::OnUpdate(View* sender, long hint) {
  (void)sender;
  (void)hint;
  if (document_ != nullptr) {
    const int32_t generation = document_->ContentsGeneration();
    const int count = document_->SampleCount();
    // A store emptied and refilled between two updates has a new generation even when it holds
    // as many samples as before.
    if (generation != knownGeneration_ || count < knownCount_) {
      knownGeneration_ = generation;
      knownCount_ = 0;
      emit contentsReset();
    }
    const Settings settings = ReadSettings();
    if (!(settings == knownSettings_)) {
      knownSettings_ = settings;
      emit settingsChanged();
    }
    if (count > knownCount_) {
      const int first = knownCount_;
      knownCount_ = count;
      emit samplesAppended(first, count);
    }
  }
  emit documentChanged();
}

void DocumentSignals::SampleAdded() {
  if (updatePending_.exchange(true, std::memory_order_acq_rel))
    return;
  postedUpdates_.fetch_add(1, std::memory_order_relaxed);
  // Queued by name, so the call event is made and freed inside QtCore. A functor would be
  // allocated here, on the reading thread, and freed on the user-interface thread after a
  // hand-off through Qt's event queue, whose locking ThreadSanitizer cannot see: every sample
  // notification would read as a race.
  QMetaObject::invokeMethod(this, "UpdateForNewSamples", Qt::QueuedConnection);
}

void DocumentSignals::UpdateForNewSamples() {
  updatePending_.store(false, std::memory_order_release);
  if (document_ != nullptr)
    document_->UpdateAllViews(nullptr);
}

}  // namespace ovixlog
