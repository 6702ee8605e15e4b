// ovixlog-library over files the simulator made: adding, adding again, copies, grown
// recordings, files gone, a damaged database and two writers at once.
#include "library_tool.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "library/flight_library.h"
#include "recording/recording_format.h"
#include "support/temp_folder.h"
#include "tool_run.h"

namespace ovixlog {
namespace {

using test::ToolResult;

class LibraryTool : public ::testing::Test {
 protected:
  ToolResult Run(std::vector<std::string> args) { return test::RunTool(db_, std::move(args)); }

  // A simulated flight written by the simulator; returns its path.
  std::string Simulate(const std::string& name, const std::string& options) {
    const std::string path = folder_ / name;
    const std::string command = std::string(OVIXLOG_SIM_EXE) + " " + options + " '" + path + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return path;
  }

  nlohmann::json List() {
    const ToolResult list = Run({"list", "--json"});
    EXPECT_EQ(list.status, 0) << list.err;
    return nlohmann::json::parse(list.out)["flights"];
  }

  test::TempFolder folder_;
  std::string db_ = folder_ / "library.sqlite";
};

TEST_F(LibraryTool, AddsEachFileOnceAndTellsWhatItWasNot) {
  const std::string flights = Simulate("two flights.bin", "--scenario two-flights --capture");
  const std::string recording = Simulate("short.log", "--frames 2000 --demo-log");
  test::WriteWholeFile(folder_ / "notes.txt", "not frames at all\n");
  test::WriteWholeFile(folder_ / "empty.bin", "");

  const ToolResult first = Run({"add", folder_.path()});
  EXPECT_EQ(first.status, 0) << first.err;
  EXPECT_EQ(first.out, folder_ / "empty.bin: not a flight log: empty\n" +
                           folder_ / "notes.txt: not a flight log: expected a recording, an EFIS DEMO log "
                                     "or a raw capture of the monitor's frames\n" +
                           folder_ / "short.log: added 1 flight\n" + flights +
                           ": added 2 flights\n"
                           "4 files: 3 flights added, 0 unchanged, 0 duplicates, 2 not read\n");

  const ToolResult again = Run({"add", flights});
  EXPECT_EQ(again.out, flights + ": unchanged\n"
                                 "1 file: 0 flights added, 1 unchanged, 0 duplicates, 0 not read\n");

  const std::string copy = folder_ / "renamed.bin";
  std::filesystem::copy_file(flights, copy);
  const ToolResult duplicate = Run({"add", copy});
  EXPECT_EQ(duplicate.out, copy + ": duplicate of " + flights +
                               "\n1 file: 0 flights added, 0 unchanged, 1 duplicates, 0 not read\n");
  const nlohmann::json list = List();
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0]["file"], recording);
  EXPECT_EQ(list[2]["id"], 3);
  EXPECT_EQ(list[2]["file"], flights);
  EXPECT_EQ(list[2]["run"], 1);
  EXPECT_EQ(list[2]["model"], "5100");
}

