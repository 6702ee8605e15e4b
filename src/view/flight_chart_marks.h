// What the charts draw for the flight review: a line at every engine limit of the model, a
// shaded stretch for every exceedance and a bar under the span of every finding.
#pragma once

#include <vector>

#include "analysis/limits.h"
#include "analysis/run_summary.h"
#include "view/chart_view.h"

namespace ovixlog {

// The chart channel of a column the analysis reads; -1 for none.
int ChannelOfColumn(SampleColumn column);

// One line per distinct limit: the cylinders that keep their group's limit share one line
// ("CHT max 435") on the first one's channel; a cylinder with a value of its own gets its own
// ("CHT3 max 420"). In the order of Limits::ForModel.
std::vector<ChartView::LimitLine> LimitLinesFor(const Limits& limits, EngineModel model);
// Every exceedance of every run, in run order.
std::vector<ChartView::ShadedRange> ShadedRangesFor(const std::vector<RunSummary>& runs);
// Every finding of every run, in run order, on the channel of its column (every plot for the
// engine as a whole), in its severity's colour.
std::vector<ChartView::SpanMark> SpanMarksFor(const std::vector<RunSummary>& runs);

}  // namespace ovixlog
