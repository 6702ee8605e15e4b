#include "framework/document.h"

#include <algorithm>

namespace ovixlog {

std::string Document::GetTitle() const {
  if (pathName_.empty())
    return "Untitled";
  const size_t slash = pathName_.find_last_of('/');
  return slash == std::string::npos ? pathName_ : pathName_.substr(slash + 1);
}

void Document::AddView(View* view) {
  if (std::find(views_.begin(), views_.end(), view) == views_.end())
    views_.push_back(view);
}

void Document::RemoveView(View* view) {
  views_.erase(std::remove(views_.begin(), views_.end(), view), views_.end());
}

void Document::UpdateAllViews(View* sender, long hint) {
  for (View* view : views_) {
    if (view != sender)
      view->OnUpdate(sender, hint);
  }
}

bool Document::OnNewDocument() {
  DeleteContents();
  pathName_.clear();
  SetModifiedFlag(false);
  return true;
}

bool Document::SaveModified() {
  if (!IsModified())
    return true;
  switch (ui().AskSaveChanges("Save changes to " + GetTitle() + "?")) {
    case SaveAnswer::kYes:
      return DoFileSave();
    case SaveAnswer::kNo:
      return true;
    case SaveAnswer::kCancel:
      break;
  }
  return false;
}

bool Document::DoSave(const std::string& path, bool replace) {
  std::string target = path;
  if (target.empty()) {
    const std::string suggested = pathName_.empty() ? std::string("OvixLog") : GetTitle();
    std::optional<std::string> chosen = ui().ChooseSaveFile(suggested);
    if (!chosen || chosen->empty())
      return false;
    target = *chosen;
  }
  lastSaveFailed_ = !OnSaveDocument(target);
  if (lastSaveFailed_)
    return false;
  if (replace)
    pathName_ = target;
  return true;
}

bool Document::OnSaveDocument(const std::string& path) {
  SafeFileWriter file;
  bool ok = file.Open(path);
  if (ok) {
    TextArchive archive(file);
    Serialize(archive);
    ok = file.Commit();
  }
  if (!ok) {
    ui().ShowError(kSaveFailedCaption, SaveFailedText(path, file.error()));
    return false;
  }
  SetModifiedFlag(false);
  return true;
}

}  // namespace ovixlog
