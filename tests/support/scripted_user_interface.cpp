#include "support/scripted_user_interface.h"

namespace ovixlog::test {
namespace {

template <typename T>
std::optional<T> TakeFront(std::deque<T>& queue) {
  if (queue.empty())
    return std::nullopt;
  T value = std::move(queue.front());
  queue.pop_front();
  return value;
}

const char* KindName(ScriptedUserInterface::CallKind kind) {
  switch (kind) {
    case ScriptedUserInterface::CallKind::kChooseOpenFile:
      return "ChooseOpenFile";
    case ScriptedUserInterface::CallKind::kChooseSaveFile:
      return "ChooseSaveFile";
    case ScriptedUserInterface::CallKind::kAskSaveChanges:
      return "AskSaveChanges";
    case ScriptedUserInterface::CallKind::kShowError:
      return "ShowError";
    case ScriptedUserInterface::CallKind::kAskYesNo:
      return "AskYesNo";
    case ScriptedUserInterface::CallKind::kChooseFromList:
      return "ChooseFromList";
  }
  return "?";
}

}  // namespace

std::optional<std::string> ScriptedUserInterface::ChooseOpenFile(const std::string& title,
                                                                 const std::string& filter) {
  calls_.push_back({CallKind::kChooseOpenFile, title, filter});
  return TakeFront(openPaths_).value_or(std::nullopt);
}

std::optional<std::string> ScriptedUserInterface::ChooseSaveFile(const std::string& suggestedName) {
  calls_.push_back({CallKind::kChooseSaveFile, std::string(), suggestedName});
  return TakeFront(savePaths_).value_or(std::nullopt);
}

SaveAnswer ScriptedUserInterface::AskSaveChanges(const std::string& text) {
  calls_.push_back({CallKind::kAskSaveChanges, std::string(), text});
  return TakeFront(saveAnswers_).value_or(SaveAnswer::kCancel);
}

void ScriptedUserInterface::ShowError(const std::string& caption, const std::string& text) {
  calls_.push_back({CallKind::kShowError, caption, text});
}

bool ScriptedUserInterface::AskYesNo(const std::string& caption, const std::string& text) {
  calls_.push_back({CallKind::kAskYesNo, caption, text});
  return TakeFront(yesNoAnswers_).value_or(false);
}

std::optional<size_t> ScriptedUserInterface::ChooseFromList(
    const std::string& title, const std::vector<std::string>& columns,
    const std::vector<std::vector<std::string>>& rows) {
  (void)columns;
  std::string text;
  for (const std::vector<std::string>& row : rows) {
    for (size_t i = 0; i < row.size(); ++i)
      text += (i == 0 ? "" : " | ") + row[i];
    text += '\n';
  }
  calls_.push_back({CallKind::kChooseFromList, title, text});
  return TakeFront(listChoices_).value_or(std::nullopt);
}

std::vector<ScriptedUserInterface::Message> ScriptedUserInterface::errors() const {
  std::vector<Message> result;
  for (const Call& call : calls_) {
    if (call.kind == CallKind::kShowError)
      result.push_back({call.title, call.text});
  }
  return result;
}

std::vector<std::string> ScriptedUserInterface::TextsOf(CallKind kind) const {
  std::vector<std::string> result;
  for (const Call& call : calls_) {
    if (call.kind == kind)
      result.push_back(call.text);
  }
  return result;
}

std::vector<std::string> ScriptedUserInterface::questions() const {
  return TextsOf(CallKind::kAskSaveChanges);
}

std::vector<std::string> ScriptedUserInterface::saveSuggestions() const {
  return TextsOf(CallKind::kChooseSaveFile);
}

void PrintTo(const ScriptedUserInterface::Call& call, std::ostream* os) {
  *os << KindName(call.kind) << "(\"" << call.title << "\", \"" << call.text << "\")";
}

void PrintTo(const ScriptedUserInterface::Message& message, std::ostream* os) {
  *os << "{\"" << message.caption << "\", \"" << message.text << "\"}";
}

}  // namespace ovixlog::test
