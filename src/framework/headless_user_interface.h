// The user interface of the batch converter: it never asks. Save dialogs are cancelled, the
// question whether to save is answered No, the open dialog returns a path set in advance, and
// errors and status reports are written as plain lines to a stream (stderr unless told
// otherwise).
#pragma once

#include <iostream>
#include <optional>
#include <ostream>
#include <string>

#include "framework/user_interface.h"

namespace ovixlog {

class HeadlessUserInterface : public UserInterface {
 public:
  explicit HeadlessUserInterface(std::ostream& errors = std::cerr) : errors_(errors) {}

  // The path every later open dialog returns; an empty path makes it return nothing.
  void SetOpenPath(const std::string& path) { openPath_ = path; }

  std::optional<std::string> ChooseOpenFile(const std::string& title,
                                            const std::string& filter) override;
  std::optional<std::string> ChooseSaveFile(const std::string& suggestedName) override;
  SaveAnswer AskSaveChanges(const std::string& text) override;
  // Writes `text` and a newline; the caption only titles a window, so it is left out.
  void ShowError(const std::string& caption, const std::string& text) override;
  // Writes `text` and a newline to the same stream as the errors.
  void ShowStatus(const std::string& text) override;

 private:
  std::ostream& errors_;
  std::string openPath_;
};

}  // namespace ovixlog
