#include "app/status_offer.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace ovixlog {

StatusOffer::StatusOffer(QWidget* parent)
    : QWidget(parent), label_(new QLabel(this)), button_(new QPushButton(this)) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(label_);
  layout->addWidget(button_);
  // Flat and small, so the status bar keeps its height.
  button_->setFlat(true);
  button_->setAutoDefault(false);
  button_->setFocusPolicy(Qt::NoFocus);
  connect(button_, &QPushButton::clicked, this, [this] {
    Withdraw();
    emit accepted();
  });
  hide();
}

void StatusOffer::Offer(const QString& text, const QString& action) {
  if (label_->text() != text)
    label_->setText(text);
  if (button_->text() != action)
    button_->setText(action);
  show();
}

void StatusOffer::Withdraw() {
  hide();
}

}  // namespace ovixlog
