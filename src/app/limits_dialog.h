// Options > Limits...: edits the engine limits file as text, checks every line before it is
// saved, and hands the new limits back.
#pragma once

#include <QDialog>

#include <string>

#include "analysis/limits.h"

class QLabel;
class QPlainTextEdit;

namespace ovixlog {

class LimitsDialog : public QDialog {
  Q_OBJECT

 public:
  // Shows the file at `path`, or the defaults when there is none.
  explicit LimitsDialog(const std::string& path, QWidget* parent = nullptr);

  QPlainTextEdit* editor() const { return editor_; }
  QLabel* message() const { return message_; }
  // The limits saved by the last accepted edit.
  const Limits& limits() const { return limits_; }

  // Checks and saves the text; on success the dialog closes. A bad line or a failed write is
  // shown in the dialog, which stays open.
  void accept() override;

 private:
  std::string path_;
  QPlainTextEdit* editor_;
  QLabel* message_;
  Limits limits_ = Limits::Defaults();
};

// The text the editor starts with when there is no limits file yet.
std::string DefaultLimitsText();

}  // namespace ovixlog