TEST_F(LibraryTool, NothingReadableIsAFailure) {
  test::WriteWholeFile(folder_ / "notes.txt", "not frames\n");
  const ToolResult result = Run({"add", folder_ / "notes.txt", folder_ / "missing.bin"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, folder_ / "missing.bin: not read: No such file or directory\n" +
                            folder_ / "notes.txt: not a flight log: expected a recording, an EFIS "
                                      "DEMO log or a raw capture of the monitor's frames\n"
                                      "1 file: 0 flights added, 0 unchanged, 0 duplicates, 2 "
                                      "not read\n");
}

TEST_F(LibraryTool, SomeGoodFilesAmongBadOnesIsASuccess) {
  const std::string flight = Simulate("flight.bin", "--frames 3000 --capture");
  const ToolResult result = Run({"add", flight, folder_ / "missing.bin"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, folder_ / "missing.bin: not read: No such file or directory\n" + flight +
                            ": added 1 flight\n"
                            "1 file: 1 flights added, 0 unchanged, 0 duplicates, 1 not read\n");
}

// The library's flights are the converter's runs, every frame a sample, whatever the kind
// of file and the model.
TEST_F(LibraryTool, FlightsAreTheConvertersRuns) {
  struct Case {
    const char* name;
    const char* sim;
    const char* convert;
    const char* model;
  };
  const Case cases[] = {
      {"flights.bin", "--scenario two-flights --capture", "", "5100"},
      {"flights.log", "--scenario two-flights --demo-log", "", "5100"},
      {"short.bin", "--model 3100 --frames 20000 --capture", "--model 3100", "3100"},
      {"eight.log", "--model 8100 --frames 20000 --demo-log", "", "8100"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    db_ = folder_ / (std::string(c.name) + ".sqlite");
    const std::string path = Simulate(c.name, c.sim);
    ASSERT_EQ(Run({"add", path}).status, 0);
    const std::string summaryPath = folder_ / "summary.json";
    const std::string command = std::string(OVIXLOG_CONVERT_EXE) + " " + c.convert +
                                " --all --summary --json '" + path + "' >'" + summaryPath +
                                "' 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const nlohmann::json runs = nlohmann::json::parse(test::ReadWholeFile(summaryPath))["runs"];
    const nlohmann::json list = List();
    ASSERT_GE(runs.size(), 1u);
    ASSERT_EQ(list.size(), runs.size());
    for (size_t i = 0; i < runs.size(); ++i) {
      for (auto it = runs[i].begin(); it != runs[i].end(); ++it)
        EXPECT_EQ(list[i][it.key()], it.value()) << "run " << i << " " << it.key();
      EXPECT_EQ(list[i]["model"], c.model);
      EXPECT_EQ(list[i]["findings"], nlohmann::json::array());
      EXPECT_EQ(list[i]["start"], nullptr);
    }
  }
}

// The library keeps each run's findings as the converter's summary gives them.
TEST_F(LibraryTool, KeepsTheConvertersFindings) {
  const std::string flight = Simulate("valve.bin", "--scenario stuck-valve --capture");
  ASSERT_EQ(Run({"add", flight}).status, 0);
  const std::string summaryPath = folder_ / "summary.json";
  const std::string command = std::string(OVIXLOG_CONVERT_EXE) + " --all --summary --json '" +
                              flight + "' >'" + summaryPath + "' 2>/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const nlohmann::json runs = nlohmann::json::parse(test::ReadWholeFile(summaryPath))["runs"];
  const nlohmann::json list = List();
  ASSERT_EQ(runs.size(), 1u);
  ASSERT_EQ(list.size(), 1u);
  ASSERT_EQ(list[0]["findings"].size(), 2u);
  EXPECT_EQ(list[0]["findings"], runs[0]["findings"]);
  EXPECT_EQ(list[0]["findings"][0]["kind"], "mag_check");
  EXPECT_EQ(list[0]["findings"][1]["kind"], "egt_dropout");
  EXPECT_EQ(list[0]["findings"][1]["column"], "EGT3");
}

// Rewrites a recording the simulator made as the recorder writes one: a wall-clock record
// first, the aircraft after the opening settings, and a second wall-clock record (the time
// zone changed) before the first stream record stamped `laterStamp` or after.
void AddClocksAndAircraft(const std::string& path, uint32_t laterStamp) {
  const std::string in = test::ReadWholeFile(path);
  std::vector<uint8_t> out;
  const auto put = [&out](uint8_t type, uint32_t stamp, const std::vector<uint8_t>& payload) {
    AppendRecord(out, type, stamp, payload.data(), payload.size());
  };
  put(kWallClockRecord, 0, WallClockPayload({0, 1780298043000, 7200}));
  bool named = false;
  bool later = false;
  for (size_t pos = 0; pos + kRecordHeaderSize <= in.size();) {
    const auto* record = reinterpret_cast<const uint8_t*>(in.data() + pos);
    const uint8_t type = record[0];
    const uint32_t stamp = ReadBigEndian32(record + 1);
    const size_t length = ReadBigEndian32(record + 5);
    if (type == kStreamRecord && !named) {
      put(kAircraftRecord, 0, AircraftPayload("D-EOVX"));
      named = true;
    }
    if (type == kStreamRecord && stamp >= laterStamp && !later) {
      put(kWallClockRecord, stamp, WallClockPayload({stamp, 1780322400000, -18000}));
      later = true;
    }
    out.insert(out.end(), record, record + kRecordHeaderSize + length);
    pos += kRecordHeaderSize + length;
  }
  test::WriteWholeFile(path, std::string(out.begin(), out.end()));
}

TEST_F(LibraryTool, StartIsTheLocalTimeOfTheRunsFirstRunningSample) {
  const std::string path = Simulate("clocked.log", "--scenario two-flights --demo-log");
  AddClocksAndAircraft(path, 3000000);
  const ToolResult add = Run({"add", path});
  EXPECT_EQ(add.out, path + ": added 2 flights\n"
                            "1 file: 2 flights added, 0 unchanged, 0 duplicates, 0 not read\n");
  const nlohmann::json list = List();
  ASSERT_EQ(list.size(), 2u);
  // 07:14:03 UTC at the file's first stamp, +21 s, at two hours ahead of UTC.
  EXPECT_EQ(list[0]["start_s"], 21);
  EXPECT_EQ(list[0]["start"], "2026-06-01T09:14:24+02:00");
  // 14:00:00 UTC at the stamp 3000 s, +966 s, five hours behind UTC.
  EXPECT_EQ(list[1]["start_s"], 3966);
  EXPECT_EQ(list[1]["start"], "2026-06-01T09:16:06-05:00");
  EXPECT_EQ(list[0]["aircraft"], "D-EOVX");
  EXPECT_EQ(list[1]["aircraft"], "D-EOVX");
  EXPECT_EQ(list[0]["model"], "5100");
}

TEST_F(LibraryTool, AGivenOrLabelledAircraftOutranksTheRecordedOne) {
  const std::string path = Simulate("named.log", "--frames 3000 --demo-log");
  AddClocksAndAircraft(path, 0xFFFFFFFFu);
  ASSERT_EQ(Run({"add", "--aircraft", "N123", path}).status, 0);
  EXPECT_EQ(List()[0]["aircraft"], "N123");
  ASSERT_EQ(Run({"label", "--aircraft", "N456", "1"}).status, 0);
  // The recording grew: its kept run keeps the label.
  AddClocksAndAircraft(path, 0xFFFFFFFFu);
  ASSERT_EQ(Run({"add", path}).status, 0);
  EXPECT_EQ(List()[0]["aircraft"], "N456");
}

TEST_F(LibraryTool, GrownRecordingIsReadAgainKeepingItsRunsIds) {
  const std::string path = Simulate("growing.log", "--frames 20000 --demo-log");
  ASSERT_EQ(Run({"add", path}).status, 0);
  const nlohmann::json before = List();
  ASSERT_EQ(before.size(), 1u);
  Simulate("growing.log", "--demo-log");  // the same flight, an hour of it
  const ToolResult grown = Run({"add", path});
  EXPECT_EQ(grown.out, path + ": added 2 flights\n"
                              "1 file: 2 flights added, 0 unchanged, 0 duplicates, 0 not read\n");
  const nlohmann::json after = List();
  ASSERT_EQ(after.size(), 2u);
  EXPECT_EQ(after[0]["id"], before[0]["id"]);
  EXPECT_EQ(after[0]["start_s"], before[0]["start_s"]);
  EXPECT_GT(after[0]["end_s"].get<double>(), before[0]["end_s"].get<double>());
  EXPECT_EQ(after[1]["id"], 2);
}

TEST_F(LibraryTool, CheckTellsFilesGoneAndChanged) {
  const std::string kept = Simulate("kept.bin", "--frames 3000 --capture");
  const std::string gone = Simulate("gone.bin", "--seed 2 --frames 3000 --capture");
  const std::string changed = Simulate("changed.bin", "--seed 3 --frames 3000 --capture");
  ASSERT_EQ(Run({"add", kept, gone, changed}).status, 0);
  EXPECT_EQ(Run({"check"}).out, "every file is as indexed\n");
  std::filesystem::rename(gone, folder_ / "moved.bin");
  Simulate("changed.bin", "--seed 4 --frames 3000 --capture");
  const ToolResult check = Run({"check"});
  EXPECT_EQ(check.status, 1);
  EXPECT_EQ(check.out, gone + ": gone\n" + changed + ": changed\n2 files gone or changed\n");
}

TEST_F(LibraryTool, MovedFileKeepsItsFlights) {
  const std::string before = Simulate("before.bin", "--frames 3000 --capture");
  ASSERT_EQ(Run({"add", before}).status, 0);
  const std::string after = folder_ / "after.bin";
  std::filesystem::rename(before, after);
  EXPECT_EQ(Run({"add", after}).out,
            after + ": moved from " + before +
                "\n1 file: 0 flights added, 1 unchanged, 0 duplicates, 0 not read\n");
  const nlohmann::json list = List();
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0]["id"], 1);
  EXPECT_EQ(list[0]["file"], after);
  EXPECT_EQ(Run({"check"}).status, 0);
}

TEST_F(LibraryTool, DamagedDatabaseIsKeptAsideAndRebuilt) {
  test::WriteWholeFile(db_, std::string(8192, 'x'));
  const std::string flight = Simulate("flight.bin", "--frames 3000 --capture");
  const ToolResult add = Run({"add", flight});
  EXPECT_EQ(add.status, 0);
  EXPECT_NE(add.err.find(db_ + ": the library was damaged"), std::string::npos) << add.err;
  EXPECT_EQ(List().size(), 1u);
  int aside = 0;
  for (const std::string& name : folder_.Entries()) {
    if (name.rfind("library.sqlite.damaged-", 0) == 0) {
      ++aside;
      EXPECT_EQ(test::ReadWholeFile(folder_ / name), std::string(8192, 'x'));
    }
  }
  EXPECT_EQ(aside, 1);
}

TEST_F(LibraryTool, UnwritablePlaceIsAClearError) {
  if (::geteuid() == 0)
    GTEST_SKIP() << "root writes anywhere";
  std::filesystem::create_directory(folder_ / "locked");
  std::filesystem::permissions(folder_ / "locked", std::filesystem::perms::owner_read |
                                                       std::filesystem::perms::owner_exec);
  db_ = folder_ / "locked/library.sqlite";
  const ToolResult list = Run({"list"});
  EXPECT_EQ(list.status, 1);
  EXPECT_EQ(list.err.rfind("ovixlog-library: " + db_ + ": ", 0), 0u) << list.err;
}

// Another program holding the write lock longer than the library waits: a clear error naming
// the database and the cause, after about the wait, and nothing written.
TEST_F(LibraryTool, DatabaseLockedTooLongIsAClearError) {
  const std::string first = Simulate("first.bin", "--seed 1 --frames 3000 --capture");
  const std::string second = Simulate("second.bin", "--seed 2 --frames 3000 --capture");
  ASSERT_EQ(Run({"add", first}).status, 0);

  sqlite3* holder = nullptr;
  ASSERT_EQ(sqlite3_open(db_.c_str(), &holder), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  const auto began = std::chrono::steady_clock::now();
  const ToolResult locked = Run({"add", second});
  const auto waited = std::chrono::steady_clock::now() - began;
  sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(holder);

  EXPECT_EQ(locked.status, 1);
  EXPECT_EQ(locked.err.rfind("ovixlog-library: " + db_ + ": ", 0), 0u) << locked.err;
  EXPECT_NE(locked.err.find("database is locked: another program kept it locked for more than 5 s"),
            std::string::npos)
      << locked.err;
  EXPECT_GE(waited, std::chrono::milliseconds(FlightLibrary::kBusyTimeoutMs));
  EXPECT_EQ(List().size(), 1u);
  EXPECT_EQ(Run({"add", second}).status, 0);  // once the lock is gone
  EXPECT_EQ(List().size(), 2u);
}

// A disk that fills up while files are indexed (here a file-size limit, which fails writes as a
// full disk does): a clear error naming the database, and every file's flights stored whole or
// not at all; indexing again once there is room finishes the job.
TEST_F(LibraryTool, FullDiskIsAClearErrorAndLeavesNoHalfWrittenFile) {
  std::vector<std::string> paths;
  for (int seed = 1; seed <= 6; ++seed)
    paths.push_back(Simulate("f" + std::to_string(seed) + ".bin",
                             "--seed " + std::to_string(seed) + " --scenario two-flights --capture"));
  std::vector<std::string> add = {"add"};
  add.insert(add.end(), paths.begin(), paths.end());

  int pipe[2];
  ASSERT_EQ(::pipe(pipe), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(pipe[0]);
    const rlimit limit{96 * 1024, 96 * 1024};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, SIG_IGN);
    const ToolResult full = Run(add);
    const std::string report = std::to_string(full.status) + "\n" + full.err;
    (void)!::write(pipe[1], report.data(), report.size());
    ::_exit(0);
  }
  ::close(pipe[1]);
  std::string report;
  char block[4096];
  for (ssize_t n; (n = ::read(pipe[0], block, sizeof block)) > 0;)
    report.append(block, static_cast<size_t>(n));
  ::close(pipe[0]);
  int wait = 0;
  ASSERT_EQ(::waitpid(child, &wait, 0), child);
  ASSERT_TRUE(WIFEXITED(wait) && WEXITSTATUS(wait) == 0) << report;

  EXPECT_EQ(report.rfind("1\novixlog-library: " + db_ + ": ", 0), 0u) << report;
  const size_t stored = List().size();
  EXPECT_LT(stored, 12u);
  EXPECT_EQ(stored % 2, 0u) << "a file's two flights were stored apart";
  const ToolResult again = Run(add);
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(List().size(), 12u);
}

// Folders as users have them: spaces, names that are not UTF-8, a second name for a file and a
// link back up the tree. Each file is indexed once, the loop entered once.
TEST_F(LibraryTool, AwkwardPathsAreEachIndexedOnce) {
  const std::filesystem::path folder = folder_ / "my flights";
  std::filesystem::create_directory(folder);
  const std::string spaced = Simulate("my flights/first flight.bin", "--seed 1 --frames 3000 --capture");
  const std::string latin1 = Simulate("my flights/\xe9t\xe9 \xff.bin", "--seed 2 --frames 3000 --capture");
  std::filesystem::create_symlink(spaced, folder / "link.bin");
  std::filesystem::create_directory_symlink(folder, folder / "loop");

  const ToolResult add = Run({"add", folder.string()});
  EXPECT_EQ(add.status, 0) << add.err;
  EXPECT_EQ(add.out, spaced + ": added 1 flight\n" + latin1 +
                         ": added 1 flight\n"
                         "2 files: 2 flights added, 0 unchanged, 0 duplicates, 0 not read\n");
  const nlohmann::json list = List();  // valid JSON, whatever bytes the names hold
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0]["file"], spaced);
  const ToolResult check = Run({"check"});
  EXPECT_EQ(check.status, 0) << check.out;
  EXPECT_EQ(Run({"add", folder.string()}).out,
            spaced + ": unchanged\n" + latin1 +
                ": unchanged\n2 files: 0 flights added, 2 unchanged, 0 duplicates, 0 not read\n");
}

