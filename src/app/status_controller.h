// The status bar: the message pane, the recording and port panes and the keyboard lock
// indicators, refreshed from the document a few times a second.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <cstdint>
#include <deque>
#include <string>
#include <utility>

#include "app/state_banner.h"

#include "acquisition/serial_reader.h"
#include "recording/live_recorder.h"

class QLabel;
class QStatusBar;

namespace ovixlog {

class COvixLogDoc;

// The port pane's text: "COM1 /dev/ttyS0 — receiving 12 frames, 0 dropped", "... — no data",
// or the reason the device is not open. `receiving` says whether frames arrived lately.
QString PortPaneText(const SerialStatus& status, bool receiving);

// The recording pane's text: "Recording <name> (12.3 kB)", "Recording off", the reason the
// recording stopped, with "Live display paused" in front while an imported file is shown.
QString RecordingPaneText(const LiveRecorder::Status& status, bool reviewing);

class StatusController : public QObject {
  Q_OBJECT

 public:
  // Frames must have arrived within this time for the port to count as receiving.
  static constexpr int kQuietAfterMs = 2000;

  // Fills `bar` with its panes; `banner`, when given, is kept saying what the window does.
  explicit StatusController(QStatusBar* bar, StateBanner* banner = nullptr);

  QLabel* messagePane() const { return messagePane_; }
  QLabel* capsPane() const { return capsPane_; }
  QLabel* numPane() const { return numPane_; }
  QLabel* scrollPane() const { return scrollPane_; }
  QLabel* portPane() const { return portPane_; }
  QLabel* recordingPane() const { return recordingPane_; }
  // Where the offers go: after the message pane, before the permanent panes.
  QStatusBar* bar() const { return bar_; }

  // Shows a report in the message pane until the next one or a new log.
  void ShowMessage(const QString& text);
  // The port and recording panes and the banner from `status` and the document's recorder
  // (adapters are looked up under `deviceRoot`); the lock panes from the keyboard. Without a
  // document only the lock panes change.
  void Refresh(const COvixLogDoc* document, const SerialStatus& status,
               const std::string& deviceRoot = "/");
  // Whether frames were accepted within the last kQuietAfterMs, as of the last Refresh.
  bool receiving() const { return receiving_; }
  // What the banner says, as of the last Refresh.
  const BannerState& bannerState() const { return bannerState_; }

 private:
  QStatusBar* bar_;
  QLabel* messagePane_ = nullptr;
  QLabel* capsPane_ = nullptr;
  QLabel* numPane_ = nullptr;
  QLabel* scrollPane_ = nullptr;
  QLabel* portPane_ = nullptr;
  QLabel* recordingPane_ = nullptr;
  BannerState BannerStateFor(const COvixLogDoc& document, const SerialStatus& status,
                             const std::string& deviceRoot);

  StateBanner* banner_;
  BannerState bannerState_;
  // The accepted-frame count at the last refresh, and the time since it last grew.
  uint64_t lastAccepted_ = 0;
  QElapsedTimer sinceLastFrame_;
  bool receiving_ = false;
  // The reader the counts below belong to ("COM1:/dev/ttyUSB0"); a new one starts afresh.
  std::string session_;
  bool wasOpen_ = false;
  QString lastFrameTime_;
  QString adapter_;
  // (ms on clock_, frames accepted) over the last two seconds, for the rate.
  QElapsedTimer clock_;
  std::deque<std::pair<int64_t, uint64_t>> history_;
};

}  // namespace ovixlog
