// The flight report a pilot hands the mechanic, as pages: the aircraft, the flight's times,
// tach and Hobbs time and fuel, a summary table of the engine runs, the lean tests, the
// exceedances, each run's findings with their sentences, charts of EGT, CHT, oil, volts, flow
// and altitude with airspeed, and each lean test against flow. Drawn with QPainter onto any
// paged device (a PDF writer, a printer), readable in black and white: every series and every
// lean-test cylinder has a line style and a marker shape of its own.
#pragma once

#include <QPageSize>
#include <QString>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "analysis/limits.h"
#include "analysis/run_summary.h"
#include "chart/chart_series.h"

class QPagedPaintDevice;
class QPainter;

namespace ovixlog {

struct FlightReportInput {
  // What the samples were read from, shown on the first page ("flight.log", "live recording").
  std::string source;
  // The aircraft, when known; the page says so when it is not.
  std::string aircraft;
  EngineModel model = kModel5100;
  Limits limits = Limits::Defaults();
  // One engine run (0 = the first) instead of the whole recording.
  std::optional<int> run;
  // The samples, oldest first; each is read while the report is being built, never after.
  int count = 0;
  std::function<const EngineSample*(int index)> sample;
};

class FlightReport {
 public:
  // Analyses the samples and keeps what the pages show.
  explicit FlightReport(const FlightReportInput& input);
  ~FlightReport();

  // Paints every page onto `device` (a PDF writer or a printer, already set up); returns the
  // number of pages.
  int Paint(QPagedPaintDevice& device) const;
  // Writes the report as a PDF of `page` size; false with `error` set when it could not.
  bool WritePdf(const QString& path, QPageSize::PageSizeId page, QString* error) const;

  // The runs the report covers: every run, or the one asked for.
  const std::vector<RunSummary>& runs() const { return runs_; }
  // False when one run was asked for and the recording has no such run.
  bool runFound() const { return runFound_; }
  int totalRuns() const { return totalRuns_; }
  // The first page's lines of facts ("Tach time: ..."), for the tests and the window.
  QStringList FactLines() const;

 private:
  struct LeanPlot;
  class Pager;

  void PaintFirstPage(QPainter& painter, Pager& pager) const;
  void PaintCharts(QPainter& painter, Pager& pager) const;
  void PaintLeanTests(QPainter& painter, Pager& pager) const;

  FlightReportInput input_;
  std::vector<RunSummary> runs_;
  ChartSeries summary_;
  // Every sample kept for the lean tests' curves and the charts' fine views; copied so the
  // report outlives the store it was read from.
  std::vector<EngineSample> samples_;
  std::vector<LeanPlot> leanPlots_;
  int totalRuns_ = 0;
  int firstRunNumber_ = 1;
  bool runFound_ = true;
  // The stretch the charts and the tach time cover, in elapsed milliseconds.
  int64_t startMs_ = 0;
  int64_t endMs_ = 60000;
  double tachHours_ = 0.0;
  double firstEngineHours_ = 0.0;
  double lastEngineHours_ = 0.0;
  bool engineHoursKnown_ = false;
};

}  // namespace ovixlog
