// A document without serial ports, a scripted user interface and a view that counts what it is
// told: the common setting of the document tests.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "acquisition/frame_builder.h"
#include "document/ovixlog_doc.h"
#include "framework/startup_settings.h"
#include "support/scripted_user_interface.h"
#include "support/temp_folder.h"
#include "support/test_support.h"

namespace ovixlog::test {

class CountingView : public View {
 public:
  void OnInitialUpdate() override { ++initialUpdates; }
  void OnUpdate(View*, long) override { ++updates; }
  void SampleAdded() override { ++samplesAdded; }
  int initialUpdates = 0;
  int updates = 0;
  std::atomic<int> samplesAdded{0};
};

struct DocFixture {
  explicit DocFixture(StartupSettings settings = {}) : startup(std::move(settings)) {
    doc = std::make_unique<COvixLogDoc>(&ui, startup);
    doc->SetPortsEnabled(false);
    doc->AddView(&view);
    doc->OnNewDocument();
  }
  ~DocFixture() {
    if (doc)
      doc->RemoveView(&view);
  }

  // Adds a sample whose tach tells it apart, stamped `stamp`.
  void Add(uint32_t stamp, int16_t tach = 2000) {
    EngineSample s = ExampleSample();
    s.tach = tach;
    s.tickMs = stamp;
    doc->AddSample(std::make_unique<EngineSample>(s), &view);
  }
  std::string DisplayRow(int row) const {
    std::string text = "unchanged";
    doc->FormatDisplayRow(row, text);
    return text;
  }
  std::string CsvRow(int row) const {
    std::string text = "unchanged";
    doc->FormatCsvRow(row, text);
    return text;
  }
  // The whole table as a save writes it, rows ending in CR LF.
  std::string Table(bool csv) const {
    std::string all;
    const int rows = csv ? doc->SampleCount() + 1 : doc->GetRowCount();
    for (int row = 0; row < rows; ++row)
      all += (csv ? CsvRow(row) : DisplayRow(row)) + "\r\n";
    return all;
  }

  StartupSettings startup;
  ScriptedUserInterface ui;
  CountingView view;
  std::unique_ptr<COvixLogDoc> doc;
  TempFolder folder;
};

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  WriteWholeFile(path, std::string(bytes.begin(), bytes.end()));
}

}  // namespace ovixlog::test
