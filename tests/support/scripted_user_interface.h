// A UserInterface for tests: it gives queued answers and records every call, so a test can
// assert the exact captions, questions and texts the code under test produced.
#pragma once

#include <deque>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "framework/user_interface.h"

namespace ovixlog::test {

class ScriptedUserInterface : public UserInterface {
 public:
  enum class CallKind {
    kChooseOpenFile,
    kChooseSaveFile,
    kAskSaveChanges,
    kShowError,
    kAskYesNo,
    kChooseFromList
  };

  // One recorded call. `title` is the dialog title of an open dialog or the caption of an
  // error, empty otherwise; `text` is the open filter, the suggested save name, the question,
  // or the error text. A list's call has its title and its rows, cells joined by " | " and rows
  // by newlines.
  struct Call {
    CallKind kind;
    std::string title;
    std::string text;
    bool operator==(const Call&) const = default;
  };

  struct Message {
    std::string caption;
    std::string text;
    bool operator==(const Message&) const = default;
  };

  // Answers, used in order. A queued nothing cancels that one dialog. With its queue empty an
  // open or save dialog is cancelled and the save question answered Cancel.
  void QueueOpenPath(std::optional<std::string> path) { openPaths_.push_back(std::move(path)); }
  void QueueSavePath(std::optional<std::string> path) { savePaths_.push_back(std::move(path)); }
  void QueueSaveAnswer(SaveAnswer answer) { saveAnswers_.push_back(answer); }
  // With the queue empty a Yes/No question is answered No and a list cancelled.
  void QueueYesNo(bool yes) { yesNoAnswers_.push_back(yes); }
  void QueueListChoice(std::optional<size_t> row) { listChoices_.push_back(row); }

  std::optional<std::string> ChooseOpenFile(const std::string& title,
                                            const std::string& filter) override;
  std::optional<std::string> ChooseSaveFile(const std::string& suggestedName) override;
  SaveAnswer AskSaveChanges(const std::string& text) override;
  void ShowError(const std::string& caption, const std::string& text) override;
  bool AskYesNo(const std::string& caption, const std::string& text) override;
  std::optional<size_t> ChooseFromList(const std::string& title,
                                       const std::vector<std::string>& columns,
                                       const std::vector<std::vector<std::string>>& rows) override;
  // Status reports are kept apart from the calls: they ask nothing and block nothing.
  void ShowStatus(const std::string& text) override { statuses_.push_back(text); }
  const std::vector<std::string>& statuses() const { return statuses_; }

  const std::vector<Call>& calls() const { return calls_; }
  // The errors shown, in order.
  std::vector<Message> errors() const;
  // The save questions asked, in order.
  std::vector<std::string> questions() const;
  // The names proposed by save dialogs, in order.
  std::vector<std::string> saveSuggestions() const;
  void ClearCalls() { calls_.clear(); }

 private:
  std::vector<std::string> TextsOf(CallKind kind) const;

  std::deque<std::optional<std::string>> openPaths_;
  std::deque<std::optional<std::string>> savePaths_;
  std::deque<SaveAnswer> saveAnswers_;
  std::deque<bool> yesNoAnswers_;
  std::deque<std::optional<size_t>> listChoices_;
  std::vector<Call> calls_;
  std::vector<std::string> statuses_;
};

// Readable failure output for gtest.
void PrintTo(const ScriptedUserInterface::Call& call, std::ostream* os);
void PrintTo(const ScriptedUserInterface::Message& message, std::ostream* os);

}  // namespace ovixlog::test
