#include "framework/command_line_info.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace ovixlog {
namespace {

// The words that a '/' may mark as options. Anything else after a '/' is a path.
constexpr std::array<std::string_view, 14> kSlashOptionWords = {
    "1", "2", "3", "4", "5", "6", "7", "8", "m", "a", "t", "o", "newest", "oldest"};

// Higher wins when two requests meet.
int Precedence(ShellCommand command) {
  switch (command) {
    case ShellCommand::kFileNew:
      return 0;
    case ShellCommand::kFileOpen:
      return 1;
    case ShellCommand::kUsageError:
      return 2;
    case ShellCommand::kPrintVersion:
      return 3;
    case ShellCommand::kPrintHelp:
      return 4;
  }
  return 0;
}

}  // namespace

void CommandLineInfo::Request(ShellCommand command) {
  if (Precedence(command) > Precedence(shellCommand))
    shellCommand = command;
}

void CommandLineInfo::ParseParam(const char* param, bool flag, bool last) {
  (void)last;
  const std::string_view text(param);
  if (!flag) {
    if (text.empty() || !fileName.empty())
      return;
    fileName = text;
    Request(ShellCommand::kFileOpen);
    return;
  }
  if (text == "h" || text == "-help" || text == "?") {
    Request(ShellCommand::kPrintHelp);
  } else if (text == "-version") {
    Request(ShellCommand::kPrintVersion);
  } else {
    if (shellCommand != ShellCommand::kUsageError)
      badOption = text;
    Request(ShellCommand::kUsageError);
  }
}

void ParseCommandLine(const std::vector<std::string>& args, CommandLineInfo& info) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const char* rest = arg.c_str();
    bool flag = false;
    if (!arg.empty() && arg[0] == '-') {
      ++rest;
      flag = true;
    } else if (!arg.empty() && arg[0] == '/') {
      const std::string_view word(arg.c_str() + 1);
      if (std::find(kSlashOptionWords.begin(), kSlashOptionWords.end(), word) !=
          kSlashOptionWords.end()) {
        ++rest;
        flag = true;
      }
    }
    info.ParseParam(rest, flag, i + 1 == args.size());
  }
}

std::string UsageText() {
  // Kept within 80 columns so that it reads well in a terminal.
  return "Usage: ovixlog [option...] [file]\n"
         "An option may be written bare or after '-' or '/': 5, -5 and /5 are the same.\n"
         "  1 ... 8                  read serial port COM1 ... COM8 (default COM1)\n"
         "  m <3100|5100|7100|8100>  engine monitor model (default 5100)\n"
         "  a                        keep all samples\n"
         "  t                        show the system time with each sample\n"
         "  newest                   list the newest sample first (default)\n"
         "  oldest                   list the oldest sample first\n"
         "  o <file>                 save to <file> without asking whenever a save is due\n"
         "  --port DEVICE            the chosen port reads DEVICE for this run\n"
         "  --v39                    read the 77-byte frames of version 3.9 software\n"
         "  --record-dir <folder>    keep the recordings of live data in <folder>\n"
         "  --no-record              do not record live data\n"
         "  <file>                   import *.log as EFIS DEMO, other files as raw serial\n"
         "  -h, --help               show this help and exit\n"
         "  --version                show the version and exit\n";
}

std::string VersionText() {
  return "OvixLog release 11 (2015-03-09)";
}

}  // namespace ovixlog
