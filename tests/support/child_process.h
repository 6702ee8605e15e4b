// A program started by a test as a separate process: its standard output goes to a file, its
// environment is the test's own with some variables added or replaced, and the process is
// killed if the test ends while it still runs.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace ovixlog::test {

class ChildProcess {
 public:
  // `args[0]` is the program's path; `extraEnv` holds "NAME=value" entries.
  ChildProcess(std::vector<std::string> args, const std::string& stdoutPath,
               const std::vector<std::string>& extraEnv = {});
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const { return pid_ > 0; }
  void Signal(int sig) const;
  // The wait status once the process ended within `seconds`, or -1.
  int Wait(int seconds);

 private:
  pid_t pid_ = -1;
};

}  // namespace ovixlog::test