TEST_F(LibraryTool, TwoWritersAtOnceBothSucceed) {
  std::vector<std::string> paths;
  for (int seed = 1; seed <= 4; ++seed)
    paths.push_back(Simulate("f" + std::to_string(seed) + ".bin",
                             "--seed " + std::to_string(seed) + " --frames 3000 --capture"));
  ToolResult a;
  ToolResult b;
  std::thread first([&] { a = Run({"add", paths[0], paths[1]}); });
  std::thread second([&] { b = Run({"add", paths[2], paths[3]}); });
  first.join();
  second.join();
  EXPECT_EQ(a.status, 0) << a.err;
  EXPECT_EQ(b.status, 0) << b.err;
  EXPECT_EQ(List().size(), 4u);
}

TEST_F(LibraryTool, LabelsAndExports) {
  const std::string flights = Simulate("flights.bin", "--scenario two-flights --capture");
  ASSERT_EQ(Run({"add", "--aircraft", "D-EABC", flights}).status, 0);
  ASSERT_EQ(Run({"label", "--aircraft", "N123", "2"}).status, 0);
  EXPECT_EQ(Run({"label", "--aircraft", "N123", "9"}).status, 1);
  const nlohmann::json list = List();
  EXPECT_EQ(list[0]["aircraft"], "D-EABC");
  EXPECT_EQ(list[1]["aircraft"], "N123");
  EXPECT_EQ(Run({"list", "--json", "--aircraft", "N123"}).out.find("\"id\":1,"), std::string::npos);

  const ToolResult lines = Run({"export", "--json"});
  std::istringstream in(lines.out);
  std::string line;
  int count = 0;
  while (std::getline(in, line))
    EXPECT_EQ(nlohmann::json::parse(line)["id"], ++count);
  EXPECT_EQ(count, 2);

  const ToolResult csv = Run({"export", "--csv"});
  const std::string header = csv.out.substr(0, csv.out.find("\r\n"));
  EXPECT_EQ(header.rfind("id,file,run,aircraft,model,start,start_s,end_s,", 0), 0u) << header;
  EXPECT_NE(header.find(",max_CHT3,"), std::string::npos);
  EXPECT_NE(header.find(",cruise_EGT1,"), std::string::npos);
  EXPECT_EQ(std::count(csv.out.begin(), csv.out.end(), '\n'), 3);
}

