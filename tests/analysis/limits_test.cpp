// Reading the limits file: what each line sets, and the errors that name file and line.
#include "analysis/limits.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "analysis/summary_writer.h"
#include "support/temp_folder.h"

namespace ovixlog {
namespace {

std::vector<std::string> Describe(const std::vector<ColumnLimit>& limits) {
  std::vector<std::string> out;
  for (const ColumnLimit& l : limits) {
    out.push_back(ColumnTitle(l.column) + "." + std::string(LimitKindName(l.kind)) + "=" +
                  NumberText(l.value));
  }
  return out;
}

TEST(Limits, FileLinesOverTheDefaults) {
  struct Case {
    const char* name;
    std::string text;
    EngineModel model;
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases = {
      {"the defaults",
       "",
       kModel3100,
       {"CHT1.max=435", "CHT2.max=435", "EGT1.max=1650", "EGT2.max=1650", "OilT.max=245",
        "OilP.min=25", "Volt.max=15", "Volt.min=12"}},
      {"a single cylinder overrides its group; the group's own line changes the rest",
       "[limits]\nCHT.max = 420\nCHT3.max=400\n",
       kModel5100,
       {"CHT1.max=420", "CHT2.max=420", "CHT3.max=400", "CHT4.max=420", "EGT1.max=1650",
        "EGT2.max=1650", "EGT3.max=1650", "EGT4.max=1650", "OilT.max=245", "OilP.min=25",
        "Volt.max=15", "Volt.min=12"}},
      {"comments, blank lines, spaces, off, new columns and min of a group",
       "# engine limits\n\n  [limits]  \n; volts are not watched\nVolt.min = off\r\n"
       "Volt.max=off\nTach.max = 2700   # redline\nCHT.min = 150.5\nEGT.max = off\nOilT.max = off\n"
       "OilP.min = off\nAlt.max = 12500\n",
       kModel3100,
       {"Tach.max=2700", "CHT1.max=435", "CHT1.min=150.5", "CHT2.max=435", "CHT2.min=150.5",
        "Alt.max=12500"}},
      {"cylinder limits a model does not have are left out",
       "[limits]\nCHT5.max = 400\n",
       kModel5100,
       {"CHT1.max=435", "CHT2.max=435", "CHT3.max=435", "CHT4.max=435", "EGT1.max=1650",
        "EGT2.max=1650", "EGT3.max=1650", "EGT4.max=1650", "OilT.max=245", "OilP.min=25",
        "Volt.max=15", "Volt.min=12"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Limits limits = Limits::Defaults();
    std::string error;
    ASSERT_TRUE(limits.Apply(c.text, "limits.ini", error)) << error;
    EXPECT_EQ(Describe(limits.ForModel(c.model)), c.expected);
  }
}

TEST(Limits, ABadLineIsAnErrorNamingFileAndLine) {
  struct Case {
    std::string text;
    std::string error;
  };
  const std::vector<Case> cases = {
      {"CHT.max = 400\n", "my.ini:1: a limit before the [limits] line"},
      {"[limits]\n[engine]\n", "my.ini:2: unknown section [engine] (only [limits])"},
      {"[limits]\n\nFOO.max = 3\n", "my.ini:3: unknown column 'FOO'"},
      {"[limits]\nCHT7.max = 3\n", "my.ini:2: unknown column 'CHT7'"},
      {"[limits]\nEGT10.max = 3\n", "my.ini:2: unknown column 'EGT10'"},
      {"[limits]\nCHT.avg = 3\n", "my.ini:2: the kind must be max or min, not 'avg'"},
      {"[limits]\nCHT.max 435\n", "my.ini:2: expected COLUMN.max = VALUE or COLUMN.min = VALUE"},
      {"[limits]\nCHT = 435\n", "my.ini:2: expected COLUMN.max or COLUMN.min before '='"},
      {"[limits]\nCHT.max = hot\n", "my.ini:2: 'hot' is not a number (or off)"},
      {"[limits]\nCHT.max =\n", "my.ini:2: '' is not a number (or off)"},
      {"[limits]\nCHT.max = 4e999\n", "my.ini:2: '4e999' is not a number (or off)"},
      {"[limits]\nCHT.max = 400\nOilP.min = 20\nCHT.max = 410\n", "my.ini:4: CHT.max is set twice"},
      {"[limits]\ncht.max = 400\n", "my.ini:2: unknown column 'cht'"},
      {"[limits]\nCHT.max = 1e60\n", "my.ini:2: '1e60' is out of range (-100000 to 100000)"},
      {"[limits]\nOilP.min = -100000.5\n",
       "my.ini:2: '-100000.5' is out of range (-100000 to 100000)"},
      {std::string("[limits]\nCH\0T.max = 400\n", 24),
       "my.ini:2: a control character (0x00) at column 3; the file must be plain text"},
      {"[limits]\nCHT.max = 4\x1b[0m00\n",
       "my.ini:2: a control character (0x1B) at column 12; the file must be plain text"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Limits limits = Limits::Defaults();
    std::string error;
    EXPECT_FALSE(limits.Apply(c.text, "my.ini", error));
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(limits, Limits::Defaults());  // nothing changed
  }
}

TEST(Limits, WrittenTextReadsBackTheSame) {
  Limits limits = Limits::Defaults();
  limits.Set("CHT3", LimitKind::kMax, 412.25);
  limits.Set("Volt", LimitKind::kMin, std::nullopt);
  limits.Set("Flow", LimitKind::kMax, 0.1);
  EXPECT_EQ(limits.ToIni(),
            "[limits]\nCHT.max = 435\nCHT3.max = 412.25\nEGT.max = 1650\nFlow.max = 0.1\n"
            "OilP.min = 25\nOilT.max = 245\nVolt.max = 15\nVolt.min = off\n");
  Limits read = Limits::Defaults();
  std::string error;
  ASSERT_TRUE(read.Apply(limits.ToIni(), "x", error)) << error;
  EXPECT_EQ(read, limits);
  EXPECT_FALSE(limits.Set("Oil", LimitKind::kMax, 1));
}

TEST(Limits, ExtremeButSaneLimitsReadAndPrintExactly) {
  struct Case {
    const char* text;
    double value;
    const char* printed;
  };
  const Case cases[] = {
      {"\xEF\xBB\xBF[limits]\nFlow.max = 25\n", 25, "25"},  // a byte-order mark first
      {"[limits]\nFlow.max = 1e-9\n", 1e-9, "0.000000001"},
      {"[limits]\nFlow.max = 100000\n", 100000, "100000"},
      {"[limits]\nFlow.max = -100000\n", -100000, "-100000"},
      {"[limits]\nFlow.max = 12.3456789\n", 12.3456789, "12.3456789"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Limits limits;
    std::string error;
    ASSERT_TRUE(limits.Apply(c.text, "x", error)) << error;
    EXPECT_EQ(limits.Get("Flow", LimitKind::kMax), c.value);
    EXPECT_EQ(ExactNumberText(c.value), c.printed);
  }
}

TEST(Limits, OnlyARegularFileOfAtMostAMegabyteIsRead) {
  test::TempFolder folder;
  std::string error;
  for (const bool required : {false, true}) {
    EXPECT_FALSE(Limits::Load(folder.path(), required, error));
    EXPECT_EQ(error, folder.path() + ": not a regular file");
    EXPECT_FALSE(Limits::Load("/dev/zero", required, error));
    EXPECT_EQ(error, "/dev/zero: not a regular file");
  }
  const std::string big = folder / "big.ini";
  std::ofstream(big) << "[limits]\n" << std::string(kLargestLimitsFile, '#') << "\n";
  EXPECT_FALSE(Limits::Load(big, true, error));
  EXPECT_EQ(error, big + ": larger than 1 MB, not a limits file");
}

TEST(Limits, LoadsTheFileOrTheDefaults) {
  test::TempFolder folder;
  const std::string path = folder / "limits.ini";
  std::string error;
  EXPECT_EQ(Limits::Load(path, false, error), Limits::Defaults());
  EXPECT_FALSE(Limits::Load(path, true, error));
  EXPECT_EQ(error, path + ": cannot be read");
  std::ofstream(path) << "[limits]\nCHT.max = 400\n";
  const std::optional<Limits> loaded = Limits::Load(path, true, error);
  ASSERT_TRUE(loaded);
  EXPECT_EQ(loaded->Get("CHT", LimitKind::kMax), 400.0);
  EXPECT_EQ(loaded->Get("OilP", LimitKind::kMin), 25.0);
  std::ofstream(path) << "[limits]\nCHT.max = 400\nbad\n";
  EXPECT_FALSE(Limits::Load(path, false, error));
  EXPECT_EQ(error, path + ":3: expected COLUMN.max = VALUE or COLUMN.min = VALUE");
}

TEST(Limits, DefaultPathFollowsXdgConfigHome) {
  const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
  const std::string savedXdg = oldXdg ? oldXdg : "";
  const char* oldHome = std::getenv("HOME");
  const std::string savedHome = oldHome ? oldHome : "";
  setenv("XDG_CONFIG_HOME", "/cfg", 1);
  EXPECT_EQ(Limits::DefaultPath(), "/cfg/ovixlog/limits.ini");
  unsetenv("XDG_CONFIG_HOME");
  setenv("HOME", "/home/pilot", 1);
  EXPECT_EQ(Limits::DefaultPath(), "/home/pilot/.config/ovixlog/limits.ini");
  if (oldXdg)
    setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
  setenv("HOME", savedHome.c_str(), 1);
}

}  // namespace
}  // namespace ovixlog
