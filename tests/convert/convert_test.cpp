// The converter as a user runs it: a separate process, its exit status, stdout and stderr.
#include "converter.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../document/doc_fixture.h"
#include "acquisition/demo_log_builder.h"
#include "acquisition/frame_builder.h"

namespace ovixlog {
namespace {

using test::ReadWholeFile;

struct ProcessResult {
  int status;
  std::string out;
  std::string err;
};

// Runs the converter through the shell: `before` goes in front of the program (input from a
// pipe, limits), `args` after it. A converter that hangs is stopped after a minute.
ProcessResult Convert(const test::TempFolder& folder, const std::string& args,
                      const std::string& before = "") {
  const std::string out = folder / "stdout";
  const std::string err = folder / "stderr";
  const std::string command = before + "timeout 60 " + std::string(OVIXLOG_CONVERT_EXE) + " " +
                              args + " >" + out + " 2>" + err;
  const int raw = std::system(command.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadWholeFile(out), ReadWholeFile(err)};
}

// The table the document gives for `capture` with the given settings, as saved.
std::string ExpectedTable(const std::vector<uint8_t>& capture, StartupSettings settings, bool csv,
                          EngineModel readerModel = kModel5100) {
  settings.model = readerModel;
  test::DocFixture f(settings);
  const std::string path = f.folder / "capture.bin";
  test::WriteBytes(path, capture);
  EXPECT_TRUE(f.doc->ImportSerialFile(path));
  return f.Table(csv);
}

TEST(Converter, WritesTheTableToStdoutOrToTheNamedFile) {
  test::TempFolder folder;
  const std::vector<uint8_t> capture = test::Capture(40);
  test::WriteBytes(folder / "flight.bin", capture);
  StartupSettings all;
  all.keepAllSamples = 1;
  StartupSettings allOldest = all;
  allOldest.oldestFirst = 1;
  struct Case {
    std::string args;
    std::string expected;
    std::string outputFile;  // empty: stdout
  };
  const Case cases[] = {
      {"flight.bin", ExpectedTable(capture, {}, false), ""},
      {"--csv flight.bin", ExpectedTable(capture, {}, true), ""},
      {"--all --oldest flight.bin", ExpectedTable(capture, allOldest, false), ""},
      {"--all --newest --serial -o out.CSV flight.bin", ExpectedTable(capture, all, true),
       "out.CSV"},
      {"--all -o out.txt flight.bin", ExpectedTable(capture, all, false), "out.txt"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    std::string args = c.args;
    for (const char* name : {"flight.bin", "out.CSV", "out.txt"}) {
      const size_t at = args.find(name);
      if (at != std::string::npos)
        args.replace(at, std::string(name).size(), folder / name);
    }
    const ProcessResult run = Convert(folder, args);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "Imported 40 frames from flight.bin\n");
    if (c.outputFile.empty()) {
      EXPECT_EQ(run.out, c.expected);
    } else {
      EXPECT_EQ(run.out, "");
      EXPECT_EQ(ReadWholeFile(folder / c.outputFile), c.expected);
    }
  }
}

TEST(Converter, TablesLongerThanItsBatchesGoOutWholeAndInOrder) {
  test::TempFolder folder;
  // More samples than the writing thread's queue holds, ending part way into a batch.
  const std::vector<uint8_t> capture = test::Capture(17000);
  test::WriteBytes(folder / "long.bin", capture);
  StartupSettings all;
  all.keepAllSamples = 1;
  StartupSettings allOldest = all;
  allOldest.oldestFirst = 1;
  struct Case {
    std::string args;
    std::string expected;
    std::string outputFile;  // empty: stdout
  };
  const Case cases[] = {
      {"--all --oldest --csv", ExpectedTable(capture, allOldest, true), ""},
      {"--all --newest", ExpectedTable(capture, all, false), ""},
      {"--all --oldest -o long.csv", ExpectedTable(capture, allOldest, true), "long.csv"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    std::string args = c.args + " " + (folder / "long.bin");
    const size_t at = args.find("long.csv");
    if (at != std::string::npos)
      args.replace(at, 8, folder / "long.csv");
    const ProcessResult run = Convert(folder, args);
    EXPECT_EQ(run.status, 0);
    // The test capture's readings climb past what an engine turns, which earns a hint after it.
    EXPECT_EQ(run.err.substr(0, run.err.find('\n') + 1), "Imported 17,000 frames from long.bin\n");
    EXPECT_EQ(c.outputFile.empty() ? run.out : ReadWholeFile(folder / c.outputFile), c.expected);
  }
}

TEST(Converter, ModelAndFormatOptionsAndDemoLogSettings) {
  test::TempFolder folder;
  const std::vector<uint8_t> shortFrames = test::Capture(3, kModel3100);
  test::WriteBytes(folder / "short.bin", shortFrames);
  StartupSettings all;
  all.keepAllSamples = 1;
  ProcessResult run = Convert(folder, "--all --model 3100 " + (folder / "short.bin"));
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, ExpectedTable(shortFrames, all, false, kModel3100));

  test::WriteBytes(folder / "alt.bin", test::Capture(2, kModel5100, 1));
  run = Convert(folder, "--all --v39 --csv " + (folder / "alt.bin"));
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 3);

