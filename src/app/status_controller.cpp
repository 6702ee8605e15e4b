#include "app/status_controller.h"

#include <QLabel>
#include <QStatusBar>

#include <optional>
#include <string>

#include "app/command_ids.h"
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

StatusController::StatusController(QStatusBar* bar) : QObject(bar), bar_(bar) {
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

void StatusController::Refresh(const COvixLogDoc* document, const SerialStatus& status) {
  if (document != nullptr) {
    if (status.framesAccepted > lastAccepted_)
      sinceLastFrame_.start();
    lastAccepted_ = status.framesAccepted;
    receiving_ = sinceLastFrame_.isValid() && sinceLastFrame_.elapsed() < kQuietAfterMs;
    const QString text = PortPaneText(status, receiving_);
    if (portPane_->text() != text)
      portPane_->setText(text);
    const QString recording =
        RecordingPaneText(document->recorder().status(), document->reviewing());
    if (recordingPane_->text() != recording)
      recordingPane_->setText(recording);
  }
  const std::optional<KeyboardLocks> locks = QueryKeyboardLocks();
  capsPane_->setEnabled(locks && locks->caps);
  numPane_->setEnabled(locks && locks->num);
  scrollPane_->setEnabled(locks && locks->scroll);
}

}  // namespace ovixlog
