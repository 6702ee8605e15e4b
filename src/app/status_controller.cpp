#include "app/status_controller.h"

#include <QFileInfo>
#include <QLabel>
#include <QStatusBar>
#include <QTime>

#include <optional>
#include <string>

#include "app/command_ids.h"
#include "acquisition/serial_devices.h"
#include "app/keyboard_locks.h"
#include "document/ovixlog_doc.h"
#include "recording/recording_catalog.h"

namespace ovixlog {
namespace {

QString Latin1(const std::string& text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// The port name without its colon: "COM1:" -> "COM1".
QString ShortPortName(const std::string& portName) {
  std::string name = portName;
  if (!name.empty() && name.back() == ':')
    name.pop_back();
  return Latin1(name);
}

QLabel* MakeIndicator(const char* text, QWidget* parent) {
  auto* label = new QLabel(QString::fromLatin1(text), parent);
  label->setAlignment(Qt::AlignCenter);
  label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  // Wide enough for the text in any state, so the panes never jump.
  label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("SCRL")) + 10);
  label->setEnabled(false);
  return label;
}

}  // namespace

QString PortPaneText(const SerialStatus& status, bool receiving) {
  if (status.portName.empty())
    return QStringLiteral("No port");
  const QString where = ShortPortName(status.portName) + QLatin1Char(' ') +
                        QString::fromLocal8Bit(status.devicePath) + QStringLiteral(" \u2014 ");
  if (!status.open) {
    if (!status.lastError.empty())
      return where + QString::fromLocal8Bit(status.lastError);
    return where + QStringLiteral("closed");
  }
  if (!receiving)
    return where + QStringLiteral("no data");
  const auto plural = [](uint64_t n, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(n).arg(QString::fromLatin1(n == 1 ? one : many));
  };
  return where + QStringLiteral("receiving ") + plural(status.framesAccepted, "frame", "frames") +
         QStringLiteral(", ") + QStringLiteral("%1 dropped").arg(status.framesDropped);
}

QString RecordingPaneText(const LiveRecorder::Status& status, bool reviewing) {
  QString text;
  if (!status.error.empty()) {
    text = QString::fromLocal8Bit(status.error);
  } else if (!status.enabled) {
    text = QStringLiteral("Recording off");
  } else if (status.recording && !status.name.empty()) {
    text = QStringLiteral("Recording %1 (%2)")
               .arg(QString::fromLocal8Bit(status.name),
                    QString::fromStdString(SizeText(status.size)));
  } else {
    text = QStringLiteral("Recording on");
  }
  if (reviewing)
    text = QStringLiteral("Live display paused (File > New shows live data) \u2014 ") + text;
  return text;
}

StatusController::StatusController(QStatusBar* bar, StateBanner* banner)
    : QObject(bar), bar_(bar), banner_(banner) {
  clock_.start();
  // A status tip hides the message pane while it is shown; "Ready" comes back afterwards.
  messagePane_ = new QLabel(Latin1(LoadString(kIdsIdleMessage)), bar);
  bar->addWidget(messagePane_, 1);
  recordingPane_ = new QLabel(bar);
  recordingPane_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  bar->addPermanentWidget(recordingPane_);
  portPane_ = new QLabel(bar);
  portPane_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  bar->addPermanentWidget(portPane_);
  capsPane_ = MakeIndicator("CAP", bar);
  numPane_ = MakeIndicator("NUM", bar);
  scrollPane_ = MakeIndicator("SCRL", bar);
  bar->addPermanentWidget(capsPane_);
  bar->addPermanentWidget(numPane_);
  bar->addPermanentWidget(scrollPane_);
}

void StatusController::ShowMessage(const QString& text) {
  messagePane_->setText(text);
}

