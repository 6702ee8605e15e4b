// How the window shows a finding's severity wherever it lists one: a standard message icon and
// a text colour (blue for info, amber for caution, red for warning).
#pragma once

#include <QColor>
#include <QIcon>

#include "analysis/finding.h"

namespace ovixlog {

QIcon SeverityIcon(FindingSeverity severity);
QColor SeverityColor(FindingSeverity severity);
// The most severe of `findings`; nothing for none.
std::optional<FindingSeverity> WorstSeverity(const std::vector<Finding>& findings);

}  // namespace ovixlog