  // A demo log switches the model itself; the name decides the input kind.
  DemoLogBuilder log;
  log.Setting(0, "321=1").Stream(1000, shortFrames);
  test::WriteBytes(folder / "flight.LOG", log.bytes());
  run = Convert(folder, "--all --csv " + (folder / "flight.LOG"));
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.substr(0, run.out.find("\r\n")),
            "Flt-Time,Tach,CHT1,CHT2,EGT1,EGT2,OilT,OilP,OAT,Volt,Unit,Flow,Fuel,Hours,Cool,Aux1,"
            "Aux2,Aspd,Alt,VSI,Baro");
  run = Convert(folder, "--serial --all --csv " + (folder / "flight.LOG"));
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1) << "no frame in record form";
}

// A log whose settings change the model after samples were read: every row is printed as the
// window prints it, under the model the log leaves, whether the table is written while the
// file is read (a regular file, oldest first) or after it (standard input, newest first).
TEST(Converter, LogTablesMatchTheWindowsForEveryOption) {
  test::TempFolder folder;
  DemoLogBuilder log;
  log.Setting(0, "58=5").Stream(1000, test::Capture(30));
  log.Setting(4000, "58=7").Stream(5000, test::Capture(30));
  log.Setting(9000, "321=1").Stream(10000, test::Capture(20, kModel3100));
  const std::string path = folder / "flight.log";
  test::WriteBytes(path, log.bytes());
  struct Case {
    std::string args;
    bool keepAll;
    bool oldest;
    bool csv;
  };
  const Case cases[] = {
      {"", false, false, false},          {"--csv", false, false, true},
      {"--oldest", false, true, false},   {"--all --oldest --csv", true, true, true},
      {"--all --oldest", true, true, false}, {"--all", true, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    StartupSettings settings;
    settings.keepAllSamples = c.keepAll ? 1 : 0;
    settings.oldestFirst = c.oldest ? 1 : 0;
    test::DocFixture f(settings);
    ASSERT_TRUE(f.doc->ImportDemoLog(path));
    const std::string expected = f.Table(c.csv);
    const ProcessResult file = Convert(folder, c.args + " " + path);
    EXPECT_EQ(file.status, 0);
    EXPECT_EQ(file.out, expected);
    EXPECT_EQ(file.err, "Imported 80 frames from flight.log\n");
    const ProcessResult piped = Convert(folder, c.args + " --demo - <" + path);
    EXPECT_EQ(piped.status, 0);
    EXPECT_EQ(piped.out, expected);
    const std::string saved = folder / (c.csv ? "out.csv" : "out.txt");
    const ProcessResult named = Convert(folder, c.args + " -o " + saved + " " + path);
    EXPECT_EQ(named.status, 0);
    EXPECT_EQ(ReadWholeFile(saved), expected);
  }
}

TEST(Converter, HintsAtTheLayoutThatFramesTheCapture) {
  test::TempFolder folder;
  test::WriteBytes(folder / "long.bin", test::Capture(30, kModel5100));
  test::WriteBytes(folder / "short.bin", test::Capture(30, kModel3100));
  test::WriteBytes(folder / "alt.bin", test::Capture(30, kModel5100, 1));
  const std::string longHint =
      "ovixlog-convert: hint: these frames look like a long-layout model (73-byte frames); try "
      "--model 5100, 7100 or 8100 without --v39\n";
  struct Case {
    std::string args;
    std::string err;
  };
  const Case cases[] = {
      {"--model 3100 long.bin", longHint},
      {"--v39 long.bin", longHint},
      {"long.bin", ""},
      {"--model 8100 long.bin", ""},
      {"short.bin",
       "ovixlog-convert: hint: these frames look like Model 3100 (48-byte frames); try --model "
       "3100\n"},
      {"--model 3100 short.bin", ""},
      {"--model 7100 alt.bin",
       "ovixlog-convert: hint: these frames look like Model 5100 with v3.9 software (77-byte "
       "frames); try --model 5100 --v39\n"},
      {"--v39 alt.bin", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const std::string path = c.args.substr(c.args.rfind(' ') + 1);
    const std::string args = c.args.substr(0, c.args.size() - path.size()) + (folder / path);
    const ProcessResult run = Convert(folder, args);
    EXPECT_EQ(run.status, 0);
    // The hint is a line of its own after what the import reports.
    std::string hints;
    for (size_t at = run.err.find("ovixlog-convert: hint:"); at != std::string::npos;
         at = run.err.find("ovixlog-convert: hint:", at + 1)) {
      hints += run.err.substr(at, run.err.find('\n', at) + 1 - at);
    }
    EXPECT_EQ(hints, c.err);
  }
}

// Frames of a six-cylinder monitor, and of one that sends exhaust temperatures in the slots of
// CHT4-6 (its EGT7-9), both in the long layout the 5100 shares.
std::vector<uint8_t> CylinderCapture(int count, bool nineExhausts) {
  std::vector<uint8_t> bytes;
  EngineSample s = test::ExampleSample();
  for (int c = 0; c < 6; ++c) {
    s.cht[c] = static_cast<int16_t>(nineExhausts && c >= 3 ? 1350 + c : 350 + c);
    s.egt[c] = static_cast<int16_t>(1300 + c);
  }
  for (int i = 0; i < count; ++i)
    FrameBuilder::Append(bytes, s, kModel7100, 0);
  return bytes;
}

TEST(Converter, HintsAtTheModelWhoseColumnsTheReadingsFill) {
  test::TempFolder folder;
  test::WriteBytes(folder / "six.bin", CylinderCapture(30, false));
  test::WriteBytes(folder / "nine.bin", CylinderCapture(30, true));
  test::WriteBytes(folder / "short.bin", test::Capture(30, kModel3100));
  struct Case {
    std::string args;
    std::string err;
  };
  const Case cases[] = {
      {"six.bin",
       "ovixlog-convert: hint: these readings look like Model 7100, not Model 5100 (readings in "
       "CHT5-6 and EGT5-6); try --model 7100\n"},
      {"--model 7100 six.bin", ""},
      {"--model 8100 six.bin", ""},
      {"--model 7100 nine.bin",
       "ovixlog-convert: hint: these readings look like Model 8100, not Model 7100 (exhaust "
       "temperatures in the EGT7-9 slots); try --model 8100\n"},
      {"--model 8100 nine.bin", ""},
      // The bytes' hint says more than the readings of the few frames that framed by chance.
      {"short.bin",
       "ovixlog-convert: hint: these frames look like Model 3100 (48-byte frames); try --model "
       "3100\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const std::string path = c.args.substr(c.args.rfind(' ') + 1);
    const std::string args = c.args.substr(0, c.args.size() - path.size()) + (folder / path);
    const ProcessResult run = Convert(folder, args);
    EXPECT_EQ(run.status, 0);
    std::string hints;
    for (size_t at = run.err.find("ovixlog-convert: hint:"); at != std::string::npos;
         at = run.err.find("ovixlog-convert: hint:", at + 1)) {
      hints += run.err.substr(at, run.err.find('\n', at) + 1 - at);
    }
    EXPECT_EQ(hints, c.err);
  }
}

// A 7100's frames recorded while the model was set wrong: by ovixlog-record --model 5100 (the
// same layout, four cylinders shown) and by a window set to the 3100 (the short layout, which
// frames the bytes only by chance). The recording names the model it was made under; --model
// reads it as the monitor that sent it.
TEST(Converter, ModelGivenReadsARecordingMadeUnderAnotherModel) {
  test::TempFolder folder;
  std::vector<std::vector<uint8_t>> frames;
  std::vector<uint8_t> capture;
  EngineSample s = test::ExampleSample();
  for (int c = 0; c < 6; ++c) {
    s.cht[c] = static_cast<int16_t>(350 + c);
    s.egt[c] = static_cast<int16_t>(1300 + c);
  }
  for (int i = 0; i < 40; ++i) {
    s.tach = static_cast<int16_t>(2000 + i);
    frames.push_back(FrameBuilder::Build(s, kModel7100));
    capture.insert(capture.end(), frames.back().begin(), frames.back().end());
  }
  constexpr int64_t kStart = 1796825002500;
  test::WriteBytes(folder / "as5100.log",
                   test::UnclosedRecording(frames, kModel5100, 0, kStart, 3600));
  test::WriteBytes(folder / "as3100.log",
                   test::UnclosedRecording(frames, kModel3100, 0, kStart, 3600));
  StartupSettings all;
  all.keepAllSamples = 1;
  const std::string sixCylinders = ExpectedTable(capture, all, true, kModel7100);
  // Newest first: the last frame's row follows the header.
  ASSERT_EQ(sixCylinders.substr(0, sixCylinders.find("\r\n", sixCylinders.find("\r\n") + 2)),
            "Flt-Time,Tach,CHT1,CHT2,CHT3,CHT4,CHT5,CHT6,EGT1,EGT2,EGT3,EGT4,EGT5,EGT6,OilT,OilP,"
            "OAT,Volt,Unit,Flow,Fuel,Hours,Carb,Cool,Aux1,Aux2,Aux3,Aux4,Aux5,Aux6,Aspd,Alt,VSI,"
            "Baro\r\n01:02:03,2039, 350, 351, 352, 353, 354, 355,1300,1301,1302,1303,1304,1305, "
            "190,  65, 12,14.1,   0, 8.5,22.4,123.4,   0, 180,   1,   2,   0,   0,   0,   0, 120, "
            "5500, -300,29.92");
  struct Case {
    std::string args;
    std::string table;
    std::string hints;
  };
  const Case cases[] = {
      {"--model 7100 as5100.log", sixCylinders, ""},
      {"--model 7100 as3100.log", sixCylinders, ""},
      // Without --model the model the recording names holds, and the readings say what to give.
      {"as5100.log", ExpectedTable(capture, all, true, kModel5100),
       "ovixlog-convert: hint: these readings look like Model 7100, not Model 5100 (readings in "
       "CHT5-6 and EGT5-6); try --model 7100\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const std::string path = c.args.substr(c.args.rfind(' ') + 1);
    const std::string args =
        "--all --csv " + c.args.substr(0, c.args.size() - path.size()) + (folder / path);
    const ProcessResult run = Convert(folder, args);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, c.table);
    std::string hints;
    for (size_t at = run.err.find("ovixlog-convert: hint:"); at != std::string::npos;
         at = run.err.find("ovixlog-convert: hint:", at + 1)) {
      hints += run.err.substr(at, run.err.find('\n', at) + 1 - at);
    }
    EXPECT_EQ(hints, c.hints);
  }
}

TEST(Converter, ReportsFailuresWithTheirExitStatus) {
  test::TempFolder folder;
  test::WriteBytes(folder / "empty.bin", {});
  test::WriteBytes(folder / "ok.bin", test::Capture(2));
  struct Case {
    std::string args;
    int status;
    std::string errStart;
  };
  const Case cases[] = {
      {folder / "missing.bin", 1,
       "Unable to open file: " + (folder / "missing.bin") + " (No such file or directory)\n"},
      {folder / "empty.bin", 1, "Empty file: " + (folder / "empty.bin") + "\n"},
      {folder / "missing.log", 1,
       "Unable to open demo log: " + (folder / "missing.log") + " (No such file or directory)\n"},
      {"-o " + (folder / "no/such/out.csv") + " " + (folder / "ok.bin"), 1,
       "Imported 2 frames from ok.bin\nUnable to write CSV file: " + (folder / "no/such/out.csv") +
           " (No such file or directory)\n"},
      {"-o /dev/full " + (folder / "ok.bin"), 1,
       "Imported 2 frames from ok.bin\nUnable to save file: /dev/full (Not a regular file)\n"},
      {"-o " + (folder / "ok.bin") + " " + (folder / "ok.bin"), 2,
       "ovixlog-convert: the output file is the input file"},
      {"-o '' " + (folder / "ok.bin"), 2, "ovixlog-convert: -o needs a file name"},
      {"", 2, "ovixlog-convert: no input file\nUsage:"},
      {"--model 9100 x", 2, "ovixlog-convert: unknown model 9100"},
      {"--bogus x", 2, "ovixlog-convert: unknown option --bogus"},
      {"a b", 2, "ovixlog-convert: only one input file"},
      {"--serial --demo x", 2, "ovixlog-convert: --serial and --demo exclude each other"},
      {"x -o", 2, "ovixlog-convert: -o needs a value"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const ProcessResult run = Convert(folder, c.args);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.err.substr(0, c.errStart.size()), c.errStart);
    EXPECT_EQ(run.out, "");
  }
  const ProcessResult help = Convert(folder, "--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out, ConverterUsage());
  EXPECT_EQ(help.err, "");
}

TEST(Converter, AFileSizeLimitIsAWriteErrorNotAKill) {
  test::TempFolder folder;
  test::WriteBytes(folder / "big.bin", test::Capture(300));
  const std::string out = folder / "table.txt";
  // Past the limit a write fails with "File too large"; the signal that the limit also raises
  // would otherwise end the converter at once and leave no word of why.
  const ProcessResult run = Convert(folder, "--all -o " + out + " " + (folder / "big.bin"),
                                    "ulimit -f 8; ");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("(File too large)\n"), std::string::npos) << run.err;
  EXPECT_FALSE(std::filesystem::exists(out));
}

TEST(Converter, RefusesOutputsThatWouldHangOrDestroySomething) {
  test::TempFolder folder;
  const std::vector<uint8_t> capture = test::Capture(2);
  test::WriteBytes(folder / "ok.bin", capture);
  const std::string fifo = folder / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  ProcessResult run = Convert(folder, "-o " + fifo + " " + (folder / "ok.bin"));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "Imported 2 frames from ok.bin\nUnable to save file: " + fifo +
                         " (Not a regular file)\n");
  run = Convert(folder, "-o " + (folder / "ok.bin") + " " + (folder / "ok.bin"));
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(ReadWholeFile(folder / "ok.bin"), std::string(capture.begin(), capture.end()));
}

TEST(Converter, SavesUnderTheLongestLegalName) {
  test::TempFolder folder;
  test::WriteBytes(folder / "ok.bin", test::Capture(2));
  const std::string out = folder / (std::string(251, 'n') + ".csv");
  const ProcessResult run = Convert(folder, "-o " + out + " " + (folder / "ok.bin"));
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "Imported 2 frames from ok.bin\n");
  EXPECT_EQ(ReadWholeFile(out), ExpectedTable(test::Capture(2), {}, true));
}

// A save killed halfway (here by the file size limit's signal) leaves nothing behind, and the
// next save into the folder works as ever.
TEST(Converter, KilledSaveLeavesNoPartialFile) {
  test::TempFolder folder;
  test::TempFolder outFolder;
  test::WriteBytes(folder / "big.bin", test::Capture(3000));
  const std::string args = "--all -o " + (outFolder / "out.csv") + " " + (folder / "big.bin");
  ProcessResult run = Convert(folder, args, "ulimit -c 0; ulimit -f 64; ");
  EXPECT_NE(run.status, 0);
  EXPECT_EQ(outFolder.Entries(), std::vector<std::string>{});
  run = Convert(folder, args);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(outFolder.Entries(), std::vector<std::string>{"out.csv"});
}

TEST(Converter, ReadsPipesFifosAndStandardInput) {
  test::TempFolder folder;
  const std::vector<uint8_t> capture = test::Capture(40);
  test::WriteBytes(folder / "flight.bin", capture);
  DemoLogBuilder log;
  log.Setting(0, "321=1").Stream(1000, test::Capture(3, kModel3100));
  test::WriteBytes(folder / "flight.log", log.bytes());
  StartupSettings all;
  all.keepAllSamples = 1;
  const std::string expected = ExpectedTable(capture, all, true);
  const std::string fifo = folder / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  struct Case {
    std::string before;
    std::string args;
    std::string err;
  };
  const Case cases[] = {
      {"cat " + (folder / "flight.bin") + " | ", "--all --csv -",
       "Imported 40 frames from standard input\n"},
      {"", "--all --csv - < " + (folder / "flight.bin"),
       "Imported 40 frames from standard input\n"},
      {"cat " + (folder / "flight.bin") + " > " + fifo + " & ", "--all --csv " + fifo,
       "Imported 40 frames from fifo\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.before + c.args);
    const ProcessResult run = Convert(folder, c.args, c.before);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(run.out, expected);
  }
  const ProcessResult demo =
      Convert(folder, "--all --csv --demo -", "cat " + (folder / "flight.log") + " | ");
  EXPECT_EQ(demo.status, 0);
  EXPECT_EQ(demo.err, "Imported 3 frames from standard input\n");
  EXPECT_EQ(std::count(demo.out.begin(), demo.out.end(), '\n'), 4);
}

TEST(Converter, AFileWithoutFramesIsAWarningOnly) {
  test::TempFolder folder;
  test::WriteBytes(folder / "noise.bin", std::vector<uint8_t>(3000, 0x55));
  const ProcessResult run = Convert(folder, "--csv " + (folder / "noise.bin"));
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "No frames found in noise.bin \u2014 is the monitor model right?\n");
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1);
}

