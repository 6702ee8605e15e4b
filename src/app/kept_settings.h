// The choices kept from one run to the next in $XDG_CONFIG_HOME/OvixLog/OvixLog.conf
// (~/.config/OvixLog/ when the variable is unset): the device and aircraft of each port, the
// port, model,
// frame format, keep-all, system time, order, recording on or off, the window's geometry and the
// chart pane's choices. The
// command line overrides them for its run without writing them; only the user's own menu choices
// are kept.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "framework/startup_settings.h"

namespace ovixlog {

class COvixLogDoc;

// The document's settings that a menu command may change.
struct DocumentChoices {
  int32_t model = 0;
  int32_t altFrameFormat = 0;
  int32_t commPort = 1;
  int32_t keepAllSamples = 0;
  int32_t showSystemTime = 0;
  int32_t oldestFirst = 0;
  int32_t recordingEnabled = 1;

  bool operator==(const DocumentChoices&) const = default;
};

DocumentChoices ChoicesOf(const COvixLogDoc& document);

class KeptSettings {
 public:
  // The settings file. The folder is looked up on every call, so a changed XDG_CONFIG_HOME
  // (as every test sets one of its own) takes effect at once.
  static QString FilePath();

  // Copies the kept choices into `settings`; a choice never kept, or kept with a value out of
  // range, leaves its field as it was.
  static void LoadInto(StartupSettings& settings);
  // Binds each COMn to its kept device, except the ports that OVIXLOG_COMn names a device for:
  // the variable is given for this run, so it wins over what was kept.
  static void LoadBindings();

  // Writes the choices that differ between `before` and `after`, and only those: a value that
  // came from the command line is not written just because another choice changed.
  static void StoreChanges(const DocumentChoices& before, const DocumentChoices& after);
  // Keeps `device` as COM`port`'s device; empty forgets it.
  static void StoreBinding(int port, const std::string& device);
  static std::string KeptBinding(int port);
  // The aircraft the monitor on `port` ("COM1:" or "COM1") is fitted to: nothing when the pilot
  // was never asked, empty when asked and no name was given.
  static std::optional<std::string> KeptPortAircraft(const std::string& port);
  static void StorePortAircraft(const std::string& port, const std::string& aircraft);

  // The window's geometry and the state of its bars (QMainWindow::saveGeometry / saveState).
  static void StoreWindow(const QByteArray& geometry, const QByteArray& state);
  static QByteArray KeptGeometry();
  static QByteArray KeptWindowState();

  // The chart pane: the splitter between it and the table, whether it is shown, and the
  // channels of its third plot.
  struct ChartChoices {
    QByteArray splitterState;
    bool shown = true;
    std::vector<int> otherChannels;
    // For each model, the series hidden from the legend (channel numbers).
    std::map<int32_t, std::set<int>> hiddenSeries;
  };
  static void StoreCharts(const ChartChoices& choices);
  // Nothing when no chart choices were kept; channels out of range are dropped.
  static std::optional<ChartChoices> KeptCharts();
};

}  // namespace ovixlog
