#include "framework/startup_options.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "acquisition/engine_sample.h"
#include "framework/command_line_info.h"
#include "framework/startup_settings.h"

namespace ovixlog {
namespace {

// Everything a command line decides: the settings after ApplyStartupOptions (left at their
// defaults when it fails), the shell command and its file, and whether a model is still awaited.
struct Outcome {
  bool applied = true;
  int32_t commPort = 1;
  int32_t model = kModel5100;
  int32_t keepAll = 0;
  int32_t showTime = 0;
  int32_t oldestFirst = 0;
  int32_t v39 = 0;
  std::string portDevice;
  int32_t autoSave = 0;
  std::string autoSavePath;
  ShellCommand command = ShellCommand::kFileNew;
  std::string fileName;
  std::string badOption;
  int32_t awaitingModel = 0;
  bool operator==(const Outcome&) const = default;
};

const char* CommandName(ShellCommand command) {
  switch (command) {
    case ShellCommand::kFileNew:
      return "FileNew";
    case ShellCommand::kFileOpen:
      return "FileOpen";
    case ShellCommand::kPrintHelp:
      return "PrintHelp";
    case ShellCommand::kPrintVersion:
      return "PrintVersion";
    case ShellCommand::kUsageError:
      return "UsageError";
  }
  return "?";
}

void PrintTo(const Outcome& o, std::ostream* os) {
  *os << "{applied=" << o.applied << " port=" << o.commPort << " model=" << o.model
      << " keepAll=" << o.keepAll << " time=" << o.showTime << " oldest=" << o.oldestFirst
      << " v39=" << o.v39 << " device=\"" << o.portDevice << "\""
      << " autoSave=" << o.autoSave << " \"" << o.autoSavePath << "\" " << CommandName(o.command)
      << " file=\"" << o.fileName << "\" bad=\"" << o.badOption
      << "\" awaitingModel=" << o.awaitingModel << "}";
}

Outcome Decide(const std::vector<std::string>& args) {
  StartupOptions options;
  ParseCommandLine(args, options);
  StartupSettings settings;
  Outcome o;
  o.applied = ApplyStartupOptions(options, settings);
  o.commPort = settings.commPort;
  o.model = settings.model;
  o.keepAll = settings.keepAllSamples;
  o.showTime = settings.showSystemTime;
  o.oldestFirst = settings.oldestFirst;
  o.v39 = settings.altFrameFormat;
  o.portDevice = settings.portDevice;
  o.autoSave = settings.autoSaveEnabled;
  o.autoSavePath = settings.autoSavePath;
  o.command = options.shellCommand;
  o.fileName = options.fileName;
  o.badOption = options.badOption;
  o.awaitingModel = options.awaitingModel;
  return o;
}

// Builders for the expected outcomes, starting from the defaults.
Outcome Port(int32_t port) {
  Outcome o;
  o.commPort = port;
  return o;
}
Outcome Model(EngineModel model) {
  Outcome o;
  o.model = model;
  o.awaitingModel = 1;
  return o;
}
Outcome Opens(const std::string& file, Outcome o = Outcome{}) {
  o.command = ShellCommand::kFileOpen;
  o.fileName = file;
  return o;
}
Outcome Output(const std::string& path) {
  Outcome o;
  o.autoSave = 1;
  o.autoSavePath = path;
  return o;
}
Outcome Command(ShellCommand command, const std::string& badOption = "") {
  Outcome o;
  o.command = command;
  o.badOption = badOption;
  return o;
}
Outcome Failed() {
  Outcome o;
  o.applied = false;
  return o;
}
template <typename F>
Outcome With(Outcome o, F change) {
  change(o);
  return o;
}

struct Case {
  std::vector<std::string> args;
  Outcome expected;
};

std::string Joined(const std::vector<std::string>& args) {
  std::string text = "args:";
  for (const auto& a : args)
    text += " [" + a + "]";
  return text;
}

void Check(const std::vector<Case>& cases) {
  ASSERT_EQ(TheStartupSettings().oldestFirst, 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(Joined(c.args));
    EXPECT_EQ(Decide(c.args), c.expected);
  }
}

TEST(StartupOptions, PortOptions) {
  Check({
      {{}, Outcome{}},
      {{"5"}, Port(5)},
      {{"-5"}, Port(5)},
      {{"/5"}, Port(5)},
      {{"1"}, Port(1)},
      {{"8"}, Port(8)},
      {{"1", "2"}, Port(2)},
      {{"0"}, Opens("0")},
      {{"10"}, Opens("10")},
      {{"9"}, Opens("9")},
      {{"05"}, Opens("05")},
      {{"/9"}, Opens("/9")},
      {{"--5"}, Command(ShellCommand::kUsageError, "-5")},
      {{"-0"}, Command(ShellCommand::kUsageError, "0")},
  });
}

TEST(StartupOptions, ModelTakesTheFirstCharacterOfTheParameterAfterM) {
  Check({
      {{"m", "3100"}, Model(kModel3100)},
      {{"m", "5100"}, Model(kModel5100)},
      {{"m", "7100"}, Model(kModel7100)},
      {{"m", "8100"}, Model(kModel8100)},
      {{"-m", "-7100"}, Model(kModel7100)},
      {{"/m", "7x"}, Model(kModel7100)},
      // "/7100" is not an option word, so it arrives whole; its '/' names no model and the
      // parameter is used up without choosing one or naming a file.
      {{"-m", "/7100"}, Outcome{}},
      // A bare digit is a port before it is a model.
      {{"m", "8"}, With(Port(8), [](Outcome& o) { o.awaitingModel = 1; })},
      {{"m", "8", "8100"}, With(Model(kModel8100), [](Outcome& o) { o.commPort = 8; })},
      {{"m", "a"}, Outcome{}},
      {{"m", ""}, Outcome{}},
      {{"m", "x", "7100"}, Opens("7100")},
      // Only the first model counts: a second "m" waits, but its value goes to the framework.
      {{"m", "5100", "m", "3100"}, Opens("3100", Model(kModel5100))},
      {{"m"}, With(Outcome{}, [](Outcome& o) { o.awaitingModel = 1; })},
      {{"3100"}, Opens("3100")},
  });
}

TEST(StartupOptions, SwitchesAndOrder) {
  Check({
      {{"a"}, With(Outcome{}, [](Outcome& o) { o.keepAll = 1; })},
      {{"t"}, With(Outcome{}, [](Outcome& o) { o.showTime = 1; })},
      {{"oldest"}, With(Outcome{}, [](Outcome& o) { o.oldestFirst = 1; })},
      {{"/oldest"}, With(Outcome{}, [](Outcome& o) { o.oldestFirst = 1; })},
      {{"oldest", "newest"}, Outcome{}},
      {{"newest", "-oldest"}, With(Outcome{}, [](Outcome& o) { o.oldestFirst = 1; })},
      {{"t", "a", "oldest"},
       With(Outcome{},
            [](Outcome& o) {
              o.keepAll = 1;
              o.showTime = 1;
              o.oldestFirst = 1;
            })},
  });
}

TEST(StartupOptions, DeviceAndFrameFormat) {
  const auto device = [](const std::string& path, Outcome o = Outcome{}) {
    o.portDevice = path;
    return o;
  };
  const Outcome v39 = With(Outcome{}, [](Outcome& o) { o.v39 = 1; });
  Check({
      {{"--v39"}, v39},
      {{"-v39"}, Command(ShellCommand::kUsageError, "v39")},
      {{"v39"}, Opens("v39")},
      {{"--port", "/dev/ttyUSB0"}, device("/dev/ttyUSB0")},
      {{"--port=/dev/ttyACM1"}, device("/dev/ttyACM1")},
      {{"3", "--port", "/dev/serial/by-id/usb-X-if00-port0"},
       device("/dev/serial/by-id/usb-X-if00-port0", Port(3))},
      // The value of --port is taken whatever it looks like.
      {{"--port", "5"}, device("5")},
      {{"--port", "m", "7100"}, Opens("7100", device("m"))},
      {{"--port", "-x"}, device("x")},
      {{"--port", "/dev/a", "--port", "/dev/b"}, device("/dev/b")},
      {{"--port"}, Failed()},
      {{"--port="}, Failed()},
      {{"--port", ""}, Failed()},
      {{"--v39", "m", "3100", "--port", "/dev/x", "a"},
       With(device("/dev/x", Model(kModel3100)),
            [](Outcome& o) {
              o.v39 = 1;
              o.keepAll = 1;
            })},
  });
}

TEST(StartupOptions, LeftOutSwitchesKeepTheCurrentSettings) {
  StartupSettings& current = TheStartupSettings();
  current.keepAllSamples = 1;
  current.showSystemTime = 1;
  current.altFrameFormat = 1;
  current.oldestFirst = 1;
  const Outcome keeps = Decide({});
  const Outcome newest = Decide({"newest", "a"});
  current = StartupSettings{};
  const Outcome all = With(Outcome{}, [](Outcome& o) {
    o.keepAll = 1;
    o.showTime = 1;
    o.v39 = 1;
    o.oldestFirst = 1;
  });
  EXPECT_EQ(keeps, all);
  EXPECT_EQ(newest, With(all, [](Outcome& o) { o.oldestFirst = 0; }));
}

TEST(StartupOptions, OptionWordsAreCaseSensitive) {
  Check({
      {{"M"}, Opens("M")},
      {{"A"}, Opens("A")},
      {{"T"}, Opens("T")},
      {{"O"}, Opens("O")},
      {{"Newest"}, Opens("Newest")},
      {{"OLDEST"}, Opens("OLDEST")},
      {{"/Newest"}, Opens("/Newest")},
      {{"-M"}, Command(ShellCommand::kUsageError, "M")},
  });
}

TEST(StartupOptions, OutputFile) {
  Check({
      {{"o", "out.csv"}, Output("out.csv")},
      {{"/o", "/home/pilot/flight.csv"}, Output("/home/pilot/flight.csv")},
      {{"o"}, Failed()},
      {{"o", ""}, Failed()},
      {{"o", "newest"}, Output("newest")},
      {{"oldest", "o", "newest"}, With(Output("newest"), [](Outcome& o) { o.oldestFirst = 1; })},
      {{"o", "3", "f"}, With(Output("f"), [](Outcome& o) { o.commPort = 3; })},
      {{"o", "a", "f"}, With(Output("f"), [](Outcome& o) { o.keepAll = 1; })},
      {{"-o", "-a"}, Failed()},
      {{"o", "a.csv", "b.csv"}, Opens("b.csv", Output("a.csv"))},
      // The file comes first, so it is the file to open and "o" is left without a name.
      {{"f.csv", "o"}, Opens("f.csv", Failed())},
      {{"o", "x.csv", "o", "y.csv"}, Opens("y.csv", Output("x.csv"))},
  });
}

TEST(StartupOptions, FileNamesHelpVersionAndUnknownFlags) {
  Check({
      {{"/tmp/capture.bin"}, Opens("/tmp/capture.bin")},
      {{"flight.log", "other.log"}, Opens("flight.log")},
      {{"/h"}, Opens("/h")},
      {{""}, Outcome{}},
      {{"-h"}, Command(ShellCommand::kPrintHelp)},
      {{"--help"}, Command(ShellCommand::kPrintHelp)},
      {{"-?"}, Command(ShellCommand::kPrintHelp)},
      {{"--version"}, Command(ShellCommand::kPrintVersion)},
      {{"-version"}, Command(ShellCommand::kUsageError, "version")},
      {{"-help"}, Command(ShellCommand::kUsageError, "help")},
      {{"-x"}, Command(ShellCommand::kUsageError, "x")},
      {{"--verbose"}, Command(ShellCommand::kUsageError, "-verbose")},
      {{"-"}, Command(ShellCommand::kUsageError, "")},
      {{"-x", "-y"}, Command(ShellCommand::kUsageError, "x")},
      {{"-x", "--help"}, Command(ShellCommand::kPrintHelp, "x")},
      {{"--help", "-x"}, Command(ShellCommand::kPrintHelp, "x")},
      {{"-x", "--version"}, Command(ShellCommand::kPrintVersion, "x")},
      {{"--help", "--version"}, Command(ShellCommand::kPrintHelp)},
      {{"--version", "--help"}, Command(ShellCommand::kPrintHelp)},
      {{"f.csv", "-x"},
       With(Command(ShellCommand::kUsageError, "x"), [](Outcome& o) { o.fileName = "f.csv"; })},
      {{"-x", "f.csv"},
       With(Command(ShellCommand::kUsageError, "x"), [](Outcome& o) { o.fileName = "f.csv"; })},
  });
}

TEST(StartupOptions, SplitterMarksOnlyTheLastArgumentLast) {
  struct Recorder : CommandLineInfo {
    void ParseParam(const char* param, bool flag, bool last) override {
      seen.push_back(std::string(param) + (flag ? " flag" : "") + (last ? " last" : ""));
    }
    std::vector<std::string> seen;
  };
  Recorder recorder;
  ParseCommandLine({"-5", "/m", "/x", "7100", "--help", "/oldest", "//o", "o"}, recorder);
  EXPECT_EQ(recorder.seen, (std::vector<std::string>{"5 flag", "m flag", "/x", "7100", "-help flag",
                                                     "oldest flag", "//o", "o last"}));
}

TEST(StartupOptions, OrderStartsFromTheCurrentSetting) {
  TheStartupSettings().oldestFirst = 1;
  const Outcome keeps = Decide({});
  const Outcome overridden = Decide({"newest"});
  TheStartupSettings().oldestFirst = 0;
  EXPECT_EQ(keeps, With(Outcome{}, [](Outcome& o) { o.oldestFirst = 1; }));
  EXPECT_EQ(overridden, Outcome{});
}

TEST(ApplyStartupOptions, RejectsOutOfRangeValuesAndLeavesSettingsAlone) {
  struct ApplyCase {
    const char* name;
    int32_t port;
    int32_t model;
    bool ok;
    int32_t commPort;
    int32_t storedModel;
  };
  const ApplyCase cases[] = {
      {"nothing requested", -1, -1, true, 4, kModel7100},
      {"port 1", 1, -1, true, 1, kModel7100},
      {"port 8", 8, -1, true, 8, kModel7100},
      {"port 0", 0, -1, false, 4, kModel7100},
      {"port 9", 9, -1, false, 4, kModel7100},
      {"port -2", -2, -1, false, 4, kModel7100},
      {"model 0", -1, 0, true, 4, 0},
      {"model 3", -1, 3, true, 4, 3},
      {"model 4", -1, 4, false, 4, kModel7100},
      {"model -2", -1, -2, false, 4, kModel7100},
      {"good port, bad model", 6, 4, false, 4, kModel7100},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    StartupSettings before;
    before.commPort = 4;
    before.model = kModel7100;
    before.keepAllSamples = 1;
    before.showSystemTime = 1;
    before.oldestFirst = 1;
    before.autoSaveEnabled = 1;
    before.autoSavePath = "earlier.csv";
    StartupOptions options;
    options.requestedPort = c.port;
    options.requestedModel = c.model;
    options.requestedOrder = 0;
    StartupSettings settings = before;
    EXPECT_EQ(ApplyStartupOptions(options, settings), c.ok);
    StartupSettings expected = before;
    if (c.ok) {
      // The switches and the order are copied whether or not they were given.
      expected.commPort = c.commPort;
      expected.model = c.storedModel;
      expected.keepAllSamples = 0;
      expected.showSystemTime = 0;
      expected.oldestFirst = 0;
      expected.altFrameFormat = 0;
    }
    EXPECT_EQ(settings, expected);
  }
}

TEST(ImportKindFor, OnlyDotLogInAnyCaseIsADemoRecording) {
  const std::pair<const char*, ImportKind> cases[] = {
      {"flight.log", ImportKind::kDemoLog},
      {"/home/pilot/FLIGHT.LOG", ImportKind::kDemoLog},
      {"a.Log", ImportKind::kDemoLog},
      {".log", ImportKind::kDemoLog},
      {"log", ImportKind::kSerialFile},
      {"flightlog", ImportKind::kSerialFile},
      {"flight.log.bin", ImportKind::kSerialFile},
      {"flight.csv", ImportKind::kSerialFile},
      {"/tmp/x.log/", ImportKind::kSerialFile},
      {"", ImportKind::kSerialFile},
  };
  for (const auto& [path, kind] : cases) {
    SCOPED_TRACE(path);
    EXPECT_EQ(ImportKindFor(path), kind);
  }
}

TEST(UsageText, HasOneTerminalWideLineForEveryOption) {
  const std::string usage = UsageText();
  const char* const options[] = {"  1 ... 8 ",
                                 "  m <3100|5100|7100|8100> ",
                                 "  --port DEVICE ",
                                 "  --v39 ",
                                 "  a ",
                                 "  t ",
                                 "  newest ",
                                 "  oldest ",
                                 "  o <file> ",
                                 "  <file> ",
                                 "  -h, --help ",
                                 "  --version "};
  for (const char* option : options) {
    SCOPED_TRACE(option);
    EXPECT_NE(usage.find(std::string("\n") + option), std::string::npos);
  }
  EXPECT_EQ(usage.substr(0, usage.find('\n')), "Usage: ovixlog [option...] [file]");
  EXPECT_EQ(usage.back(), '\n');
  size_t start = 0;
  for (size_t end = usage.find('\n'); end != std::string::npos; end = usage.find('\n', start)) {
    EXPECT_LE(end - start, 80u) << usage.substr(start, end - start);
    start = end + 1;
  }
}

TEST(VersionText, NamesTheRelease) {
  EXPECT_EQ(VersionText(), "OvixLog release 11 (2015-03-09)");
}

}  // namespace
}  // namespace ovixlog