// A demo log is streamed as well: one far larger than the samples it holds is read to its end
// in bounded memory, and its table written oldest first while it is read.
TEST(Converter, ReadsAHugeSparseDemoLogInBoundedMemory) {
  test::TempFolder folder;
  const std::string path = folder / "huge.log";
  const std::vector<uint8_t> frames = test::Capture(2);
  DemoLogBuilder head;
  head.Stream(0, frames);
  // Records of type 0 without payload: nine zero bytes each, which a sparse file reads as.
  const off_t size = off_t{256} << 20;
  const off_t tail = size - ((size - static_cast<off_t>(head.bytes().size())) % 9);
  {
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, head.bytes().data(), head.bytes().size(), 0),
              static_cast<ssize_t>(head.bytes().size()));
    DemoLogBuilder last;
    last.Stream(5000, frames);
    ASSERT_EQ(::pwrite(fd, last.bytes().data(), last.bytes().size(), tail),
              static_cast<ssize_t>(last.bytes().size()));
    ::close(fd);
  }
  const std::string out = folder / "out.csv";
  const char* argv[] = {OVIXLOG_CONVERT_EXE, "--all", "--oldest", "-o", out.c_str(), path.c_str(),
                        nullptr};
  pid_t pid = 0;
  ASSERT_EQ(
      posix_spawn(&pid, OVIXLOG_CONVERT_EXE, nullptr, nullptr, const_cast<char**>(argv), environ),
      0);
  int status = 0;
  rusage usage{};
  ASSERT_EQ(::wait4(pid, &status, 0, &usage), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  const std::string csv = ReadWholeFile(out);
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 5) << "the four frames and the titles";
  EXPECT_LT(usage.ru_maxrss, 100 * 1024) << "peak resident memory in KB";
}

