// ovixlog-record: the headless in-flight recorder.
#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "recorder.h"

namespace {

volatile std::sig_atomic_t gStop = 0;
int gWake = -1;

void OnStop(int) {
  gStop = 1;
  if (gWake >= 0) {
    const uint64_t one = 1;
    const ssize_t n = ::write(gWake, &one, sizeof one);
    (void)n;
  }
}

}  // namespace

int main(int argc, char** argv) {
  // Past a file-size limit a write fails with EFBIG, which is reported like a full disk;
  // the signal's default would kill the program and leave a torn file.
  std::signal(SIGXFSZ, SIG_IGN);
  const std::vector<std::string> args(argv + 1, argv + argc);
  const ovixlog::ParsedRecordLine parsed = ovixlog::ParseRecordLine(args);
  switch (parsed.outcome) {
    case ovixlog::ParsedRecordLine::Outcome::kHelp:
      std::cout << ovixlog::RecordUsage();
      return 0;
    case ovixlog::ParsedRecordLine::Outcome::kBadUsage:
      std::cerr << "ovixlog-record: " << parsed.error << "\n\n" << ovixlog::RecordUsage();
      return 2;
    case ovixlog::ParsedRecordLine::Outcome::kRun:
      break;
  }
  gWake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  struct sigaction action {};
  action.sa_handler = OnStop;
  sigemptyset(&action.sa_mask);
  for (int sig : {SIGINT, SIGTERM})
    sigaction(sig, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);

  ovixlog::Recorder recorder(parsed.options, std::cout);
  return recorder.Run(gStop, gWake);
}
