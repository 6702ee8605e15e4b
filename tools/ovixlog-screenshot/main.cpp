// Renders the main window, offscreen, as a newcomer sees it a while into a flight: the table
// of a simulated flight imported from a capture, and the port pane of a live simulated line.
//
//   ovixlog-screenshot [OUTPUT.png]      (default docs/screenshot.png)
//   ovixlog-screenshot --lean-test [OUTPUT.png]   (default docs/lean-test.png): the lean-test
//                                                 view of the simulator's lean-test flight
//   ovixlog-screenshot --trends [OUTPUT.png]      (default docs/trends.png): the Trends view
//                                                 of thirty simulated flights of one engine
//   ovixlog-screenshot --help
#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include <QApplication>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "acquisition/frame_builder.h"
#include "app/flights_controller.h"
#include "app/main_frame.h"
#include "app/ovixlog_app.h"
#include "app/trends_controller.h"
#include "document/ovixlog_doc.h"
#include "framework/headless_user_interface.h"
#include "library/file_samples.h"
#include "library/flight_figures.h"
#include "library/flight_library.h"
#include "library/sha256.h"
#include "ovixlog-sim/flight_generator.h"
#include "view/chart_view.h"
#include "view/flights_panel.h"
#include "view/lean_test_view.h"
#include "view/ovixlog_view.h"
#include "view/trends_view.h"

namespace {

constexpr int kFramesPerSecond = ovixlog::sim::FlightGenerator::kFramesPerSecond;

// Runs the event loop until `done` holds or `ms` pass; false on time-out.
template <typename Condition>
bool WaitFor(Condition done, int ms) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > ms)
      return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

bool WriteAll(int fd, const std::vector<uint8_t>& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0)
      return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

constexpr const char* kUsage =
    "Usage: ovixlog-screenshot [OUTPUT.png]\n"
    "       ovixlog-screenshot --lean-test [OUTPUT.png]\n"
    "       ovixlog-screenshot --trends [OUTPUT.png]\n"
    "Renders the OvixLog main window offscreen, twenty minutes into a simulated flight with a\n"
    "live simulated line, into the PNG file OUTPUT.png (default docs/screenshot.png).\n"
    "\n"
    "  --lean-test  render the lean-test view of the simulator's lean-test flight instead\n"
    "               (default docs/lean-test.png)\n"
    "  --trends     render the Trends view of thirty simulated flights of one engine, cylinder\n"
    "               3 running hotter from the twenty-first, instead (default docs/trends.png)\n"
    "  -h, --help   print this help and exit\n";

// The lean-test view of the simulator's lean-test flight, imported as a capture.
int LeanTestShot(int argc, char** argv, const std::string& output) {
  ovixlog::sim::FlightGenerator flight(ovixlog::kModel5100, 1, ovixlog::sim::Scenario::kLeanTest);
  std::vector<uint8_t> capture;
  for (int i = 0; i < flight.ScenarioSeconds() * kFramesPerSecond; ++i)
    ovixlog::FrameBuilder::Append(capture, flight.Next(), ovixlog::kModel5100);
  const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                       ("ovixlog-screenshot-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  const std::string capturePath = (folder / "lean-test.bin").string();
  std::ofstream(capturePath, std::ios::binary)
      .write(reinterpret_cast<const char*>(capture.data()),
             static_cast<std::streamsize>(capture.size()));
  ::setenv("OVIXLOG_RECORDINGS", (folder / "recordings").c_str(), 1);

  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("OvixLog"));
  ovixlog::HeadlessUserInterface ui;
  int status = 1;
  {
    ovixlog::COvixLogApp app(&ui);
    app.SetSettingsKept(false);
    app.SetPortsEnabled(false);
    app.CreateMainWindow(std::string());
    ovixlog::CMainFrame* frame = app.mainFrame();
    ovixlog::FlightsPanel* panel = frame->flights();
    if (app.document()->ImportSerialFile(capturePath) &&
        WaitFor([&] { return panel->caughtUp() && !panel->runs().empty() &&
                             !panel->runs().front().leanTests.empty(); },
                20000) &&
        frame->flightReview()->OpenLeanTest(panel->runs().front().leanTests.front().startMs)) {
      ovixlog::LeanTestView* view = frame->flightReview()->leanTestView();
      view->resize(760, 520);
      QCoreApplication::processEvents();
      const QPixmap shot = view->grab();
      if (shot.save(QString::fromLocal8Bit(output.c_str()), "PNG")) {
        std::printf("%s: %dx%d\n", output.c_str(), shot.width(), shot.height());
        status = 0;
      } else {
        std::fprintf(stderr, "ovixlog-screenshot: cannot write %s\n", output.c_str());
      }
    } else {
      std::fprintf(stderr, "ovixlog-screenshot: no lean test was found\n");
    }
    app.ExitInstance();
  }
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  return status;
}

