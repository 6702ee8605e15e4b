// Options > Limits...: edits the engine limits in a form (min and max per column with its
// unit, and per-cylinder overrides of the CHT and EGT limits), or the limits file itself as
// text in an advanced view; checks every line before it is saved, and hands the new limits
// back.
#pragma once

#include <QDialog>

#include <optional>
#include <string>
#include <vector>

#include "analysis/limits.h"

class QLabel;
class QPlainTextEdit;
class QTabWidget;
class QTableWidget;
class QTableWidgetItem;

namespace ovixlog {

class LimitsDialog : public QDialog {
  Q_OBJECT

 public:
  // Shows the file at `path`, or the defaults when there is none.
  explicit LimitsDialog(const std::string& path, QWidget* parent = nullptr);

  QPlainTextEdit* editor() const { return editor_; }
  QTableWidget* form() const { return form_; }
  QTabWidget* tabs() const { return tabs_; }
  QLabel* message() const { return message_; }
  // The form's rows, top to bottom: a column or group title as the file names it ("CHT",
  // "CHT3", "OilP").
  static const std::vector<std::string>& FormKeys();
  // The form's cell for `key` and `kind`, or null.
  QTableWidgetItem* Cell(const std::string& key, LimitKind kind) const;
  // The limits saved by the last accepted edit.
  const Limits& limits() const { return limits_; }

  // Checks and saves the text; on success the dialog closes. A bad line or a failed write is
  // shown in the dialog, which stays open.
  void accept() override;

 private:
  // The form from limits, and limits from the form (an empty cell is no limit; a cell that is
  // not a number is an error naming it).
  void FillForm(const Limits& limits);
  std::optional<Limits> FromForm(std::string& error) const;
  // Brings the view being left up to date in the other one; false (staying) on an error.
  bool Synchronise(int leaving);

  std::string path_;
  QTabWidget* tabs_;
  QTableWidget* form_;
  QPlainTextEdit* editor_;
  QLabel* message_;
  // Which view the user changed last: the one saved.
  bool formEdited_ = false;
  bool filling_ = false;
  int shownTab_ = 0;
  Limits limits_ = Limits::Defaults();
};

// The text the editor starts with when there is no limits file yet.
std::string DefaultLimitsText();

}  // namespace ovixlog
