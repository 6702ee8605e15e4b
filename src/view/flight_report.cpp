#include "view/flight_report.h"

#include <QDate>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>

#include <algorithm>
#include <cmath>
#include <map>

#include "analysis/flight_analyzer.h"
#include "analysis/lean_test_curves.h"
#include "analysis/limits.h"
#include "analysis/summary_writer.h"
#include "format/column_set.h"
#include "view/flight_chart_marks.h"
#include "view/lean_test_view.h"
#include "view/plot_painter.h"
#include "view/series_look.h"

namespace ovixlog {
namespace {

// Everything is laid out in points (1/72 inch), whatever the device's resolution.
constexpr double kMargin = 42.0;
constexpr double kFooter = 20.0;
constexpr int kChartColumns = 480;
constexpr int kMaxLeanPlots = 6;
// A marker on each series every this many columns, each series' a little further on than the
// last one's so that they do not sit on top of each other.
constexpr int kMarkerColumns = 40;
constexpr double kMarkerSize = 4.0;
// Tach time without the monitor's engine hours: running time scaled by rpm over this.
constexpr double kTachReferenceRpm = 2400.0;

constexpr int kTickStepsS[] = {60,   120,  300,   600,   900,   1800,
                               3600, 7200, 10800, 21600, 43200, 86400};

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

QFont Font(double points, bool bold = false) {
  QFont font(QStringLiteral("Sans Serif"));
  font.setPixelSize(std::max(1, static_cast<int>(std::lround(points))));
  font.setBold(bold);
  // No ligatures: "fl" stays two letters that a PDF reader's search and copy find.
  font.setStyleStrategy(QFont::PreferNoShaping);
  return font;
}

// A chart of the report: its title and the channels it draws.
struct ReportChart {
  const char* title;
  std::vector<int> channels;
};

}  // namespace

struct FlightReport::LeanPlot {
  LeanTest test;
  LeanTestCurves curves;
  QString when;
};

// The pages as they are filled: a running height on the current page, a footer on each.
class FlightReport::Pager {
 public:
  Pager(QPagedPaintDevice& device, QPainter& painter, QString footer)
      : device_(device), painter_(painter), footer_(std::move(footer)) {
    const QSizeF size = device.pageLayout().paintRect(QPageLayout::Point).size();
    width_ = size.width();
    height_ = size.height();
    Begin();
  }
  // The top of a block `height` points high: on this page when it fits, else on a new one.
  double Take(double height) {
    if (y_ + height > bottom() + 0.5 && y_ > kMargin + 1.0)
      NewPage();
    const double top = y_;
    y_ += height;
    return top;
  }
  void NewPage() {
    Footer();
    device_.newPage();
    ++pages_;
    Begin();
  }
  void Finish() { Footer(); }
  double left() const { return kMargin; }
  double width() const { return width_ - 2 * kMargin; }
  double bottom() const { return height_ - kMargin - kFooter; }
  double y() const { return y_; }
  int pages() const { return pages_; }

 private:
  void Begin() {
    y_ = kMargin;
    // Points on every device: the painter's unit is a point.
    const double scale = device_.logicalDpiX() / 72.0;
    painter_.resetTransform();
    painter_.scale(scale, device_.logicalDpiY() / 72.0);
  }
  void Footer() {
    painter_.setFont(Font(8));
    painter_.setPen(Qt::black);
    painter_.drawText(QRectF(kMargin, height_ - kMargin - 10, width_ - 2 * kMargin, 12),
                      Qt::AlignLeft | Qt::AlignVCenter, footer_);
    painter_.drawText(QRectF(kMargin, height_ - kMargin - 10, width_ - 2 * kMargin, 12),
                      Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("Page %1").arg(pages_));
  }

