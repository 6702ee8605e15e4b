// The one way the document and the application ask the user things or tell them about failures.
// The window shows dialogs and message boxes; the converter writes to stderr and never asks;
// tests script the answers and record every call.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace ovixlog {

enum class SaveAnswer { kYes, kNo, kCancel };

class UserInterface {
 public:
  virtual ~UserInterface() = default;

  // An open-file dialog. `filter` uses the "Name (*.ext)|*.ext||" form. Returns the chosen path,
  // or nothing when the user cancelled.
  virtual std::optional<std::string> ChooseOpenFile(const std::string& title,
                                                    const std::string& filter) = 0;

  // A save-file dialog proposing `suggestedName`. Returns the chosen path, or nothing.
  virtual std::optional<std::string> ChooseSaveFile(const std::string& suggestedName) = 0;

  // A Yes/No/Cancel question whether to save the changes, e.g. "Save changes to Untitled?".
  virtual SaveAnswer AskSaveChanges(const std::string& text) = 0;

  // A modal error box with the stop icon and an OK button.
  virtual void ShowError(const std::string& caption, const std::string& text) = 0;

  // A Yes/No question. Without anyone to ask, the answer is No.
  virtual bool AskYesNo(const std::string& caption, const std::string& text) {
    (void)caption;
    (void)text;
    return false;
  }

  // What ChooseFromList returns when the user asked to pick a file elsewhere instead.
  static constexpr size_t kBrowse = static_cast<size_t>(-1);

  // A list to pick one row from, with column titles. Returns the chosen row's index, kBrowse
  // when the user chose to look elsewhere, or nothing when the user cancelled (or nobody can be
  // asked).
  virtual std::optional<size_t> ChooseFromList(const std::string& title,
                                               const std::vector<std::string>& columns,
                                               const std::vector<std::vector<std::string>>& rows) {
    (void)title;
    (void)columns;
    (void)rows;
    return std::nullopt;
  }

  // A one-line report that needs no answer, such as what an import read ("Imported 40 frames
  // from flight.bin"). The window shows it in its status bar; the converter prints it.
  virtual void ShowStatus(const std::string& text) { (void)text; }
};

}  // namespace ovixlog