// A huge capture is streamed: resident memory grows with the samples kept, not with the file.
TEST(Converter, ImportsAHugeSparseCaptureInBoundedMemory) {
  test::TempFolder folder;
  const std::string path = folder / "huge.bin";
  const off_t size = off_t{512} << 20;
  {
    const std::vector<uint8_t> frames = test::Capture(2);
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, frames.data(), frames.size(), 0), static_cast<ssize_t>(frames.size()));
    ASSERT_EQ(::pwrite(fd, frames.data(), frames.size(), size - static_cast<off_t>(frames.size())),
              static_cast<ssize_t>(frames.size()));
    ::close(fd);
  }
  const std::string out = folder / "out.csv";
  const char* argv[] = {OVIXLOG_CONVERT_EXE, "--all", "-o", out.c_str(), path.c_str(), nullptr};
  pid_t pid = 0;
  ASSERT_EQ(
      posix_spawn(&pid, OVIXLOG_CONVERT_EXE, nullptr, nullptr, const_cast<char**>(argv), environ),
      0);
  int status = 0;
  rusage usage{};
  ASSERT_EQ(::wait4(pid, &status, 0, &usage), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  const std::string csv = ReadWholeFile(out);
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 5) << "the four frames and the titles";
  EXPECT_LT(usage.ru_maxrss, 100 * 1024) << "peak resident memory in KB";
}

}  // namespace
}  // namespace ovixlog