  QPagedPaintDevice& device_;
  QPainter& painter_;
  QString footer_;
  double width_ = 595.0;
  double height_ = 842.0;
  double y_ = kMargin;
  int pages_ = 1;
};

FlightReport::FlightReport(const FlightReportInput& input) : input_(input) {
  samples_.reserve(static_cast<size_t>(std::max(input.count, 0)));
  for (int i = 0; i < input.count; ++i) {
    if (const EngineSample* s = input.sample ? input.sample(i) : nullptr)
      samples_.push_back(*s);
  }
  input_.sample = nullptr;
  runs_ = AnalyseSamples(samples_, input.model, input.limits);
  for (const EngineSample& s : samples_)
    summary_.Append(s);
  totalRuns_ = static_cast<int>(runs_.size());
  endMs_ = std::max<int64_t>(summary_.LastTimeMs(), 60000);
  if (input.run) {
    if (*input.run >= 0 && *input.run < totalRuns_) {
      const RunSummary one = runs_[static_cast<size_t>(*input.run)];
      runs_ = {one};
      firstRunNumber_ = *input.run + 1;
      startMs_ = one.startMs;
      endMs_ = std::max(one.endMs, one.startMs + 60000);
    } else {
      runFound_ = false;
    }
  }

  // Tach time over what the report covers: the monitor's engine hours where it sends them,
  // else running time by rpm.
  const int coveredFirst = summary_.LowerBound(startMs_);
  const int coveredEnd = summary_.LowerBound(endMs_ + 1);
  for (int i = coveredFirst; i < coveredEnd; ++i) {
    const EngineSample& s = samples_[static_cast<size_t>(i)];
    if (s.hours > 0.0f) {
      if (!engineHoursKnown_)
        firstEngineHours_ = s.hours;
      lastEngineHours_ = s.hours;
      engineHoursKnown_ = true;
    }
  }
  if (engineHoursKnown_) {
    tachHours_ = lastEngineHours_ - firstEngineHours_;
  } else {
    for (int i = std::max(coveredFirst, 1); i < coveredEnd; ++i) {
      const double seconds =
          static_cast<double>(summary_.TimeMs(i) - summary_.TimeMs(i - 1)) / 1000.0;
      if (seconds <= ChartSeries::kGapMs / 1000.0)
        tachHours_ += seconds / 3600.0 * samples_[static_cast<size_t>(i)].tach / kTachReferenceRpm;
    }
  }

  const int egtCount = ColumnSetFor(input.model).egtCount;
  for (const RunSummary& run : runs_) {
    for (const LeanTest& test : run.leanTests) {
      if (static_cast<int>(leanPlots_.size()) == kMaxLeanPlots)
        break;
      const int first = summary_.LowerBound(test.startMs);
      const int end = summary_.LowerBound(test.endMs + 1);
      std::vector<const EngineSample*> sweep;
      for (int i = first; i < end; ++i)
        sweep.push_back(&samples_[static_cast<size_t>(i)]);
      LeanPlot plot;
      plot.test = test;
      plot.curves = BuildLeanTestCurves(test, sweep, egtCount);
      plot.when = QStringLiteral("%1 sweep at %2, %3 long")
                      .arg(test.lean ? QStringLiteral("Lean") : QStringLiteral("Rich"))
                      .arg(Q(ClockText(test.startMs)))
                      .arg(Q(ClockText(test.endMs - test.startMs)));
      leanPlots_.push_back(std::move(plot));
    }
  }
}

FlightReport::~FlightReport() = default;

QStringList FlightReport::FactLines() const {
  QStringList lines;
  lines << QStringLiteral("Aircraft: %1")
               .arg(input_.aircraft.empty() ? QStringLiteral("not recorded in the log")
                                            : Q(input_.aircraft));
  lines << QStringLiteral("Engine monitor: Ovix Model %1").arg(ModelNumber(input_.model));
  lines << QStringLiteral("Recording: %1").arg(Q(input_.source));
  // The PC's date only where the clock kept pace with the samples: an import stamps them all
  // with the moment it read them.
  QString date = QStringLiteral("not recorded in the log");
  if (samples_.size() > 1) {
    const LocalTime& a = samples_.front().localTime;
    const LocalTime& b = samples_.back().localTime;
    const auto dayMs = [](const LocalTime& t) {
      return ((t.day * int64_t{24} + t.hour) * 60 + t.minute) * 60000 + t.second * 1000 +
             t.milliseconds;
    };
    const int64_t stamps = summary_.LastTimeMs();
    if (a.year != 0 && std::llabs(dayMs(b) - dayMs(a) - stamps) <= 2000 + stamps / 10) {
      date = QStringLiteral("%1-%2-%3 %4:%5")
                 .arg(a.year, 4, 10, QLatin1Char('0'))
                 .arg(a.month, 2, 10, QLatin1Char('0'))
                 .arg(a.day, 2, 10, QLatin1Char('0'))
                 .arg(a.hour, 2, 10, QLatin1Char('0'))
                 .arg(a.minute, 2, 10, QLatin1Char('0'));
    }
  }
  lines << QStringLiteral("Date: %1").arg(date);
  lines << QStringLiteral("Recorded: %1 (%2 samples)")
               .arg(Q(ClockText(summary_.LastTimeMs())))
               .arg(samples_.size());
  int64_t running = 0;
  int64_t airborne = 0;
  double fuel = 0.0;
  for (const RunSummary& run : runs_) {
    running += run.DurationMs();
    airborne += run.airborneMs;
    fuel += run.fuelUsed;
  }
  if (input_.run && runFound_) {
    lines << QStringLiteral("Engine run %1 of %2: engine running %3, airborne %4")
                 .arg(firstRunNumber_)
                 .arg(totalRuns_)
                 .arg(Q(ClockText(running)))
                 .arg(Q(ClockText(airborne)));
  } else {
    lines << QStringLiteral("Engine runs: %1, engine running %2, airborne %3")
                 .arg(runs_.size())
                 .arg(Q(ClockText(running)))
                 .arg(Q(ClockText(airborne)));
  }
  lines << QStringLiteral("Hobbs time: %1 h").arg(static_cast<double>(running) / 3.6e6, 0, 'f', 1);
  if (engineHoursKnown_) {
    lines << QStringLiteral("Tach time: %1 h (engine hours %2 to %3)")
                 .arg(tachHours_, 0, 'f', 1)
                 .arg(firstEngineHours_, 0, 'f', 1)
                 .arg(lastEngineHours_, 0, 'f', 1);
  } else {
    lines << QStringLiteral("Tach time: %1 h (from rpm, %2 rpm to the hour)")
                 .arg(tachHours_, 0, 'f', 1)
                 .arg(kTachReferenceRpm, 0, 'f', 0);
  }
  lines << QStringLiteral("Fuel used: %1 gal").arg(Q(NumberText(fuel, 1)));
  return lines;
}

int FlightReport::Paint(QPagedPaintDevice& device) const {
  QPainter painter(&device);
  if (!painter.isActive())
    return 0;
  Pager pager(device, painter,
              QStringLiteral("OvixLog flight report \u2014 %1").arg(Q(input_.source)));
  PaintFirstPage(painter, pager);
  PaintCharts(painter, pager);
  PaintLeanTests(painter, pager);
  pager.Finish();
  painter.end();
  return pager.pages();
}

bool FlightReport::WritePdf(const QString& path, QPageSize::PageSizeId page,
                            QString* error) const {
  QPdfWriter writer(path);
  if (!writer.setPageLayout(QPageLayout(QPageSize(page), QPageLayout::Portrait, QMarginsF()))) {
    if (error != nullptr)
      *error = QStringLiteral("Unable to set the page size");
    return false;
  }
  writer.setResolution(300);
  writer.setCreator(QStringLiteral("OvixLog"));
  writer.setTitle(QStringLiteral("Flight report"));
  if (Paint(writer) == 0) {
    if (error != nullptr)
      *error = QStringLiteral("Unable to write file: ") + path;
    return false;
  }
  // The writer reports no failure of its own: a file that did not come about is one.
  if (!QFileInfo(path).isFile() || QFileInfo(path).size() == 0) {
    if (error != nullptr)
      *error = QStringLiteral("Unable to write file: ") + path;
    return false;
  }
  return true;
}

void FlightReport::PaintFirstPage(QPainter& painter, Pager& pager) const {
  painter.setPen(Qt::black);
  painter.setFont(Font(18, true));
  double y = pager.Take(28);
  painter.drawText(QRectF(pager.left(), y, pager.width(), 26), Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("Flight report"));
  painter.setFont(Font(10));
  for (const QString& line : FactLines()) {
    y = pager.Take(14);
    painter.drawText(QRectF(pager.left(), y, pager.width(), 14), Qt::AlignLeft | Qt::AlignVCenter,
                     line);
  }
  pager.Take(10);

  // A table: titles in bold over a rule, then the rows; new pages repeat the titles. Cells are
  // cut short to fit, except that with `wrapLast` the last column's text goes on over as many
  // lines as it needs.
  const auto table = [&](const QString& heading, const QStringList& titles,
                         const std::vector<double>& widths, const std::vector<QStringList>& rows,
                         bool wrapLast = false) {
    painter.setFont(Font(12, true));
    double top = pager.Take(40);
    painter.drawText(QRectF(pager.left(), top, pager.width(), 18),
                     Qt::AlignLeft | Qt::AlignVCenter, heading);
    const int lastColumn = static_cast<int>(widths.size()) - 1;
    const int wrapFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
    const auto wraps = [&](const QStringList& cells, bool bold) {
      return wrapLast && !bold && cells.size() > lastColumn;
    };
    // The row's height: one line, or as many as the last column's text takes.
    const auto rowHeight = [&](const QStringList& cells) {
      if (!wraps(cells, false))
        return 14.0;
      painter.setFont(Font(8.5));
      const double w = widths.back() * pager.width();
      const QRectF need =
          painter.boundingRect(QRectF(0, 0, w - 4, 1e4), wrapFlags, cells[lastColumn]);
      return std::max(14.0, std::ceil(need.height()) + 3.0);
    };
    const auto drawRow = [&](double rowTop, const QStringList& cells, bool bold, double height) {
      painter.setFont(Font(8.5, bold));
      double x = pager.left();
      for (int c = 0; c < cells.size() && c < static_cast<int>(widths.size()); ++c) {
        const double w = widths[static_cast<size_t>(c)] * pager.width();
        if (c == lastColumn && wraps(cells, bold)) {
          // The first line level with the other cells, which stand centred in 13 points.
          const double lead = (13.0 - painter.fontMetrics().height()) / 2.0;
          painter.drawText(QRectF(x + 2, rowTop + lead, w - 4, height - lead), wrapFlags,
                           cells[c]);
        } else {
          painter.drawText(QRectF(x + 2, rowTop, w - 4, 13), Qt::AlignLeft | Qt::AlignVCenter,
                           painter.fontMetrics().elidedText(cells[c], Qt::ElideRight,
                                                            static_cast<int>(w - 4)));
        }
        x += w;
      }
    };
    drawRow(top + 20, titles, true, 13);
    painter.drawLine(QPointF(pager.left(), top + 34), QPointF(pager.left() + pager.width(), top + 34));
    if (rows.empty()) {
      const double rowTop = pager.Take(14);
      painter.setFont(Font(8.5));
      painter.drawText(QRectF(pager.left() + 2, rowTop, pager.width(), 13),
                       Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("None."));
    }
    for (const QStringList& row : rows) {
      const double height = rowHeight(row);
      const int before = pager.pages();
      double rowTop = pager.Take(height);
      if (pager.pages() != before) {
        drawRow(rowTop, titles, true, 13);
        pager.Take(14);
        rowTop += 14;
      }
      drawRow(rowTop, row, false, height);
    }
    pager.Take(8);
  };

  std::vector<QStringList> runRows;
  std::vector<QStringList> leanRows;
  for (size_t i = 0; i < runs_.size(); ++i) {
    const RunSummary& run = runs_[i];
    const auto [cylinder, hottest] = run.HottestCht();
    const int number = static_cast<int>(i) + firstRunNumber_;
    runRows.push_back({QString::number(number), Q(ClockText(run.startMs)),
                       Q(ClockText(run.DurationMs())), Q(ClockText(run.airborneMs)),
                       Q(NumberText(run.fuelUsed, 1)),
                       cylinder > 0
                           ? QStringLiteral("CHT%1 %2").arg(cylinder).arg(Q(NumberText(hottest)))
                           : QString(),
                       Q(NumberText(run.egtSpreadMax, 0)), QString::number(run.exceedances.size()),
                       QString::number(run.leanTests.size())});
    for (const LeanTest& t : run.leanTests) {
      leanRows.push_back({QString::number(number), Q(ClockText(t.startMs)),
                          Q(ClockText(t.endMs - t.startMs)), Q(LeanTestWords(t)),
                          t.gamiSpread ? QString::fromLatin1(BalanceWords(BalanceOf(*t.gamiSpread)))
                                       : QStringLiteral("no peaks")});
    }
  }
  table(QStringLiteral("Engine runs"),
        {QStringLiteral("Run"), QStringLiteral("Start"), QStringLiteral("Duration"),
         QStringLiteral("Airborne"), QStringLiteral("Fuel"), QStringLiteral("Hottest CHT"),
         QStringLiteral("EGT spread"), QStringLiteral("Exceedances"), QStringLiteral("Lean tests")},
        {0.06, 0.1, 0.1, 0.1, 0.08, 0.14, 0.13, 0.15, 0.14}, runRows);
  table(QStringLiteral("Lean tests"),
        {QStringLiteral("Run"), QStringLiteral("Start"), QStringLiteral("Duration"),
         QStringLiteral("The test in words"), QStringLiteral("Balance")},
        {0.06, 0.1, 0.1, 0.52, 0.22}, leanRows);

  std::vector<QStringList> exceedanceRows;
  for (size_t i = 0; i < runs_.size(); ++i) {
    for (const Exceedance& e : runs_[i].exceedances) {
      exceedanceRows.push_back(
          {QString::number(static_cast<int>(i) + firstRunNumber_),
           Q(ColumnTitle(e.column)) +
               (e.kind == LimitKind::kMax ? QStringLiteral(" above ") : QStringLiteral(" below ")) +
               Q(ExactNumberText(e.limit)),
           Q(ClockText(e.startMs)), Q(ClockText(e.endMs - e.startMs)),
           Q(NumberText(e.peak))});
    }
  }
  table(QStringLiteral("Exceedances"),
        {QStringLiteral("Run"), QStringLiteral("Reading"), QStringLiteral("Start"),
         QStringLiteral("Duration"), QStringLiteral("Peak")},
        {0.07, 0.33, 0.2, 0.2, 0.2}, exceedanceRows);

  // Each run's findings with their sentences, or that it has none.
  std::vector<QStringList> findingRows;
  for (size_t i = 0; i < runs_.size(); ++i) {
    const QString number = QString::number(static_cast<int>(i) + firstRunNumber_);
    if (runs_[i].findings.empty())
      findingRows.push_back({number, QString(), QString(), QString(), QStringLiteral("No findings.")});
    for (const Finding& f : runs_[i].findings) {
      findingRows.push_back(
          {number, QString::fromLatin1(FindingSeverityName(f.severity)),
           f.column ? Q(ColumnTitle(*f.column)) : QStringLiteral("Engine"),
           QStringLiteral("%1 to %2").arg(Q(ClockText(f.startMs)), Q(ClockText(f.endMs))),
           Q(FindingKindTitle(f.kind)) + QStringLiteral(": ") + Q(f.text)});
    }
  }
  table(QStringLiteral("Findings"),
        {QStringLiteral("Run"), QStringLiteral("Severity"), QStringLiteral("Reading"),
         QStringLiteral("Time"), QStringLiteral("What was found")},
        {0.06, 0.1, 0.1, 0.19, 0.55}, findingRows, true);
}

void FlightReport::PaintCharts(QPainter& painter, Pager& pager) const {
  const std::vector<int> egt = EgtChannels(input_.model);
  const std::vector<int> cht = ChtChannels(input_.model);
  const std::vector<ReportChart> charts = {
      {"EGT (F)", egt},
      {"CHT (F)", cht},
      {"Oil temperature (F) and pressure", {kChannelOilT, kChannelOilP}},
      {"Volts", {kChannelVolt}},
      {"Fuel flow", {kChannelFlow}},
      {"Altitude and airspeed", {kChannelAlt, kChannelAspd}},
  };
  const std::vector<ChartLimitLine> limits = LimitLinesFor(input_.limits, input_.model);
  const std::vector<ChartShadedRange> shaded = ShadedRangesFor(runs_);
  const int64_t t0 = startMs_;
  const int64_t t1 = endMs_;
  const ChartSeries::RawAccess raw = [this](int index) {
    return index >= 0 && index < static_cast<int>(samples_.size())
               ? &samples_[static_cast<size_t>(index)]
               : nullptr;
  };
  const ChartSeries::Plan plan = summary_.PlanFor(t0, t1, kChartColumns);

  pager.NewPage();
  // Three charts to a page, on A4 and Letter alike.
  const double height = (pager.bottom() - kMargin) / 3.0 - 14.0;
  for (const ReportChart& chart : charts) {
    const double top = pager.Take(height + 14);
    const QRectF frame(pager.left() + 40, top + 18, pager.width() - 80, height - 40);
    painter.setPen(Qt::black);
    painter.setFont(Font(11, true));
    painter.drawText(QRectF(pager.left(), top, pager.width(), 16), Qt::AlignLeft | Qt::AlignVCenter,
                     QString::fromLatin1(chart.title));

    // The envelopes and their scales, each unit on its own axis (left, then right), reaching
    // the limit lines as the window's charts do; five steps to an axis.
    std::vector<ChartSeries::Envelope> envelopes(chart.channels.size());
    std::vector<ChartUnit> units;
    for (size_t i = 0; i < chart.channels.size(); ++i) {
      summary_.Fill(plan, chart.channels[i], t0, t1, kChartColumns, raw, envelopes[i]);
      const ChartUnit unit = ChannelUnit(chart.channels[i]);
      if (std::find(units.begin(), units.end(), unit) == units.end())
        units.push_back(unit);
    }
    const std::map<ChartUnit, ValueScale> scaleOfUnit =
        UnitScales(chart.channels, envelopes, {}, limits, 5 * 40);
    std::vector<ValueScale> scales;
    for (const ChartUnit unit : units)
      scales.push_back(scaleOfUnit.at(unit));
    const auto xFor = [&](double column) { return frame.left() + column / kChartColumns * frame.width(); };
    const auto xForTime = [&](int64_t t) {
      return frame.left() + static_cast<double>(t - t0) / static_cast<double>(t1 - t0) * frame.width();
    };
    const auto yFor = [&](size_t u, double v) {
      const ValueScale& s = scales[u];
      return frame.bottom() - (v - s.low) / (s.high - s.low) * frame.height();
    };

    // Exceedances shaded light grey, under everything.
    for (const ChartShadedRange& range : shaded) {
      const double x0 = std::max(xForTime(range.startMs), frame.left());
      const double x1 = std::min(xForTime(range.endMs), frame.right());
      if (x1 > x0)
        painter.fillRect(QRectF(x0, frame.top(), std::max(x1 - x0, 0.8), frame.height()),
                         QColor(215, 215, 215));
    }
    // Grid, value axes and the time axis.
    painter.setFont(Font(7.5));
    for (size_t u = 0; u < scales.size() && u < 2; ++u) {
      const ValueScale& s = scales[u];
      for (double v = s.low; v <= s.high + s.step / 2; v += s.step) {
        const double y = yFor(u, v);
        if (u == 0) {
          painter.setPen(QPen(QColor(200, 200, 200), 0.4));
          painter.drawLine(QPointF(frame.left(), y), QPointF(frame.right(), y));
        }
        painter.setPen(Qt::black);
        const QRectF label = u == 0 ? QRectF(frame.left() - 40, y - 6, 36, 12)
                                    : QRectF(frame.right() + 4, y - 6, 36, 12);
        const QString text = QString::number(v, 'g', 6);
        if (u == 0)
          painter.drawText(label, Qt::AlignRight | Qt::AlignVCenter, text);
        else
          painter.drawText(label, Qt::AlignLeft | Qt::AlignVCenter, text);
      }
    }
    int64_t stepS = kTickStepsS[sizeof kTickStepsS / sizeof kTickStepsS[0] - 1];
    for (int s : kTickStepsS) {
      if (static_cast<double>(s) * 1000.0 * frame.width() / static_cast<double>(t1 - t0) >= 60.0) {
        stepS = s;
        break;
      }
    }
    for (int64_t t = (t0 + stepS * 1000 - 1) / (stepS * 1000) * (stepS * 1000); t <= t1;
         t += stepS * 1000) {
      const double x = xForTime(t);
      painter.setPen(QPen(QColor(200, 200, 200), 0.4));
      painter.drawLine(QPointF(x, frame.top()), QPointF(x, frame.bottom()));
      painter.setPen(Qt::black);
      painter.drawText(QRectF(x - 30, frame.bottom() + 2, 60, 12), Qt::AlignCenter,
                       Q(ClockText(t)));
    }
    // Limit lines, dashed, with their text.
    for (const ChartLimitLine& limit : limits) {
      const auto found = std::find(units.begin(), units.end(), ChannelUnit(limit.channel));
      if (found == units.end() || std::find(chart.channels.begin(), chart.channels.end(),
                                            limit.channel) == chart.channels.end())
        continue;
      const double y = yFor(static_cast<size_t>(found - units.begin()), limit.value);
      painter.setPen(QPen(Qt::black, 0.6, Qt::DashLine));
      painter.drawLine(QPointF(frame.left(), y), QPointF(frame.right(), y));
      // Above its line, unless that would leave the frame for the legend's row: then below.
      if (!limit.label.isEmpty()) {
        const double labelTop = y - 11 < frame.top() ? y + 1 : y - 11;
        painter.drawText(QRectF(frame.right() - 200, labelTop, 196, 10),
                         Qt::AlignRight | Qt::AlignVCenter, limit.label);
      }
    }
    // The series: the middle of each column's range, broken where the samples pause; each
    // series in a line style and with markers of its own so that it reads in black and white.
    painter.save();
    painter.setClipRect(frame);
    const size_t seriesCount = chart.channels.size();
    for (size_t i = 0; i < seriesCount; ++i) {
      const size_t u = static_cast<size_t>(
          std::find(units.begin(), units.end(), ChannelUnit(chart.channels[i])) - units.begin());
      const SeriesLook look = SeriesLook::For(static_cast<int>(i));
      const size_t markerOffset = i * kMarkerColumns / seriesCount;
      QPainterPath path;
      std::vector<QPointF> marks;
      bool open = false;
      for (size_t c = 0; c < envelopes[i].columns.size(); ++c) {
        const ChartSeries::Column& col = envelopes[i].columns[c];
        if (col.first < 0)
          continue;
        const QPointF p(xFor(static_cast<double>(c) + 0.5),
                        yFor(u, (static_cast<double>(col.min) + col.max) / 2.0));
        if (open && col.connected)
          path.lineTo(p);
        else
          path.moveTo(p);
        open = true;
        if (c % kMarkerColumns == markerOffset)
          marks.push_back(p);
      }
      painter.setPen(QPen(look.color, 0.9, look.dash));
      painter.setBrush(Qt::NoBrush);
      painter.drawPath(path);
      painter.setPen(QPen(look.color, 0.5));
      painter.setBrush(look.color);
      for (const QPointF& p : marks)
        DrawSeriesMarker(painter, p, look.marker, kMarkerSize);
    }
    painter.restore();
    painter.setPen(QPen(Qt::black, 0.6));
    painter.drawRect(frame);
    // Legend: a short stretch of each line style with its marker and the channel's name, on
    // the title's row. Where nine cylinders' entries would run off the page, they start right
    // after the title with shorter stretches.
    painter.setFont(Font(7.5));
    const double titleEnd = pager.left() + QFontMetricsF(Font(11, true))
                                               .horizontalAdvance(QString::fromLatin1(chart.title));
    const auto legendWidth = [&](double besidesName) {
      double width = 0.0;
      for (int channel : chart.channels)
        width += besidesName +
                 painter.fontMetrics().horizontalAdvance(QString::fromLatin1(ChannelTitle(channel)));
      return width;
    };
    double stretch = 18.0;
    double besidesName = 34.0;
    double x = std::max(frame.left() + 150, titleEnd + 20);
    const double right = pager.left() + pager.width();
    if (x + legendWidth(besidesName) > right) {
      x = titleEnd + 12;
      if (x + legendWidth(besidesName) > right) {
        stretch = 12.0;
        besidesName = 24.0;
      }
    }
    for (size_t i = 0; i < chart.channels.size(); ++i) {
      const QString name = QString::fromLatin1(ChannelTitle(chart.channels[i]));
      const SeriesLook look = SeriesLook::For(static_cast<int>(i));
      painter.setPen(QPen(look.color, 1.2, look.dash));
      painter.drawLine(QPointF(x, top + 8), QPointF(x + stretch, top + 8));
      painter.setPen(QPen(look.color, 0.5));
      painter.setBrush(look.color);
      DrawSeriesMarker(painter, QPointF(x + stretch / 2, top + 8), look.marker, kMarkerSize);
      painter.setBrush(Qt::NoBrush);
      painter.setPen(Qt::black);
      painter.drawText(QPointF(x + stretch + 3, top + 11), name);
      x += besidesName + painter.fontMetrics().horizontalAdvance(name);
    }
  }
}

void FlightReport::PaintLeanTests(QPainter& painter, Pager& pager) const {
  for (size_t i = 0; i < leanPlots_.size(); ++i) {
    const LeanPlot& plot = leanPlots_[i];
    // Two to a page.
    const double height = (pager.bottom() - kMargin) / 2.0 - 12.0;
    if (i == 0)
      pager.NewPage();
    const double top = pager.Take(height + 12);
    painter.save();
    painter.setFont(Font(9));
    LeanTestView::Draw(painter, QRect(static_cast<int>(pager.left()), static_cast<int>(top),
                                      static_cast<int>(pager.width()), static_cast<int>(height)),
                       plot.test, plot.curves, plot.when);
    painter.restore();
  }
}

}  // namespace ovixlog
