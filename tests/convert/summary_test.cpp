// ovixlog-convert --summary as a user runs it: the text and JSON summaries of a hand-made demo
// log, the limits file, and the errors.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <fstream>
#include <string>
#include <vector>

#include "../document/doc_fixture.h"
#include "acquisition/demo_log_builder.h"
#include "acquisition/frame_builder.h"
#include "converter.h"

namespace ovixlog {
namespace {

struct ProcessResult {
  int status;
  std::string out;
  std::string err;
};

// Runs the converter with its configuration folder in `folder`/config.
ProcessResult Convert(const test::TempFolder& folder, const std::string& args) {
  const std::string out = folder / "stdout";
  const std::string err = folder / "stderr";
  const std::string command = "XDG_CONFIG_HOME=" + (folder / "config") + " " + OVIXLOG_CONVERT_EXE +
                              " " + args + " >" + out + " 2>" + err;
  const int raw = std::system(command.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, test::ReadWholeFile(out),
          test::ReadWholeFile(err)};
}

// 70 s of a 5100 at one frame a second: Tach 2400, flow 8.0, airborne from 10 s, CHT2 at 440
// from 30 s to 40 s.
std::string WriteFlight(const test::TempFolder& folder) {
  DemoLogBuilder log;
  for (uint32_t t = 0; t < 70; ++t) {
    EngineSample s;
    s.tach = 2400;
    const int16_t cht[4] = {350, static_cast<int16_t>(t >= 30 && t <= 40 ? 440 : 360), 370, 380};
    for (int i = 0; i < 4; ++i) {
      s.cht[i] = cht[i];
      s.egt[i] = static_cast<int16_t>(1300 + 10 * i);
    }
    s.oilT = 180;
    s.oilP = 60;
    s.volt = 14.0f;
    s.flow = 8.0f;
    s.aspd = static_cast<int16_t>(t >= 10 ? 100 : 0);
    s.alt = 1000;
    std::vector<uint8_t> frame;
    FrameBuilder::Append(frame, s, kModel5100, 0, Checksum::kGood);
    log.Stream(t * 1000, frame);
  }
  const std::string path = folder / "flight.log";
  test::WriteBytes(path, log.bytes());
  return path;
}

const char kJson[] =
    "{\"runs\": [\n"
    "  {\"start_s\": 0, \"end_s\": 69, \"duration_s\": 69, \"samples\": 70, \"airborne_s\": 59, "
    "\"takeoff_s\": 10, \"landing_s\": 69, \"fuel_used\": 0.153, "
    "\"max\": {\"Tach\": 2400, \"CHT1\": 350, \"CHT2\": 440, \"CHT3\": 370, \"CHT4\": 380, "
    "\"EGT1\": 1300, \"EGT2\": 1310, \"EGT3\": 1320, \"EGT4\": 1330, \"OilT\": 180, "
    "\"Alt\": 1000, \"Aspd\": 100, \"Volt\": 14}, \"min\": {\"OilP\": 60, \"Volt\": 14}, "
    "\"cht_spread_max\": 90, \"egt_spread_max\": 30, \"cht_rate_max_rise\": 0, "
    "\"cht_rate_max_drop\": 0, \"exceedances\": [{\"column\": \"CHT2\", \"kind\": \"max\", "
    "\"limit\": 435, \"start_s\": 30, \"end_s\": 40, \"peak\": 440}], \"lean_tests\": [], "
    "\"findings\": []}\n"
    "]}\n";

const char kText[] =
    "Run 1 of 1: 0:00:00 to 0:01:09, 0:01:09 (70 samples)\n"
    "  Airborne 0:00:59, take-off 0:00:10, landing 0:01:09\n"
    "  Fuel used 0.15\n"
    "  Highest: Tach 2400, CHT1 350, CHT2 440, CHT3 370, CHT4 380, EGT1 1300, EGT2 1310, "
    "EGT3 1320, EGT4 1330, OilT 180, Alt 1000, Aspd 100, Volt 14\n"
    "  Lowest: OilP 60, Volt 14 (OilP at Tach 1000 and up)\n"
    "  Hottest CHT: CHT2 440\n"
    "  Largest spread: CHT 90, EGT 30\n"
    "  CHT rate: rise up to 0/min, drop up to 0/min\n"
    "  Exceedances: 1\n"
    "    CHT2 above 435 from 0:00:30 to 0:00:40 (10 s), peak 440\n"
    "  Lean tests: 0\n"
    "  Findings: 0\n";

TEST(ConverterSummary, WritesTextOrJson) {
  test::TempFolder folder;
  const std::string flight = WriteFlight(folder);
  ProcessResult run = Convert(folder, "--summary --json " + flight);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "Imported 70 frames from flight.log\n");
  EXPECT_EQ(run.out, kJson);
  run = Convert(folder, "--summary " + flight);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, kText);

  test::WriteBytes(folder / "nothing.bin", test::Capture(3));
  run = Convert(folder, "--summary " + (folder / "nothing.bin"));
  EXPECT_EQ(run.out, "No engine runs.\n");
  run = Convert(folder, "--summary --json " + (folder / "nothing.bin"));
  EXPECT_EQ(run.out, "{\"runs\": []}\n");
}

TEST(ConverterSummary, ReadsTheLimitsFile) {
  test::TempFolder folder;
  const std::string flight = WriteFlight(folder);
  const std::string noExceedance = "\"exceedances\": [], ";
  // The pilot's own file in the configuration folder.
  std::filesystem::create_directories(folder / "config/ovixlog");
  std::ofstream(folder / "config/ovixlog/limits.ini") << "[limits]\nCHT2.max = 440\n";
  ProcessResult run = Convert(folder, "--summary --json " + flight);
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find(noExceedance), std::string::npos) << run.out;
  // --limits names another file instead.
  std::ofstream(folder / "strict.ini") << "[limits]\nCHT.max = 439\n";
  run = Convert(folder, "--summary --json --limits " + (folder / "strict.ini") + " " + flight);
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("{\"column\": \"CHT2\", \"kind\": \"max\", \"limit\": 439, "
                         "\"start_s\": 30, \"end_s\": 40, \"peak\": 440}"),
            std::string::npos)
      << run.out;
}

TEST(ConverterSummary, ReportsBadLimitsAndBadUsage) {
  test::TempFolder folder;
  const std::string flight = WriteFlight(folder);
  std::ofstream(folder / "bad.ini") << "[limits]\nCHT.max = 400\nFOO.max = 3\n";
  struct Case {
    std::string args;
    int status;
    std::string err;
  };
  const std::vector<Case> cases = {
      {"--summary --limits " + (folder / "bad.ini") + " " + flight, 1,
       "Imported 70 frames from flight.log\novixlog-convert: " + (folder / "bad.ini") +
           ":3: unknown column 'FOO'\n"},
      {"--summary --limits " + (folder / "none.ini") + " " + flight, 1,
       "Imported 70 frames from flight.log\novixlog-convert: " + (folder / "none.ini") +
           ": cannot be read\n"},
      {"--json " + flight, 2, "ovixlog-convert: --json goes with --summary\n" + ConverterUsage()},
      {"--limits x " + flight, 2,
       "ovixlog-convert: --limits goes with --summary\n" + ConverterUsage()},
      {"--summary --csv " + flight, 2,
       "ovixlog-convert: --summary writes to standard output, without --csv or -o\n" +
           ConverterUsage()},
      {"--summary --limits", 2, "ovixlog-convert: --limits needs a value\n" + ConverterUsage()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const ProcessResult run = Convert(folder, c.args);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(run.out, "");
  }
}

}  // namespace
}  // namespace ovixlog
