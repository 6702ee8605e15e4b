// The application: reads the command line into the start-up settings, creates the document, the
// main window and the view, opens the port, imports a file named on the command line, and
// tears everything down in the order that stops the reading thread before the view goes.
#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/qt_user_interface.h"

namespace ovixlog {

class CMainFrame;
class COvixLogDoc;
class COvixLogView;
class UserInterface;

class COvixLogApp {
 public:
  // `ui` replaces the Qt dialogs (tests script it); null uses them. It must outlive the app.
  explicit COvixLogApp(UserInterface* ui = nullptr);
  // ExitInstance.
  ~COvixLogApp();
  COvixLogApp(const COvixLogApp&) = delete;
  COvixLogApp& operator=(const COvixLogApp&) = delete;

  // Parses `args` (without the program name) and writes TheStartupSettings(). Returns the exit
  // status when the program ends here: 0 after help or the version (printed to `out`), 2 after
  // a usage error (the usage goes to `err`), 1 when the options cannot be applied ("o" without
  // a file name). Otherwise returns nothing and sets `fileToImport` to the file named, if any.
  // Needs no window system.
  static std::optional<int> ReadCommandLine(const std::vector<std::string>& args, std::ostream& out,
                                            std::ostream& err, std::string* fileToImport);

  // Creates the document, window and view, starts a new document (which opens the port) and
  // shows the window. A file to import is imported once the event loop runs. Needs a
  // QApplication.
  void CreateMainWindow(const std::string& fileToImport, bool show = true);

  // ReadCommandLine, then CreateMainWindow.
  std::optional<int> InitInstance(const std::vector<std::string>& args, std::ostream& out,
                                  std::ostream& err, bool show = true);

  // Imports the file named on the command line without a dialog: a demo recording for a name
  // ending in ".log", a serial capture otherwise. On failure (the error has been shown) the
  // window is closed and the exit status becomes 1.
  bool ImportStartupFile();

  // When the recordings folder holds a recording that was not closed normally (and that no
  // running program is writing), seals it so it is offered only once, asks whether to open it,
  // and imports it on Yes. Returns true when it was opened.
  bool OfferRecovery();

  // Runs the event loop until the window has closed, then tears down. Returns the exit status.
  int Run();
  // Stops the reader and destroys the document, then the window. Safe to call twice.
  void ExitInstance();

  // Without ports the document never opens a serial device. Before CreateMainWindow.
  void SetPortsEnabled(bool enabled) { portsEnabled_ = enabled; }

  // Off: the window neither restores nor writes the choices kept between runs (the screenshot
  // tool renders the same window whatever the user chose). Before CreateMainWindow.
  void SetSettingsKept(bool kept) { settingsKept_ = kept; }

  CMainFrame* mainFrame() const { return frame_.get(); }
  COvixLogDoc* document() const { return document_.get(); }
  COvixLogView* view() const;
  int exitCode() const { return exitCode_; }

 private:
  QtUserInterface qtUi_;
  UserInterface* ui_;
  bool portsEnabled_ = true;
  bool settingsKept_ = true;
  int exitCode_ = 0;
  std::string fileToImport_;
  std::unique_ptr<COvixLogDoc> document_;
  std::unique_ptr<CMainFrame> frame_;
};

}  // namespace ovixlog
