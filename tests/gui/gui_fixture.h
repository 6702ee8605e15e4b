// Common settings of the window tests: a document without ports and a shown log view, sample
// and capture makers, and a pseudo-terminal pair for live data.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdlib.h>
#include <unistd.h>

#include <QAbstractScrollArea>
#include <QScrollBar>
#include <QTest>

#include <QMenu>

#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "acquisition/frame_builder.h"
#include "acquisition/port_bindings.h"
#include "app/main_frame.h"
#include "app/ovixlog_app.h"
#include "document/ovixlog_doc.h"
#include "framework/startup_settings.h"
#include "support/scripted_user_interface.h"
#include "support/temp_folder.h"
#include "support/test_support.h"
#include "view/ovixlog_view.h"

namespace ovixlog::test {

// A sample told apart by its tach value.
inline EngineSample SampleWithTach(int tach, uint32_t stamp) {
  EngineSample s = ExampleSample();
  s.tach = static_cast<int16_t>(tach);
  s.tickMs = stamp;
  return s;
}

inline void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  QVERIFY(file != nullptr);
  if (!bytes.empty()) {
    QCOMPARE(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
  }
  std::fclose(file);
}

// Gives a scroll area's viewport exactly `height` pixels.
inline void SetClientHeight(QAbstractScrollArea& area, int height) {
  const int extra = area.height() - area.viewport()->height();
  area.resize(area.width(), height + extra);
  QTRY_COMPARE(area.viewport()->height(), height);
}

// A document without ports showing in a log view of 640 by 400 pixels.
struct ViewFixture {
  explicit ViewFixture(StartupSettings settings = {}) : startup(std::move(settings)) {
    doc = std::make_unique<COvixLogDoc>(&ui, startup);
    doc->SetPortsEnabled(false);
    view.SetDocument(doc.get());
    doc->AddView(&view);
    doc->OnNewDocument();
    view.resize(640, 400);
    view.show();
    if (!QTest::qWaitForWindowExposed(&view))
      qWarning("view not exposed");
    view.OnInitialUpdate();
  }
  ~ViewFixture() {
    doc->RemoveView(&view);
    view.SetDocument(nullptr);
    doc.reset();
  }

  // Stores `count` samples a second apart and updates the views once, as an import does.
  void Add(int count, int firstTach = 1000) {
    for (int i = 0; i < count; ++i) {
      doc->AddSample(std::make_unique<EngineSample>(SampleWithTach(firstTach + i, nextStamp)),
                     nullptr);
      nextStamp += 1000;
    }
    doc->UpdateAllViews(nullptr);
  }
  // Paints now, as the window system would when the view is exposed.
  void Paint() { view.viewport()->repaint(); }
  // The display rows of the document from `first`, `count` of them (fewer at the end).
  std::vector<std::string> DocRows(int first, int count) const {
    std::vector<std::string> rows;
    doc->FormatDisplayRows(first, count, rows);
    return rows;
  }

  StartupSettings startup;
  ScriptedUserInterface ui;
  uint32_t nextStamp = 0;
  COvixLogView view;
  std::unique_ptr<COvixLogDoc> doc;
};

// Points XDG_CONFIG_HOME at `folder` for as long as it lives, so that the settings kept
// between runs are read and written there, never in the real ~/.config, and never leak from one
// test to the next.
class ConfigHome {
 public:
  explicit ConfigHome(const std::string& folder) {
    if (const char* old = std::getenv("XDG_CONFIG_HOME"))
      saved_ = old;
    ::setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
  }
  ~ConfigHome() {
    if (saved_)
      ::setenv("XDG_CONFIG_HOME", saved_->c_str(), 1);
    else
      ::unsetenv("XDG_CONFIG_HOME");
  }
  ConfigHome(const ConfigHome&) = delete;
  ConfigHome& operator=(const ConfigHome&) = delete;