TEST(LibraryPath, OptionThenEnvironmentThenAbsoluteDataHomeThenHome) {
  struct Case {
    const char* option;
    const char* library;
    const char* dataHome;
    const char* home;
    const char* path;
  };
  const Case cases[] = {
      {"/x/my.sqlite", "/env/lib.sqlite", "/data", "/home/p", "/x/my.sqlite"},
      {nullptr, "/env/lib.sqlite", "/data", "/home/p", "/env/lib.sqlite"},
      {"", "", "/data", "/home/p", "/data/ovixlog/library.sqlite"},
      {nullptr, nullptr, "relative/data", "/home/p", "/home/p/.local/share/ovixlog/library.sqlite"},
      {nullptr, nullptr, nullptr, "/home/p", "/home/p/.local/share/ovixlog/library.sqlite"},
      {nullptr, nullptr, nullptr, nullptr, ""},
  };
  const auto set = [](const char* name, const char* value) {
    if (value != nullptr)
      ::setenv(name, value, 1);
    else
      ::unsetenv(name);
  };
  const std::string savedHome = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "";
  for (const Case& c : cases) {
    set("OVIXLOG_LIBRARY", c.library);
    set("XDG_DATA_HOME", c.dataHome);
    set("HOME", c.home);
    const std::optional<std::string> option =
        c.option != nullptr ? std::optional<std::string>(c.option) : std::nullopt;
    EXPECT_EQ(LibraryPath(option), c.path) << c.path;
  }
  ::unsetenv("OVIXLOG_LIBRARY");
  ::unsetenv("XDG_DATA_HOME");
  ::setenv("HOME", savedHome.c_str(), 1);
}

TEST_F(LibraryTool, BadUsageIsStatusTwo) {
  EXPECT_EQ(Run({}).status, 2);
  EXPECT_EQ(Run({"add"}).status, 2);
  EXPECT_EQ(Run({"add", "--model", "9999", "x"}).status, 2);
  EXPECT_EQ(Run({"export", "--json", "--csv"}).status, 2);
  EXPECT_EQ(Run({"--help"}).status, 0);
}

}  // namespace
}  // namespace ovixlog
