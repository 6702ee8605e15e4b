// The converter as a user runs it: a separate process, its exit status, stdout and stderr.
#include "converter.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "../document/doc_fixture.h"
#include "acquisition/demo_log_builder.h"

namespace ovixlog {
namespace {

using test::ReadWholeFile;

struct ProcessResult {
  int status;
  std::string out;
  std::string err;
};

ProcessResult Convert(const test::TempFolder& folder, const std::string& args) {
  const std::string out = folder / "stdout";
  const std::string err = folder / "stderr";
  const std::string command =
      std::string(OVIXLOG_CONVERT_EXE) + " " + args + " >" + out + " 2>" + err;
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
    EXPECT_EQ(run.err, "");
    if (c.outputFile.empty()) {
      EXPECT_EQ(run.out, c.expected);
    } else {
      EXPECT_EQ(run.out, "");
      EXPECT_EQ(ReadWholeFile(folder / c.outputFile), c.expected);
    }
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
    EXPECT_EQ(run.err, c.err);
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
      {folder / "missing.bin", 1, "Unable to open file: " + (folder / "missing.bin") + "\n"},
      {folder / "empty.bin", 1, "Empty file: " + (folder / "empty.bin") + "\n"},
      {folder / "missing.log", 1, "Unable to open demo log: " + (folder / "missing.log") + "\n"},
      {"-o " + (folder / "no/such/out.csv") + " " + (folder / "ok.bin"), 1,
       "Unable to write CSV file: " + (folder / "no/such/out.csv") + "\n"},
      {"-o /dev/full " + (folder / "ok.bin"), 1, "Unable to save file: /dev/full\n"},
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
