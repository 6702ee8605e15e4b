// The run summaries as text for people and as JSON for programs.
#pragma once

#include <string>
#include <vector>

#include "analysis/run_summary.h"

namespace ovixlog {

// A readable page per run; "No engine runs." when there are none. Lines end in "\n".
std::string SummaryText(const std::vector<RunSummary>& runs);
// One JSON object {"runs": [...]}, followed by "\n".
std::string SummaryJson(const std::vector<RunSummary>& runs);

// One finding as a JSON object {"kind", "column", "start_s", "end_s", "severity", "evidence",
// "text"}, times in seconds of the same base as its run's.
std::string FindingJson(const Finding& finding);
// One finding as a line for people: "caution: <sentence> (0:10:05 to 0:12:40)".
std::string FindingText(const Finding& finding);

// "1:02:03" for 3723000 ms (whole seconds, rounded down).
std::string ClockText(int64_t ms);
// A number with up to `decimals` decimals, trailing zeros dropped: 12.5, 60, 0.125.
std::string NumberText(double value, int decimals = 3);

}  // namespace ovixlog
