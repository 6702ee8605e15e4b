// A message in the status bar with one button that acts on it: "These frames look like Model
// 3100 (48-byte frames) [Switch]". Hidden until offered; it never acts by itself.
#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace ovixlog {

class StatusOffer : public QWidget {
  Q_OBJECT

 public:
  explicit StatusOffer(QWidget* parent = nullptr);

  // Shows `text` with a button reading `action`; an offer already shown is replaced.
  void Offer(const QString& text, const QString& action);
  void Withdraw();
  bool offered() const { return !isHidden(); }

  QLabel* label() const { return label_; }
  QPushButton* button() const { return button_; }

 signals:
  // The button was clicked; the offer is withdrawn first.
  void accepted();

 private:
  QLabel* label_;
  QPushButton* button_;
};

}  // namespace ovixlog