void StatusController::Refresh(const COvixLogDoc* document, const SerialStatus& status,
                               const std::string& deviceRoot) {
  if (document != nullptr) {
    const std::string session = status.portName + status.devicePath;
    // A new reader (another port, File New) counts from zero again.
    if (session != session_ || status.framesAccepted < lastAccepted_) {
      session_ = session;
      lastAccepted_ = 0;
      sinceLastFrame_.invalidate();
      wasOpen_ = false;
      lastFrameTime_.clear();
      adapter_.clear();
      history_.clear();
    }
    if (status.framesAccepted > lastAccepted_) {
      sinceLastFrame_.start();
      lastFrameTime_ = QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
    }
    lastAccepted_ = status.framesAccepted;
    receiving_ = sinceLastFrame_.isValid() && sinceLastFrame_.elapsed() < kQuietAfterMs;
    const QString text = PortPaneText(status, receiving_);
    if (portPane_->text() != text)
      portPane_->setText(text);
    const LiveRecorder::Status recorder = document->recorder().status();
    const QString recording = RecordingPaneText(recorder, document->reviewing());
    if (recordingPane_->text() != recording)
      recordingPane_->setText(recording);
    // The recording is news only while bytes go into it, or when it failed.
    recordingPane_->setVisible(receiving_ || !recorder.error.empty() || document->reviewing());
    bannerState_ = BannerStateFor(*document, status, deviceRoot);
    if (banner_ != nullptr)
      banner_->Show(bannerState_);
  }
  const std::optional<KeyboardLocks> locks = QueryKeyboardLocks();
  capsPane_->setEnabled(locks && locks->caps);
  numPane_->setEnabled(locks && locks->num);
  scrollPane_->setEnabled(locks && locks->scroll);
}

BannerState StatusController::BannerStateFor(const COvixLogDoc& document,
                                             const SerialStatus& status,
                                             const std::string& deviceRoot) {
  using Link = BannerState::Link;
  BannerState state;
  const int64_t now = clock_.elapsed();
  history_.emplace_back(now, status.framesAccepted);
  while (history_.size() > 1 && now - history_.front().first > 2000)
    history_.pop_front();
  if (document.reviewing()) {
    state.link = Link::kShowingFile;
    const std::string& path = document.importedPath();
    state.file = path.empty() ? QStringLiteral("an imported file")
                              : QFileInfo(QString::fromLocal8Bit(path)).fileName();
    return state;
  }
  if (status.portName.empty() || status.devicePath.empty()) {
    state.link = Link::kNotConnected;
    return state;
  }
  if (!status.open) {
    state.link = wasOpen_ ? Link::kLost : Link::kNotConnected;
    return state;
  }
  if (!wasOpen_ || adapter_.isEmpty()) {
    // The adapter by what it says it is, and the name it keeps from plug to plug.
    const std::optional<SerialDevice> device =
        FindSerialDevice(ListSerialDevices(deviceRoot), status.devicePath);
    adapter_ = device ? QStringLiteral("%1 (%2)").arg(QString::fromStdString(device->Description()),
                                                      QString::fromLocal8Bit(device->node))
                      : QString::fromLocal8Bit(status.devicePath);
  }
  wasOpen_ = true;
  state.adapter = adapter_;
  if (receiving_) {
    state.link = Link::kReceiving;
    const int64_t span = now - history_.front().first;
    if (span >= 1000) {
      const uint64_t frames = status.framesAccepted - history_.front().second;
      state.framesPerSecond = static_cast<int>((frames * 1000 + static_cast<uint64_t>(span) / 2) /
                                               static_cast<uint64_t>(span));
    }
    const LiveRecorder::Status recorder = document.recorder().status();
    if (recorder.recording && !recorder.name.empty()) {
      state.recording = QStringLiteral("%1 (%2)").arg(QString::fromLocal8Bit(recorder.name),
                                                     QString::fromStdString(SizeText(recorder.size)));
    }
  } else if (!lastFrameTime_.isEmpty()) {
    state.link = Link::kQuiet;
    state.lastFrameTime = lastFrameTime_;
  } else {
    state.link = Link::kWaiting;
  }
  return state;
}

}  // namespace ovixlog
