// Runs OvixLog's window on a live port for a given time, switches the port once a minute as a
// user would, and prints the process's resident memory, threads, open descriptors and stored
// samples every minute. Usage: ovixlog-soak MINUTES [ovixlog options...]
#include <QAction>
#include <QApplication>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "app/command_ids.h"
#include "app/main_frame.h"
#include "app/ovixlog_app.h"
#include "document/ovixlog_doc.h"
#include "framework/headless_user_interface.h"

namespace {

long StatusField(const char* name) {
  std::ifstream status("/proc/self/status");
  std::string key;
  long value = 0;
  while (status >> key) {
    if (key == name) {
      status >> value;
      return value;
    }
    status.ignore(1 << 12, '\n');
  }
  return -1;
}

long OpenDescriptors() {
  long count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    ++count;
  }
  return count;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: ovixlog-soak MINUTES [ovixlog options...]\n";
    return 2;
  }
  const int minutes = std::atoi(argv[1]);
  const std::vector<std::string> args(argv + 2, argv + argc);
  std::string fileToImport;
  if (const auto code =
          ovixlog::COvixLogApp::ReadCommandLine(args, std::cout, std::cerr, &fileToImport)) {
    return *code;
  }
  QApplication application(argc, argv);
  // Every save question is answered No and errors go to stderr: nothing waits for a person.
  ovixlog::HeadlessUserInterface ui(std::cerr);
  ovixlog::COvixLogApp app(&ui);
  app.CreateMainWindow(fileToImport);

  int minute = 0;
  long samplesSeen = 0;
  std::printf("%6s %10s %8s %5s %9s %12s %s\n", "minute", "rss_kb", "threads", "fds", "samples",
              "frames", "port");
  auto report = [&] {
    const ovixlog::SerialStatus port = app.document()->PortStatus();
    const int samples = app.document()->SampleCount();
    std::printf("%6d %10ld %8ld %5ld %9d %12llu %s%s\n", minute, StatusField("VmRSS:"),
                StatusField("Threads:"), OpenDescriptors(), samples,
                static_cast<unsigned long long>(port.framesAccepted), port.devicePath.c_str(),
                port.open ? " open" : (" " + port.lastError).c_str());
    std::fflush(stdout);
    samplesSeen += samples;
  };
  QTimer everyMinute;
  QObject::connect(&everyMinute, &QTimer::timeout, [&] {
    ++minute;
    report();
    if (minute >= minutes) {
      app.mainFrame()->close();
      return;
    }
    // The same port again: the samples are cleared and the reader replaced, as in the menu.
    app.mainFrame()->Action(ovixlog::kIdCom1)->trigger();
  });
  everyMinute.start(std::chrono::minutes(1));
  report();
  const int status = app.Run();
  std::printf("done after %d minutes\n", minute);
  return status;
}
