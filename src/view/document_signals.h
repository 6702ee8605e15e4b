// The one seam between the document and the widgets: a QObject attached to the document as its
// view that turns the document's notifications into Qt signals on the user-interface thread.
// The table, the charts and any other pane connect to these signals instead of to the document.
#pragma once

#include <QObject>

#include <atomic>
#include <cstdint>

#include "framework/view.h"

namespace ovixlog {

class COvixLogDoc;

class DocumentSignals : public QObject, public View {
  Q_OBJECT

 public:
  explicit DocumentSignals(QObject* parent = nullptr);
  ~DocumentSignals() override;

  // The document whose notifications are turned into signals; null detaches (a pending update
  // then emits nothing). The caller also adds this object to the document as a view.
  void SetDocument(COvixLogDoc* document);
  COvixLogDoc* document() const { return document_; }

  void OnInitialUpdate() override;
  // User-interface thread: compares the document with what was last reported and emits
  // contentsReset, settingsChanged and samplesAppended as they apply, then documentChanged.
  void OnUpdate(View* sender, long hint) override;
  // Any thread, never blocks: the first notification since the last update posts one update to
  // the user-interface thread; the ones after it, until that update runs, post nothing.
  void SampleAdded() override;

  // The sample count and settings as last reported.
  int knownSampleCount() const { return knownCount_; }
  // How many updates SampleAdded has posted so far.
  int64_t postedUpdates() const { return postedUpdates_.load(); }

 signals:
  // The store was emptied (a new document, an import starting over); every earlier sample
  // index is void. Comes before the samplesAppended of whatever the new contents hold.
  void contentsReset();
  // The model, the frame format, the row order, the system-time column or "keep all" changed.
  void settingsChanged();
  // Samples `first` .. `count` - 1 (oldest first) are new since the last report.
  void samplesAppended(int first, int count);
  // After every update of the document, whatever changed: a repaint is due.
  void documentChanged();

 private:
  struct Settings {
    int32_t model = 0;
    int32_t altFrameFormat = 0;
    int32_t oldestFirst = 0;
    int32_t showSystemTime = 0;
    int32_t keepAllSamples = 0;
    friend bool operator==(const Settings&, const Settings&) = default;
  };
  Settings ReadSettings() const;

  COvixLogDoc* document_ = nullptr;
  int knownCount_ = 0;
  int32_t knownGeneration_ = 0;
  Settings knownSettings_;

  // User-interface thread: the update that SampleAdded posted.
  Q_INVOKABLE void UpdateForNewSamples();

  // Set by SampleAdded (any thread) when it posts an update, cleared on the user-interface
  // thread just before that update runs, so a sample stored during the update posts again.
  std::atomic<bool> updatePending_{false};
  std::atomic<int64_t> postedUpdates_{0};
};

}  // namespace ovixlog
