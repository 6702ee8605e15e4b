#include "view/flight_chart_marks.h"

#include "analysis/limits.h"
#include "analysis/summary_writer.h"
#include "chart/chart_channel.h"
#include "view/finding_style.h"

namespace ovixlog {

int ChannelOfColumn(SampleColumn column) {
  using Field = SampleColumn::Field;
  switch (column.field) {
    case Field::kTach:
      return kChannelTach;
    case Field::kCht:
      return kChannelCht1 + column.index;
    case Field::kEgt:
      return kChannelEgt1 + column.index;
    case Field::kOilT:
      return kChannelOilT;
    case Field::kOilP:
      return kChannelOilP;
    case Field::kOat:
      return kChannelOat;
    case Field::kVolt:
      return kChannelVolt;
    case Field::kFlow:
      return kChannelFlow;
    case Field::kAspd:
      return kChannelAspd;
    case Field::kAlt:
      return kChannelAlt;
  }
  return -1;
}

std::vector<ChartView::LimitLine> LimitLinesFor(const Limits& limits, EngineModel model) {
  using Field = SampleColumn::Field;
  const std::vector<ColumnLimit> all = limits.ForModel(model);
  std::vector<ChartView::LimitLine> lines;
  std::vector<bool> done(all.size(), false);
  for (size_t i = 0; i < all.size(); ++i) {
    if (done[i])
      continue;
    const ColumnLimit& limit = all[i];
    const bool cylinder = limit.column.field == Field::kCht || limit.column.field == Field::kEgt;
    int sharing = 1;
    if (cylinder) {
      for (size_t j = i + 1; j < all.size(); ++j) {
        if (all[j].column.field == limit.column.field && all[j].kind == limit.kind &&
            all[j].value == limit.value) {
          done[j] = true;
          ++sharing;
        }
      }
    }
    const std::string group = limit.column.field == Field::kCht ? "CHT" : "EGT";
    const bool whole = cylinder && sharing > 1 && limits.Get(group, limit.kind) == limit.value;
    const std::string title = whole ? group : ColumnTitle(limit.column);
    ChartView::LimitLine line;
    line.channel = ChannelOfColumn(limit.column);
    line.value = limit.value;
    line.label = QString::fromStdString(title + " " + std::string(LimitKindName(limit.kind)) + " " +
                                        ExactNumberText(limit.value));
    lines.push_back(line);
  }
  return lines;
}

std::vector<ChartView::ShadedRange> ShadedRangesFor(const std::vector<RunSummary>& runs) {
  std::vector<ChartView::ShadedRange> ranges;
  for (const RunSummary& run : runs) {
    for (const Exceedance& e : run.exceedances) {
      ChartView::ShadedRange range;
      range.startMs = e.startMs;
      range.endMs = e.endMs;
      ranges.push_back(range);
    }
  }
  return ranges;
}

std::vector<ChartView::SpanMark> SpanMarksFor(const std::vector<RunSummary>& runs) {
  std::vector<ChartView::SpanMark> marks;
  for (const RunSummary& run : runs) {
    for (const Finding& f : run.findings) {
      ChartView::SpanMark mark;
      mark.startMs = f.startMs;
      mark.endMs = f.endMs;
      mark.channel = f.column ? ChannelOfColumn(*f.column) : -1;
      mark.color = SeverityColor(f.severity);
      marks.push_back(mark);
    }
  }
  return marks;
}

}  // namespace ovixlog