 private:
  std::optional<std::string> saved_;
};

// The whole program in-process: start-up from `args` over `base` settings, a scripted user
// interface, ports off unless asked for. The kept settings live in `configHome`, a fresh folder
// of the fixture's own unless one is given (to see what one run keeps for the next). `script`
// queues answers before the window starts, for the questions asked as it opens.
struct AppFixture {
  explicit AppFixture(const std::vector<std::string>& args = {}, StartupSettings base = {},
                      bool ports = false, const std::string& configFolder = std::string(),
                      const std::function<void(ScriptedUserInterface&)>& script = {})
      : configHome(configFolder.empty() ? folder.path() + "/config" : configFolder) {
    if (script)
      script(ui);
    ClearPortBindings();
    TheStartupSettings() = std::move(base);
    // Recordings of the test's live data stay in its own folder.
    ::setenv("OVIXLOG_RECORDINGS", recordings().c_str(), 1);
    // So is the flight library the window indexes them into.
    ::setenv("OVIXLOG_LIBRARY", (folder / "library.sqlite").c_str(), 1);
    app = std::make_unique<COvixLogApp>(&ui);
    app->SetPortsEnabled(ports);
    std::ostringstream out;
    std::ostringstream err;
    code = app->InitInstance(args, out, err);
    // A start-up import that fails closes the window again, so it may never be exposed.
    if (app->mainFrame() != nullptr)
      (void)QTest::qWaitForWindowExposed(app->mainFrame());
  }
  ~AppFixture() {
    app.reset();
    TheStartupSettings() = StartupSettings{};
    ::unsetenv("OVIXLOG_RECORDINGS");
    ::unsetenv("OVIXLOG_LIBRARY");
    ClearPortBindings();
  }
  AppFixture(const AppFixture&) = delete;
  AppFixture& operator=(const AppFixture&) = delete;

  std::string recordings() const { return folder / "recordings"; }
  CMainFrame* frame() const { return app->mainFrame(); }
  COvixLogDoc* doc() const { return app->document(); }
  COvixLogView* view() const { return app->view(); }
  // Stores a sample through the document, as the reading thread would.
  void Add(int tach) {
    doc()->AddSample(std::make_unique<EngineSample>(SampleWithTach(tach, nextStamp)), view());
    nextStamp += 1000;
  }
  // The texts of the checked items of the Options menu, top to bottom.
  QStringList CheckedOptions() const {
    QStringList checked;
    for (QAction* action : frame()->optionsMenu()->actions()) {
      if (action->isChecked())
        checked << action->text();
    }
    return checked;
  }
  // The whole display table as a text save writes it.
  std::string Table() const {
    std::string all;
    std::string row;
    for (int i = 0; i < doc()->GetRowCount(); ++i) {
      doc()->FormatDisplayRow(i, row);
      all += row + "\r\n";
    }
    return all;
  }

  ScriptedUserInterface ui;
  TempFolder folder;
  ConfigHome configHome;
  std::unique_ptr<COvixLogApp> app;
  std::optional<int> code;
  uint32_t nextStamp = 0;
};

// A pseudo-terminal: the reader opens the slave by its path, the test writes to the master.
struct Pty {
  Pty() {
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) == 0) {
      slavePath = name;
      ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    }
  }
  ~Pty() {
    if (master >= 0)
      ::close(master);
    if (slave >= 0)
      ::close(slave);
  }
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  // Writes every byte, waiting for room while the line is full; false when the line stays
  // full for `timeoutMs`.
  bool WriteAll(const std::vector<uint8_t>& bytes, int timeoutMs = 30000) const {
    size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(master, bytes.data() + done, bytes.size() - done);
      if (n > 0) {
        done += static_cast<size_t>(n);
        continue;
      }
      if (n < 0 && errno != EAGAIN && errno != EINTR)
        return false;
      pollfd room{master, POLLOUT, 0};
      if (::poll(&room, 1, timeoutMs) <= 0)
        return false;
    }
    return true;
  }

  int master = -1;
  // Kept open so the line stays up while the reader closes and reopens its end.
  int slave = -1;
  std::string slavePath;
};

}  // namespace ovixlog::test
