#include "app/state_banner.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/status_offer.h"

namespace ovixlog {

namespace {
const QString kDash = QStringLiteral(" \u2014 ");
}  // namespace

QString BannerText(const BannerState& state) {
  using Link = BannerState::Link;
  switch (state.link) {
    case Link::kNotConnected:
      return QStringLiteral("Not connected") + kDash + QStringLiteral("Connect Monitor...");
    case Link::kLost:
      return QStringLiteral("Device lost") + kDash + QStringLiteral("waiting for it to come back");
    case Link::kWaiting:
      return QStringLiteral("Connected to %1").arg(state.adapter) + kDash +
             QStringLiteral("no data yet; is the monitor on?");
    case Link::kQuiet:
      return QStringLiteral("No data since %1").arg(state.lastFrameTime) + kDash +
             QStringLiteral("from %1").arg(state.adapter);
    case Link::kReceiving: {
      QString text = QStringLiteral("Receiving from %1").arg(state.adapter);
      // No rate until a second of frames has been seen.
      if (state.framesPerSecond > 0)
        text += kDash + QStringLiteral("%1 frames/s").arg(state.framesPerSecond);
      if (!state.recording.isEmpty())
        text += kDash + QStringLiteral("recording %1").arg(state.recording);
      return text;
    }
    case Link::kShowingFile:
      return QStringLiteral("Showing %1").arg(state.file) + kDash +
             QStringLiteral("live data paused (File > New returns to live data)");
  }
  return QString();
}

StateBanner::StateBanner(QWidget* parent)
    : QFrame(parent),
      label_(new QLabel(this)),
      note_(new QLabel(this)),
      offers_(new QVBoxLayout) {
  setObjectName(QStringLiteral("stateBanner"));
  setFrameStyle(QFrame::StyledPanel | QFrame::Plain);
  setAutoFillBackground(true);
  QPalette colours = palette();
  colours.setColor(QPalette::Window, colours.color(QPalette::AlternateBase));
  setPalette(colours);
  // Whole sentences: a narrow window makes the banner taller, never the text shorter.
  label_->setWordWrap(true);
  label_->setTextFormat(Qt::RichText);
  label_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  QFont bold = label_->font();
  bold.setBold(true);
  label_->setFont(bold);
  connect(label_, &QLabel::linkActivated, this, &StateBanner::connectRequested);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 4, 6, 4);
  layout->setSpacing(2);
  layout->addWidget(label_);
  note_->setWordWrap(true);
  note_->setTextFormat(Qt::PlainText);
  note_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  note_->hide();
  layout->addWidget(note_);
  offers_->setSpacing(2);
  layout->addLayout(offers_);
  Show(state_);
}

void StateBanner::Show(const BannerState& state) {
  state_ = state;
  QString text = BannerText(state).toHtmlEscaped();
  // The way to connect is a link in the sentence itself.
  const QString connectText = QStringLiteral("Connect Monitor...");
  if (state.link == BannerState::Link::kNotConnected) {
    text.replace(connectText,
                 QStringLiteral("<a href=\"connect\">%1</a>").arg(connectText));
  }
  if (label_->text() != text)
    label_->setText(text);
}

void StateBanner::SetNote(const QString& text) {
  if (note_->text() != text)
    note_->setText(text);
  note_->setVisible(!text.isEmpty());
}

void StateBanner::AddOffer(StatusOffer* offer) {
  offer->label()->setWordWrap(true);
  offer->button()->setFlat(false);
  // The sentence takes the width; the button keeps its own.
  offer->button()->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  if (auto* row = qobject_cast<QBoxLayout*>(offer->layout()))
    row->setStretch(0, 1);
  offers_->addWidget(offer);
}

}  // namespace ovixlog
