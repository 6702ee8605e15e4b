#include "framework/document.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/scripted_user_interface.h"
#include "support/temp_folder.h"

namespace ovixlog {
namespace {

using test::ScriptedUserInterface;
using test::TempFolder;
using Call = ScriptedUserInterface::Call;
using Kind = ScriptedUserInterface::CallKind;
using Message = ScriptedUserInterface::Message;

// A document whose text form is a fixed list of rows.
class RowsDocument : public Document {
 public:
  using Document::Document;
  void Serialize(TextArchive& archive) override {
    for (const std::string& row : rows)
      archive.WriteString(row);
  }
  std::vector<std::string> rows{"Time,TACH,CHT1\n", "00:00:01,2450,350\n", "00:00:02,2460,351\n"};
};

constexpr const char* kRowsText = "Time,TACH,CHT1\n00:00:01,2450,350\n00:00:02,2460,351\n";

TEST(Document, TitleIsTheFileNameOrUntitled) {
  const std::pair<const char*, const char*> cases[] = {
      {"", "Untitled"},
      {"/home/pilot/flight.csv", "flight.csv"},
      {"flight.csv", "flight.csv"},
      {"/flight.csv", "flight.csv"},
      {"logs/2015/flight one.csv", "flight one.csv"},
  };
  ScriptedUserInterface ui;
  RowsDocument doc(&ui);
  for (const auto& [path, title] : cases) {
    SCOPED_TRACE(path);
    doc.SetPathName(path);
    EXPECT_EQ(doc.GetTitle(), title);
  }
}

TEST(Document, SaveModifiedFollowsTheAnswer) {
  struct Case {
    const char* name;
    bool modified;
    const char* pathName;  // in the scratch folder; empty for an untitled document
    std::vector<SaveAnswer> answers;
    std::vector<std::optional<std::string>> savePaths;  // names in the scratch folder
    bool result;
    std::vector<Call> calls;
    bool modifiedAfter;
    std::vector<std::string> filesAfter;  // scratch folder entries, each holding kRowsText
    const char* pathNameAfter;
  };
  const Call askUntitled{Kind::kAskSaveChanges, "", "Save changes to Untitled?"};
  const Call askTitled{Kind::kAskSaveChanges, "", "Save changes to flight.csv?"};
  const Call chooseName{Kind::kChooseSaveFile, "", "OvixLog"};
  const Case cases[] = {
      {"unmodified goes on without asking", false, "", {}, {}, true, {}, false, {}, ""},
      {"Yes on an untitled document asks for a name and saves",
       true,
       "",
       {SaveAnswer::kYes},
       {"chosen.csv"},
       true,
       {askUntitled, chooseName},
       false,
       {"chosen.csv"},
       "chosen.csv"},
      {"Yes then a cancelled name dialog stops",
       true,
       "",
       {SaveAnswer::kYes},
       {std::nullopt},
       false,
       {askUntitled, chooseName},
       true,
       {},
       ""},
      {"Yes then an empty name stops",
       true,
       "",
       {SaveAnswer::kYes},
       {""},
       false,
       {askUntitled, chooseName},
       true,
       {},
       ""},
      {"Yes on a titled document saves to its path",
       true,
       "flight.csv",
       {SaveAnswer::kYes},
       {},
       true,
       {askTitled},
       false,
       {"flight.csv"},
       "flight.csv"},
      {"No goes on without saving",
       true,
       "flight.csv",
       {SaveAnswer::kNo},
       {},
       true,
       {askTitled},
       true,
       {},
       "flight.csv"},
      {"Cancel stops", true, "", {SaveAnswer::kCancel}, {}, false, {askUntitled}, true, {}, ""},
      {"closing the question stops", true, "", {}, {}, false, {askUntitled}, true, {}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    ScriptedUserInterface ui;
    for (SaveAnswer answer : c.answers)
      ui.QueueSaveAnswer(answer);
    for (const auto& name : c.savePaths) {
      ui.QueueSavePath(name && !name->empty() ? std::optional(folder / *name) : name);
    }
    RowsDocument doc(&ui);
    if (*c.pathName != '\0')
      doc.SetPathName(folder / c.pathName);
    doc.SetModifiedFlag(c.modified);

    EXPECT_EQ(doc.SaveModified(), c.result);
    EXPECT_EQ(ui.calls(), c.calls);
    EXPECT_EQ(doc.IsModified(), c.modifiedAfter);
    EXPECT_EQ(folder.Entries(), c.filesAfter);
    for (const std::string& file : c.filesAfter)
      EXPECT_EQ(test::ReadWholeFile(folder / file), kRowsText);
    EXPECT_EQ(doc.GetPathName(), *c.pathNameAfter == '\0' ? "" : folder / c.pathNameAfter);
  }
}

TEST(Document, SaveWithoutAPathAsksForOneProposingTheTitle) {
  struct Case {
    const char* name;
    const char* pathName;
    std::optional<std::string> answer;
    bool replace;
    bool result;
    const char* suggestion;
    const char* pathNameAfter;
    std::vector<std::string> filesAfter;
  };
  const Case cases[] = {
      {"untitled, cancelled", "", std::nullopt, true, false, "OvixLog", "", {}},
      {"untitled, saved", "", "new.csv", true, true, "OvixLog", "new.csv", {"new.csv"}},
      {"titled, cancelled",
       "flight.csv",
       std::nullopt,
       true,
       false,
       "flight.csv",
       "flight.csv",
       {}},
      {"titled, save as",
       "flight.csv",
       "other.csv",
       true,
       true,
       "flight.csv",
       "other.csv",
       {"other.csv"}},
      {"titled, copy keeps the path",
       "flight.csv",
       "copy.csv",
       false,
       true,
       "flight.csv",
       "flight.csv",
       {"copy.csv"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    ScriptedUserInterface ui;
    ui.QueueSavePath(c.answer ? std::optional(folder / *c.answer) : std::nullopt);
    RowsDocument doc(&ui);
    if (*c.pathName != '\0')
      doc.SetPathName(folder / c.pathName);
    doc.SetModifiedFlag();

    EXPECT_EQ(doc.DoSave("", c.replace), c.result);
    EXPECT_EQ(ui.calls(), (std::vector<Call>{{Kind::kChooseSaveFile, "", c.suggestion}}));
    EXPECT_EQ(doc.GetPathName(), *c.pathNameAfter == '\0' ? "" : folder / c.pathNameAfter);
    EXPECT_EQ(doc.IsModified(), !c.result);
    EXPECT_EQ(folder.Entries(), c.filesAfter);
    for (const std::string& file : c.filesAfter)
      EXPECT_EQ(test::ReadWholeFile(folder / file), kRowsText);
  }
}

TEST(Document, SaveReplacesAnEarlierFileWhole) {
  TempFolder folder;
  const std::string path = folder / "flight.csv";
  test::WriteWholeFile(path, std::string(5000, 'x'));
  ScriptedUserInterface ui;
  RowsDocument doc(&ui);
  doc.SetPathName(path);
  doc.SetModifiedFlag();
  EXPECT_TRUE(doc.DoFileSave());
  EXPECT_EQ(test::ReadWholeFile(path), kRowsText);
  EXPECT_EQ(folder.Entries(), std::vector<std::string>{"flight.csv"});
  EXPECT_TRUE(ui.calls().empty());
  EXPECT_FALSE(doc.IsModified());
}

// Each failing save reports "Save Failed" with the path and the system's reason, keeps the
// document modified and titled as before, and leaves nothing behind.
TEST(Document, FailedSaveIsReportedAndChangesNothing) {
  struct Case {
    const char* name;
    // Prepares the scratch folder and the document; returns the path the save goes to.
    std::string (*prepare)(const TempFolder& folder, RowsDocument& doc);
    const char* reason;
  };
  const Case cases[] = {
      {"folder removed since the last save",
       [](const TempFolder& folder, RowsDocument& doc) {
         const std::string trip = folder / "trip";
         std::filesystem::create_directory(trip);
         doc.SetPathName(trip + "/flight.csv");
         EXPECT_TRUE(doc.DoFileSave());
         std::filesystem::remove_all(trip);
         return trip + "/flight.csv";
       },
       "No such file or directory"},
      {"a device",
       [](const TempFolder&, RowsDocument& doc) {
         doc.SetPathName("/dev/full");
         return std::string("/dev/full");
       },
       "Not a regular file"},
      {"target is a folder",
       [](const TempFolder& folder, RowsDocument& doc) {
         std::filesystem::create_directory(folder / "flight.csv");
         doc.SetPathName(folder / "flight.csv");
         return folder / "flight.csv";
       },
       "Is a directory"},
      {"a FIFO, which must not be opened (that would wait for a reader)",
       [](const TempFolder& folder, RowsDocument& doc) {
         EXPECT_EQ(::mkfifo((folder / "fifo.csv").c_str(), 0600), 0);
         doc.SetPathName(folder / "fifo.csv");
         return folder / "fifo.csv";
       },
       "Not a regular file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    ScriptedUserInterface ui;
    RowsDocument doc(&ui);
    const std::string path = c.prepare(folder, doc);
    const std::vector<std::string> filesBefore = folder.Entries();
    ui.ClearCalls();
    doc.SetModifiedFlag();

    EXPECT_FALSE(doc.DoFileSave());
    EXPECT_EQ(ui.calls(),
              (std::vector<Call>{{Kind::kShowError, "Save Failed",
                                  "Unable to save file: " + path + " (" + c.reason + ")"}}));
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.GetPathName(), path);
    EXPECT_EQ(folder.Entries(), filesBefore);
  }
}

TEST(Document, FailedWriteKeepsThePreviousFile) {
  TempFolder folder;
  const std::string path = folder / "flight.csv";
  test::WriteWholeFile(path, "previous contents\n");
  ScriptedUserInterface ui;
  RowsDocument doc(&ui);
  doc.rows.assign(200, std::string(40, '7') + "\n");
  doc.SetModifiedFlag();
  bool saved = true;
  {
    test::FileSizeLimit limit(1024);
    saved = doc.DoSave(path);
  }
  EXPECT_FALSE(saved);
  EXPECT_EQ(ui.errors(), (std::vector<Message>{{"Save Failed", "Unable to save file: " + path +
                                                                   " (File too large)"}}));
  EXPECT_EQ(test::ReadWholeFile(path), "previous contents\n");
  EXPECT_EQ(folder.Entries(), std::vector<std::string>{"flight.csv"});
  EXPECT_TRUE(doc.IsModified());
  EXPECT_EQ(doc.GetPathName(), "");
}

class RecordingView : public View {
 public:
  void OnInitialUpdate() override {}
  void OnUpdate(View* sender, long hint) override { updates.push_back({sender, hint}); }
  void SampleAdded() override {}
  std::vector<std::pair<View*, long>> updates;
};

TEST(Document, UpdateAllViewsSkipsTheSender) {
  ScriptedUserInterface ui;
  RowsDocument doc(&ui);
  RecordingView a, b, c;
  doc.AddView(&a);
  doc.AddView(&b);
  doc.AddView(&b);
  doc.AddView(&c);
  EXPECT_EQ(doc.FirstView(), &a);

  doc.UpdateAllViews(&b, 7);
  doc.UpdateAllViews(nullptr);
  doc.RemoveView(&a);
  doc.UpdateAllViews(&c, 3);

  using Updates = std::vector<std::pair<View*, long>>;
  EXPECT_EQ(a.updates, (Updates{{&b, 7}, {nullptr, 0}}));
  EXPECT_EQ(b.updates, (Updates{{nullptr, 0}, {&c, 3}}));
  EXPECT_EQ(c.updates, (Updates{{&b, 7}, {nullptr, 0}}));
  EXPECT_EQ(doc.FirstView(), &b);
}

}  // namespace
}  // namespace ovixlog
