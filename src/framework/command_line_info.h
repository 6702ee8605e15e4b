// What the command line asks the program to do at start-up, and the splitter that feeds each
// argument to a CommandLineInfo. The program's own options are handled by a derived class; this
// base knows only file names, help, version and unknown flags.
#pragma once

#include <string>
#include <vector>

namespace ovixlog {

enum class ShellCommand { kFileNew, kFileOpen, kPrintHelp, kPrintVersion, kUsageError };

class CommandLineInfo {
 public:
  virtual ~CommandLineInfo() = default;

  // Takes one argument. `param` is the argument without its flag mark, `flag` says whether it
  // had one, `last` whether it is the final argument.
  //  - A parameter without a flag names a document file to open at start-up (kFileOpen). The
  //    first name is kept and later ones ignored; an empty parameter names nothing.
  //  - Flags "h", "-help" and "?" ask for help; "-version" asks for the version.
  //  - Any other flag is a usage error; badOption keeps the text of the first such flag.
  // When several requests meet, help wins over version, version over a usage error, and a usage
  // error over opening a file: someone who asks for help gets it even after a typo.
  virtual void ParseParam(const char* param, bool flag, bool last);

  ShellCommand shellCommand = ShellCommand::kFileNew;
  std::string fileName;
  std::string badOption;

 protected:
  // Moves shellCommand to `command` unless it already holds a request that wins over it.
  void Request(ShellCommand command);
};

// Feeds every argument (without the program name) to info.ParseParam in order. A leading '-' is
// removed and marks a flag. A leading '/' marks a flag only when what follows is one of the
// program's option words (1..8, m, a, t, o, newest, oldest); any other argument starting with
// '/' is an absolute path and is passed whole, unflagged.
void ParseCommandLine(const std::vector<std::string>& args, CommandLineInfo& info);

// The help text printed for -h/--help and after a usage error, one line per option.
std::string UsageText();

// The text printed for --version.
std::string VersionText();

}  // namespace ovixlog
