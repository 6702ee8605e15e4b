#include "app/ovixlog_app.h"

#include <QApplication>
#include <QTimer>

#include "acquisition/port_bindings.h"
#include "app/kept_settings.h"
#include "app/main_frame.h"
#include "document/ovixlog_doc.h"
#include "framework/startup_options.h"
#include "framework/startup_settings.h"
#include "recording/recording_catalog.h"
#include "view/document_signals.h"
#include "view/ovixlog_view.h"

namespace ovixlog {

COvixLogApp::COvixLogApp(UserInterface* ui) : ui_(ui != nullptr ? ui : &qtUi_) {}

COvixLogApp::~COvixLogApp() {
  ExitInstance();
}

COvixLogView* COvixLogApp::view() const {
  return frame_ ? frame_->view() : nullptr;
}

std::optional<int> COvixLogApp::ReadCommandLine(const std::vector<std::string>& args,
                                                std::ostream& out, std::ostream& err,
                                                std::string* fileToImport) {
  // The kept choices first: the command line overrides them for this run only.
  KeptSettings::LoadInto(TheStartupSettings());
  KeptSettings::LoadBindings();
  StartupOptions options;
  ParseCommandLine(args, options);
  switch (options.shellCommand) {
    case ShellCommand::kPrintHelp:
      out << UsageText();
      return 0;
    case ShellCommand::kPrintVersion:
      out << VersionText() << '\n';
      return 0;
    case ShellCommand::kUsageError:
      err << "ovixlog: unknown option -" << options.badOption << '\n' << UsageText();
      return 2;
    case ShellCommand::kFileNew:
    case ShellCommand::kFileOpen:
      break;
  }
  if (!ApplyStartupOptions(options, TheStartupSettings())) {
    if (options.outputRequested != 0 && options.outputPath.empty()) {
      err << "ovixlog: the option o needs the name of the output file after it\n";
    }
    if (options.awaitingRecordDir != 0)
      err << "ovixlog: the option --record-dir needs the name of a folder after it\n";
    if (options.deviceRequested != 0 && options.requestedDevice.empty()) {
      err << "ovixlog: the option --port needs the device after it\n";
    }
    return 1;
  }
  const StartupSettings& settings = TheStartupSettings();
  if (!settings.portDevice.empty())
    BindPort(settings.commPort, settings.portDevice);
  if (fileToImport != nullptr) {
    *fileToImport = options.shellCommand == ShellCommand::kFileOpen ? options.fileName : "";
  }
  return std::nullopt;
}

void COvixLogApp::CreateMainWindow(const std::string& fileToImport, bool show) {
  document_ = std::make_unique<COvixLogDoc>(ui_, TheStartupSettings());
  document_->SetPortsEnabled(portsEnabled_);
  frame_ = std::make_unique<CMainFrame>(document_.get());
  qtUi_.SetParent(frame_.get());
  // The window's panes hear of the document through one adapter, which must be attached before
  // the new document starts: the reader notifies the first view of the document.
  document_->AddView(frame_->documentSignals());
  document_->OnNewDocument();
  frame_->view()->OnInitialUpdate();
  frame_->SetSettingsKept(settingsKept_);
  if (settingsKept_)
    frame_->RestoreWindow();
  frame_->UpdateMarks();
  frame_->UpdateTitle();
  frame_->RefreshPanes();
  if (show)
    frame_->show();
  fileToImport_ = fileToImport;
  if (!fileToImport_.empty()) {
    QTimer::singleShot(0, frame_.get(), [this] { ImportStartupFile(); });
  } else {
    // A file named on the command line is what the user asked for; otherwise the last flight
    // comes first when the program did not end normally.
    QTimer::singleShot(0, frame_.get(), [this] { OfferRecovery(); });
  }
}

std::optional<int> COvixLogApp::InitInstance(const std::vector<std::string>& args,
                                             std::ostream& out, std::ostream& err, bool show) {
  std::string file;
  if (std::optional<int> code = ReadCommandLine(args, out, err, &file))
    return code;
  CreateMainWindow(file, show);
  return std::nullopt;
}

bool COvixLogApp::ImportStartupFile() {
  if (!document_ || fileToImport_.empty())
    return false;
  const std::string path = fileToImport_;
  fileToImport_.clear();
  const bool ok = ImportKindFor(path) == ImportKind::kDemoLog ? document_->ImportDemoLog(path)
                                                              : document_->ImportSerialFile(path);
  frame_->UpdateMarks();
  frame_->UpdateTitle();
  if (!ok) {
    exitCode_ = 1;
    frame_->close();
  }
  return ok;
}

bool COvixLogApp::OfferRecovery() {
  if (!document_)
    return false;
  const std::optional<RecordingInfo> abandoned =
      NewestAbandonedRecording(document_->recorder().folder());
  if (!abandoned)
    return false;
  // Sealed first, so that a No (or a crash while it is open) does not bring it back next time.
  std::string error;
  SealRecording(abandoned->path, error);
  if (!ui_->AskYesNo("OvixLog", RecoveryQuestion(*abandoned)))
    return false;
  const bool ok = document_->ImportDemoLog(abandoned->path);
  frame_->UpdateMarks();
  frame_->UpdateTitle();
  frame_->RefreshPanes();
  return ok;
}

int COvixLogApp::Run() {
  if (frame_ && frame_->isVisible())
    QApplication::exec();
  // Ended by a second termination signal after a save that failed: the log was not saved.
  if (frame_ && frame_->closedWithoutSaving())
    exitCode_ = 1;
  ExitInstance();
  return exitCode_;
}

void COvixLogApp::ExitInstance() {
  if (frame_) {
    frame_->DetachDocument();
    if (document_)
      document_->RemoveView(frame_->documentSignals());
  }
  // The document's destructor stops the reading thread and waits for it. The thread may still
  // notify the view meanwhile, so the view goes after the document; a notification posted by
  // then finds the view detached and does nothing.
  document_.reset();
  frame_.reset();
}

}  // namespace ovixlog
