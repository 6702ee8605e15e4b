// The document half of our small document/view layer: a path and title, a modified flag, the
// attached views, and the new/save steps that the application's commands run.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "framework/text_archive.h"
#include "framework/user_interface.h"
#include "framework/view.h"

namespace ovixlog {

class Document {
 public:
  explicit Document(UserInterface* ui) : ui_(ui) {}
  virtual ~Document() = default;
  Document(const Document&) = delete;
  Document& operator=(const Document&) = delete;

  // The file the document was last saved to; empty while untitled.
  const std::string& GetPathName() const { return pathName_; }
  void SetPathName(const std::string& path) { pathName_ = path; }
  // The file name without its folder, or "Untitled".
  std::string GetTitle() const;

  // The modified flag may be set by the reading thread while the window reads it.
  void SetModifiedFlag(bool modified = true) { modified_.store(modified); }
  bool IsModified() const { return modified_.load(); }

  void AddView(View* view);
  void RemoveView(View* view);
  View* FirstView() const { return views_.empty() ? nullptr : views_.front(); }
  // Calls OnUpdate of every view but `sender`. User-interface thread only.
  void UpdateAllViews(View* sender, long hint = 0);

  UserInterface& ui() const { return *ui_; }
  void SetUserInterface(UserInterface* ui) { ui_ = ui; }

  // Starts a new document: clears the contents, forgets the path, clears the modified flag.
  virtual bool OnNewDocument();
  // Asks whether to save a modified document: Yes saves (false if that fails), No goes on,
  // Cancel returns false. An unmodified document returns true without asking.
  virtual bool SaveModified();
  // Saves to `path`, or asks for a name first when `path` is empty. With `replace` the saved
  // path becomes the document's path name and title.
  virtual bool DoSave(const std::string& path, bool replace = true);
  // Whether the last save that was tried failed (a cancelled dialog is no failure).
  bool LastSaveFailed() const { return lastSaveFailed_; }
  // File Save: to the current path, asking for one when there is none.
  bool DoFileSave() { return DoSave(pathName_, true); }
  // File Save As: always asks.
  bool DoFileSaveAs() { return DoSave(std::string(), true); }
  // Writes the text form through Serialize; reports a failure and returns false.
  virtual bool OnSaveDocument(const std::string& path);
  virtual void DeleteContents() {}
  virtual void Serialize(TextArchive& archive) { (void)archive; }

  // The failure message of a text save: "Unable to save file: /x/y.txt (Is a directory)".
  static std::string SaveFailedText(const std::string& path, const std::string& reason) {
    return "Unable to save file: " + path + WithReason(reason);
  }
  // " (reason)", or nothing without a reason.
  static std::string WithReason(const std::string& reason) {
    return reason.empty() ? std::string() : " (" + reason + ")";
  }
  static constexpr const char* kSaveFailedCaption = "Save Failed";

 private:
  UserInterface* ui_;
  std::string pathName_;
  std::atomic<bool> modified_{false};
  bool lastSaveFailed_ = false;
  std::vector<View*> views_;
};

}  // namespace ovixlog
