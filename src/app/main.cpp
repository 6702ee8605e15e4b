// The ovixlog program: the window over the sample log document.
#include <QApplication>
#include <QIcon>

#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "app/main_frame.h"
#include "app/ovixlog_app.h"
#include "app/termination_signals.h"

int main(int argc, char** argv) {
  // Past a file-size limit a write fails with EFBIG, which is reported like a full disk;
  // the signal's default would kill the program and leave a torn file.
  std::signal(SIGXFSZ, SIG_IGN);
  // The command line is read before Qt starts, so help, the version and usage errors need no
  // display. Qt's own options are therefore not taken here; its environment variables
  // (QT_QPA_PLATFORM and so on) do the same job.
  const std::vector<std::string> args(argv + 1, argv + argc);
  std::string fileToImport;
  if (const std::optional<int> code =
          ovixlog::COvixLogApp::ReadCommandLine(args, std::cout, std::cerr, &fileToImport)) {
    return *code;
  }

  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("OvixLog"));
  QApplication::setDesktopFileName(QStringLiteral("ovixlog"));
  QApplication::setWindowIcon(ovixlog::AppIcon());

  ovixlog::COvixLogApp app;
  app.CreateMainWindow(fileToImport);
  ovixlog::CloseOnTerminationSignals(app.mainFrame());
  return app.Run();
}
