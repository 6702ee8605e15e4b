#include "framework/safe_file_writer.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_folder.h"

namespace ovixlog {
namespace {

using test::ReadWholeFile;
using test::TempFolder;
using test::WriteWholeFile;
using Names = std::vector<std::string>;

std::string Pattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i)
    bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return bytes;
}

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  ::stat(path.c_str(), &st);
  return st.st_mode & 07777;
}

TEST(SafeFileWriter, WritesExactlyTheBytesAndNothingElse) {
  struct Case {
    const char* name;
    std::vector<std::string> chunks;
  };
  const Case cases[] = {
      {"nothing", {}},
      {"empty write", {""}},
      {"text", {"Time,TACH\r\n", "00:00:01,2450\r\n"}},
      {"zero bytes and high bytes", {std::string("a\0b\xff\n", 5)}},
      {"exactly one buffer", {Pattern(65536)}},
      {"one byte over a buffer", {Pattern(65535), "xy"}},
      {"many buffers in small pieces", std::vector<std::string>(3000, Pattern(97))},
      {"one large write", {Pattern(300000)}},
      {"small, large, small and a buffer's worth",
       {Pattern(10), Pattern(70000), "xyz", Pattern(65536), Pattern(65533), "abcd"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    const std::string path = folder / "out.csv";
    std::string expected;
    SafeFileWriter file;
    ASSERT_TRUE(file.Open(path));
    for (const std::string& chunk : c.chunks) {
      EXPECT_TRUE(file.Write(chunk));
      expected += chunk;
    }
    EXPECT_TRUE(file.Commit());
    EXPECT_EQ(ReadWholeFile(path), expected);
    EXPECT_EQ(folder.Entries(), Names{"out.csv"});
  }
}

TEST(SafeFileWriter, TargetIsUntouchedUntilCommit) {
  TempFolder folder;
  const std::string path = folder / "out.csv";
  WriteWholeFile(path, "old\n");
  {
    SafeFileWriter file;
    ASSERT_TRUE(file.Open(path));
    EXPECT_TRUE(file.Write(Pattern(200000)));
    EXPECT_EQ(ReadWholeFile(path), "old\n");
  }
  // Abandoned without Commit: the old file stays and the temporary file is gone.
  EXPECT_EQ(ReadWholeFile(path), "old\n");
  EXPECT_EQ(folder.Entries(), Names{"out.csv"});
}

TEST(SafeFileWriter, FailedWriteKeepsTheOldFileAndLeavesNoTemporaryFile) {
  TempFolder folder;
  const std::string path = folder / "out.csv";
  WriteWholeFile(path, "old\n");
  SafeFileWriter file;
  ASSERT_TRUE(file.Open(path));
  bool wrote = true;
  bool committed = true;
  {
    test::FileSizeLimit limit(4096);
    wrote = file.Write(Pattern(70000));
    committed = file.Commit();
  }
  EXPECT_FALSE(wrote);
  EXPECT_FALSE(committed);
  EXPECT_FALSE(file.Write("more"));
  EXPECT_FALSE(file.Commit());
  EXPECT_EQ(ReadWholeFile(path), "old\n");
  EXPECT_EQ(folder.Entries(), Names{"out.csv"});
}

TEST(SafeFileWriter, FailsWhereNoFileCanBeMade) {
  struct Case {
    const char* name;
    std::string (*target)(const TempFolder& folder);
  };
  const Case cases[] = {
      {"missing folder", [](const TempFolder& f) { return f / "missing/out.csv"; }},
      {"target is a folder",
       [](const TempFolder& f) {
         std::filesystem::create_directory(f / "sub");
         return f / "sub";
       }},
      {"path through a file",
       [](const TempFolder& f) {
         WriteWholeFile(f / "plain", "x");
         return f / "plain/out.csv";
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    const std::string path = c.target(folder);
    const Names before = folder.Entries();
    SafeFileWriter file;
    EXPECT_FALSE(file.Open(path));
    EXPECT_FALSE(file.Write("x"));
    EXPECT_FALSE(file.Commit());
    EXPECT_EQ(folder.Entries(), before);
  }
}

// Names up to the system's limit of 255 bytes, with and without unnamed temporary files.
TEST(SafeFileWriter, SavesUnderTheLongestLegalName) {
  for (bool unnamed : {true, false}) {
    for (size_t length : {249u, 250u, 255u}) {
      SCOPED_TRACE(std::to_string(length) + (unnamed ? " unnamed" : " named"));
      SafeFileWriter::SetUnnamedTemporaryAllowed(unnamed);
      TempFolder folder;
      const std::string name = std::string(length - 4, 'f') + ".csv";
      WriteWholeFile(folder / name, "old\n");
      SafeFileWriter file;
      EXPECT_TRUE(file.Open(folder / name));
      EXPECT_TRUE(file.Write("new\n"));
      EXPECT_TRUE(file.Commit());
      EXPECT_EQ(file.error(), "");
      EXPECT_EQ(ReadWholeFile(folder / name), "new\n");
      EXPECT_EQ(folder.Entries(), Names{name});
    }
  }
  SafeFileWriter::SetUnnamedTemporaryAllowed(true);
}

// A save that was killed leaves a temporary file; the next save into the folder removes it,
// but never the file of a save that is still running, nor anything else.
TEST(SafeFileWriter, NextSaveRemovesTheTemporaryFilesOfInterruptedSaves) {
  for (bool unnamed : {true, false}) {
    SCOPED_TRACE(unnamed ? "unnamed" : "named");
    SafeFileWriter::SetUnnamedTemporaryAllowed(unnamed);
    TempFolder folder;
    const Names others = {".ovixlog-save-abc.tmp", ".ovixlog-save-abcdefg.tmp",
                          ".ovixlog-save-abcdef.txt", "flight.csv.Xy12Ab", "keep.csv"};
    for (const std::string& name : others)
      WriteWholeFile(folder / name, "not ours\n");
    WriteWholeFile(folder / ".ovixlog-save-Ab12Cd.tmp", std::string(100000, 'x'));
    WriteWholeFile(folder / ".ovixlog-save-running.tmp", "half");  // 7 letters: not ours
    WriteWholeFile(folder / ".ovixlog-save-Held00.tmp", "being written");
    const int held = ::open((folder / ".ovixlog-save-Held00.tmp").c_str(), O_RDONLY);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);  // as a save in another program holds its file

    SafeFileWriter file;
    ASSERT_TRUE(file.Open(folder / "out.csv"));
    EXPECT_TRUE(file.Write("rows\n"));
    EXPECT_TRUE(file.Commit());
    ::close(held);

    Names expected = others;
    expected.push_back(".ovixlog-save-Held00.tmp");
    expected.push_back(".ovixlog-save-running.tmp");
    expected.push_back("out.csv");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(folder.Entries(), expected);
  }
  SafeFileWriter::SetUnnamedTemporaryAllowed(true);
}

TEST(SafeFileWriter, FailuresSayWhy) {
  struct Case {
    const char* name;
    std::string (*target)(const TempFolder& folder);
    const char* error;
  };
  const Case cases[] = {
      {"missing folder", [](const TempFolder& f) { return f / "missing/out.csv"; },
       "No such file or directory"},
      {"a folder",
       [](const TempFolder& f) {
         std::filesystem::create_directory(f / "sub");
         return f / "sub";
       },
       "Is a directory"},
      {"a FIFO",
       [](const TempFolder& f) {
         ::mkfifo((f / "fifo").c_str(), 0600);
         return f / "fifo";
       },
       "Not a regular file"},
      {"a device", [](const TempFolder&) { return std::string("/dev/null"); },
       "Not a regular file"},
      {"through a file",
       [](const TempFolder& f) {
         WriteWholeFile(f / "plain", "x");
         return f / "plain/out.csv";
       },
       "Not a directory"},
      {"no name", [](const TempFolder&) { return std::string(); }, "No such file or directory"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    SafeFileWriter file;
    EXPECT_FALSE(file.Open(c.target(folder)));
    EXPECT_FALSE(file.Commit());
    EXPECT_EQ(file.error(), c.error);
  }
  TempFolder folder;
  SafeFileWriter file;
  ASSERT_TRUE(file.Open(folder / "big.csv"));
  {
    test::FileSizeLimit limit(4096);
    file.Write(Pattern(70000));
    EXPECT_FALSE(file.Commit());
  }
  EXPECT_EQ(file.error(), "File too large");
}

TEST(SafeFileWriter, PermissionsOfNewAndReplacedFiles) {
  TempFolder folder;
  const mode_t savedMask = ::umask(022);
  SafeFileWriter fresh;
  const bool freshOk = fresh.Open(folder / "new.csv") && fresh.Commit();

  WriteWholeFile(folder / "private.csv", "old\n");
  ::chmod((folder / "private.csv").c_str(), 0640);
  SafeFileWriter replacing;
  const bool replacedOk = replacing.Open(folder / "private.csv") && replacing.Commit();
  ::umask(savedMask);

  EXPECT_TRUE(freshOk);
  EXPECT_TRUE(replacedOk);
  EXPECT_EQ(ModeOf(folder / "new.csv"), 0644u);
  EXPECT_EQ(ModeOf(folder / "private.csv"), 0640u);
  EXPECT_EQ(ReadWholeFile(folder / "private.csv"), "");
}

TEST(SafeFileWriter, SavingThroughALinkUpdatesTheLinkedFile) {
  TempFolder folder;
  std::filesystem::create_directory(folder / "real");
  WriteWholeFile(folder / "real/flight.csv", "old\n");
  std::filesystem::create_symlink("real/flight.csv", folder / "link.csv");

  SafeFileWriter file;
  ASSERT_TRUE(file.Open(folder / "link.csv"));
  EXPECT_TRUE(file.Write("new\n"));
  EXPECT_TRUE(file.Commit());

  EXPECT_TRUE(std::filesystem::is_symlink(folder / "link.csv"));
  EXPECT_EQ(ReadWholeFile(folder / "real/flight.csv"), "new\n");
  EXPECT_EQ(folder.Entries(), (Names{"link.csv", "real"}));
  EXPECT_EQ(TempFolder::EntriesOf(folder / "real"), Names{"flight.csv"});
}

TEST(SafeFileWriter, DoesNotReplaceAFileItMayNotWrite) {
  if (::geteuid() == 0)
    GTEST_SKIP() << "root may write any file";
  TempFolder folder;
  const std::string path = folder / "locked.csv";
  WriteWholeFile(path, "old\n");
  ::chmod(path.c_str(), 0444);
  SafeFileWriter file;
  EXPECT_FALSE(file.Open(path));
  EXPECT_FALSE(file.Commit());
  EXPECT_EQ(ReadWholeFile(path), "old\n");
  EXPECT_EQ(folder.Entries(), Names{"locked.csv"});
}

}  // namespace
}  // namespace ovixlog
