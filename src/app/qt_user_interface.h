// The window's UserInterface: file dialogs, the save question and error boxes, all modal to the
// main window.
#pragma once

#include <QPointer>
#include <QWidget>

#include <optional>
#include <string>
#include <vector>

#include "framework/user_interface.h"

class QString;

namespace ovixlog {

class QtUserInterface : public UserInterface {
 public:
  // The window the dialogs are modal to; may be null.
  void SetParent(QWidget* parent) { parent_ = parent; }

  std::optional<std::string> ChooseOpenFile(const std::string& title,
                                            const std::string& filter) override;
  std::optional<std::string> ChooseSaveFile(const std::string& suggestedName) override;
  // Yes, No and Cancel, Yes the default.
  SaveAnswer AskSaveChanges(const std::string& text) override;
  // The critical (stop) icon and an OK button; the text goes to stderr as well.
  void ShowError(const std::string& caption, const std::string& text) override;
  // Yes and No, Yes the default.
  bool AskYesNo(const std::string& caption, const std::string& text) override;
  // A table with one row selected at a time; OK or a double click takes it.
  std::optional<size_t> ChooseFromList(const std::string& title,
                                       const std::vector<std::string>& columns,
                                       const std::vector<std::vector<std::string>>& rows) override;
  // In the main window's status bar; nothing without a main window.
  void ShowStatus(const std::string& text) override;

 private:
  QPointer<QWidget> parent_;
};

// Turns a "Name (*.ext)|*.ext|Other (*.a;*.b)|*.a;*.b||" filter into Qt's
// "Name (*.ext);;Other (*.a *.b)". A description that lacks its patterns in parentheses gets them.
QString QtFileFilter(const std::string& filter);

// Paths cross between Qt and the core in the local 8-bit encoding of file names.
std::string LocalPath(const QString& path);
QString FromLocalPath(const std::string& path);

}  // namespace ovixlog
