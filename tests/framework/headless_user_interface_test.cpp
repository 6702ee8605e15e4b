#include "framework/headless_user_interface.h"

#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "framework/document.h"
#include "support/temp_folder.h"

namespace ovixlog {
namespace {

class RowsDocument : public Document {
 public:
  using Document::Document;
  void Serialize(TextArchive& archive) override { archive.WriteString("Time,TACH\n"); }
};

TEST(HeadlessUserInterface, NeverAsksAndWritesOnlyTheErrorText) {
  std::ostringstream errors;
  HeadlessUserInterface ui(errors);
  EXPECT_EQ(ui.ChooseOpenFile("Import", "Log Files (*.log)|*.log||"), std::nullopt);
  ui.SetOpenPath("/tmp/flight.log");
  EXPECT_EQ(ui.ChooseOpenFile("Import", "Log Files (*.log)|*.log||"), "/tmp/flight.log");
  EXPECT_EQ(ui.ChooseOpenFile("Import", ""), "/tmp/flight.log");
  ui.SetOpenPath("");
  EXPECT_EQ(ui.ChooseOpenFile("Import", ""), std::nullopt);
  EXPECT_EQ(ui.ChooseSaveFile("OvixLog"), std::nullopt);
  EXPECT_EQ(ui.AskSaveChanges("Save changes to Untitled?"), SaveAnswer::kNo);
  ui.ShowError("Save Failed", "Unable to save file: /x/y.csv");
  ui.ShowError("Import Failed", "second");
  EXPECT_EQ(errors.str(), "Unable to save file: /x/y.csv\nsecond\n");
}

TEST(HeadlessUserInterface, ClosingAModifiedDocumentDiscardsWithoutSaving) {
  std::ostringstream errors;
  HeadlessUserInterface ui(errors);
  test::TempFolder folder;
  RowsDocument doc(&ui);
  doc.SetPathName(folder / "flight.csv");
  doc.SetModifiedFlag();
  EXPECT_TRUE(doc.SaveModified());
  EXPECT_EQ(folder.Entries(), std::vector<std::string>{});
  EXPECT_FALSE(doc.DoFileSaveAs());
  EXPECT_TRUE(doc.IsModified());
  EXPECT_EQ(errors.str(), "");
}

}  // namespace
}  // namespace ovixlog