// Thirty flights of one simulated engine, one every few days from 2 March 2026, each read and
// analysed as indexing does and stored in a library of their own with that date; cylinder 3's
// EGT and CHT wander a little from flight to flight, and its EGT runs 75 F hotter from the
// twenty-first flight on. The Trends view of them.
int TrendsShot(int argc, char** argv, const std::string& output) {
  const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                       ("ovixlog-screenshot-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  const std::string database = (folder / "library.sqlite").string();
  ::setenv("OVIXLOG_LIBRARY", database.c_str(), 1);
  ::setenv("OVIXLOG_RECORDINGS", (folder / "recordings").c_str(), 1);
  int status = 1;
  {
    ovixlog::FlightLibrary library;
    std::string error;
    std::string notice;
    bool stored = library.Open(database, error, notice);
    constexpr int kFlights = 30;
    constexpr int64_t kFirstUtcMs = 1'772'440'200'000;  // 2 March 2026, 08:30 UTC
    for (int i = 0; stored && i < kFlights; ++i) {
      const double egt = ((i * 37) % 41) - 20.0 + (i >= 20 ? 75.0 : 0.0);
      const double cht = ((i * 23) % 17) - 8.0;
      ovixlog::sim::FlightGenerator flight(ovixlog::kModel5100, 1);
      flight.SetCylinderOffset(3, egt, cht);
      std::vector<uint8_t> capture;
      for (int f = 0; f < 16000; ++f)
        ovixlog::FrameBuilder::Append(capture, flight.Next(), ovixlog::kModel5100);
      const std::string path = (folder / ("flight-" + std::to_string(i + 1) + ".bin")).string();
      std::ofstream(path, std::ios::binary)
          .write(reinterpret_cast<const char*>(capture.data()),
                 static_cast<std::streamsize>(capture.size()));
      const ovixlog::FileSamples read = ovixlog::ReadFileSamples(path, ovixlog::kModel5100);
      std::vector<ovixlog::IndexedRun> runs;
      const int64_t utcMs = kFirstUtcMs + int64_t{i} * 3 * 86'400'000 + (i % 4) * 3'600'000;
      const std::time_t seconds = static_cast<std::time_t>(utcMs / 1000 + 3600);  // +01:00
      std::tm local{};
      ::gmtime_r(&seconds, &local);
      char start[40];
      std::strftime(start, sizeof start, "%Y-%m-%dT%H:%M:%S+01:00", &local);
      for (ovixlog::RunFigures& run :
           ovixlog::AnalyseFile(read.samples, read.model, ovixlog::Limits::Defaults())) {
        runs.push_back({run.startMs, std::string(start), utcMs, std::move(run.json)});
      }
      const std::optional<std::string> sha = ovixlog::FileSha256(path);
      ovixlog::IndexResult result;
      stored = read.read && sha &&
               library.StoreFile({path, *sha, static_cast<int64_t>(capture.size()), 0}, "5100",
                                 std::string("D-EABC"), runs, result, error);
    }
    if (!stored) {
      std::fprintf(stderr, "ovixlog-screenshot: the simulated flights were not stored: %s\n",
                   error.c_str());
    } else {
      QApplication application(argc, argv);
      QApplication::setApplicationName(QStringLiteral("OvixLog"));
      ovixlog::HeadlessUserInterface ui;
      ovixlog::COvixLogApp app(&ui);
      app.SetSettingsKept(false);
      app.SetPortsEnabled(false);
      app.CreateMainWindow(std::string());
      ovixlog::TrendsController* trends = app.mainFrame()->trends();
      trends->Refresh();
      // The dock on its own, floating, at the size of a picture in the README.
      trends->dock()->setFloating(true);
      trends->dock()->resize(900, 760);
      trends->dock()->show();
      ovixlog::TrendsView* view = trends->view();
      WaitFor([&] { return view->isVisible() && view->width() > 800; }, 5000);
      QCoreApplication::processEvents();
      const QPixmap shot = view->grab();
      if (shot.save(QString::fromLocal8Bit(output.c_str()), "PNG")) {
        std::printf("%s: %dx%d\n", output.c_str(), shot.width(), shot.height());
        status = 0;
      } else {
        std::fprintf(stderr, "ovixlog-screenshot: cannot write %s\n", output.c_str());
      }
      app.ExitInstance();
    }
  }
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  // Past a file-size limit a write fails with "File too large" and is reported, as in the other
  // programs, rather than the signal's default killing it with a picture half written.
  std::signal(SIGXFSZ, SIG_IGN);
  // Anything that looks like an option is one: never a picture named "--help".
  const std::string first = argc > 1 ? argv[1] : "";
  if (first == "--help" || first == "-h") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (first == "--lean-test") {
    if (argc > 3) {
      std::fprintf(stderr, "ovixlog-screenshot: only one output file\n%s", kUsage);
      return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
      qputenv("QT_QPA_PLATFORM", "offscreen");
    return LeanTestShot(argc, argv, argc > 2 ? argv[2] : "docs/lean-test.png");
  }
  if (first == "--trends") {
    if (argc > 3) {
      std::fprintf(stderr, "ovixlog-screenshot: only one output file\n%s", kUsage);
      return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
      qputenv("QT_QPA_PLATFORM", "offscreen");
    return TrendsShot(argc, argv, argc > 2 ? argv[2] : "docs/trends.png");
  }
  if (first.size() > 1 && first[0] == '-') {
    std::fprintf(stderr, "ovixlog-screenshot: unknown option %s\n%s", first.c_str(), kUsage);
    return 2;
  }
  if (argc > 2) {
    std::fprintf(stderr, "ovixlog-screenshot: only one output file\n%s", kUsage);
    return 2;
  }
  const std::string output = argc > 1 ? first : "docs/screenshot.png";
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");

  // The live line: a pseudo-terminal behind a link with a readable name, as ovixlog-sim makes.
  int master = -1;
  int slave = -1;
  char slaveName[256] = {};
  if (::openpty(&master, &slave, slaveName, nullptr, nullptr) != 0) {
    std::perror("ovixlog-screenshot: openpty");
    return 1;
  }
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("ovixlog-screenshot-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  // The pane shows the device's name: make it the short one a user of scripts/run sees.
  const std::string link = "/tmp/ovixlog-sim-tty";
  std::filesystem::remove(link);
  std::filesystem::create_symlink(slaveName, link);
  ::setenv("OVIXLOG_COM1", link.c_str(), 1);
  // The few seconds of live data are recorded into the scratch folder, not the user's.
  ::setenv("OVIXLOG_RECORDINGS", (folder / "recordings").c_str(), 1);

  // The first forty minutes of the flight, from the engine start, one sample a second after the
  // import: enough for the charts to show the climb and the cruise.
  ovixlog::sim::FlightGenerator flight(ovixlog::kModel5100, 1);
  std::vector<uint8_t> capture;
  for (int i = 0; i < 40 * 60 * kFramesPerSecond; ++i) {
    ovixlog::FrameBuilder::Append(capture, flight.Next(), ovixlog::kModel5100);
  }
  const std::string capturePath = (folder / "capture.bin").string();
  std::ofstream(capturePath, std::ios::binary)
      .write(reinterpret_cast<const char*>(capture.data()),
             static_cast<std::streamsize>(capture.size()));

  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("OvixLog"));
  QApplication::setWindowIcon(ovixlog::AppIcon());
  ovixlog::HeadlessUserInterface ui;
  int status = 0;
  {
    ovixlog::COvixLogApp app(&ui);
    app.SetSettingsKept(false);
    app.CreateMainWindow(std::string());
    ovixlog::CMainFrame* frame = app.mainFrame();
    frame->resize(1100, 820);

    // A few seconds of live frames so the port pane shows a working line.
    std::vector<uint8_t> live;
    for (int i = 0; i < 3 * kFramesPerSecond; ++i) {
      ovixlog::FrameBuilder::Append(live, flight.Next(), ovixlog::kModel5100);
    }
    if (!WaitFor([&] { return app.document()->PortStatus().open; }, 10000) ||
        !WriteAll(master, live) ||
        !WaitFor([&] { return app.document()->PortStatus().framesAccepted >= 36; }, 10000)) {
      std::fprintf(stderr, "ovixlog-screenshot: the simulated line did not come up\n");
      status = 1;
    }
    if (status == 0 && !app.document()->ImportSerialFile(capturePath))
      status = 1;
    frame->RefreshPanes();
    // The cursor on a moment of the climb, its row selected in the table.
    const int cursor = app.document()->SampleCount() * 3 / 10;
    frame->charts()->SetCursorSample(cursor);
    app.view()->SelectSample(cursor, true);
    // Let the status bar lay out the pane's new text before the picture is taken.
    const int64_t paints = app.view()->paintCount();
    WaitFor([&] { return app.view()->paintCount() > paints; }, 10000);
    QCoreApplication::processEvents();
    if (status == 0) {
      const QPixmap shot = frame->grab();
      if (!shot.save(QString::fromLocal8Bit(output.c_str()), "PNG")) {
        std::fprintf(stderr, "ovixlog-screenshot: cannot write %s\n", output.c_str());
        status = 1;
      } else {
        std::printf("%s: %dx%d\n", output.c_str(), shot.width(), shot.height());
      }
    }
    app.ExitInstance();
  }
  ::close(master);
  ::close(slave);
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  std::filesystem::remove(link, ignored);
  return status;
}
