#include "framework/headless_user_interface.h"

namespace ovixlog {

std::optional<std::string> HeadlessUserInterface::ChooseOpenFile(const std::string& title,
                                                                 const std::string& filter) {
  (void)title;
  (void)filter;
  if (openPath_.empty())
    return std::nullopt;
  return openPath_;
}

std::optional<std::string> HeadlessUserInterface::ChooseSaveFile(const std::string& suggestedName) {
  (void)suggestedName;
  return std::nullopt;
}

SaveAnswer HeadlessUserInterface::AskSaveChanges(const std::string& text) {
  (void)text;
  return SaveAnswer::kNo;
}

void HeadlessUserInterface::ShowError(const std::string& caption, const std::string& text) {
  (void)caption;
  errors_ << text << '\n';
  errors_.flush();
}

void HeadlessUserInterface::ShowStatus(const std::string& text) {
  errors_ << text << '\n';
  errors_.flush();
}

}  // namespace ovixlog
