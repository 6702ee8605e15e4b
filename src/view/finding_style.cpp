#include "view/finding_style.h"

#include <QApplication>
#include <QStyle>

namespace ovixlog {

QIcon SeverityIcon(FindingSeverity severity) {
  QStyle* style = QApplication::style();
  switch (severity) {
    case FindingSeverity::kInfo:
      return style->standardIcon(QStyle::SP_MessageBoxInformation);
    case FindingSeverity::kCaution:
      return style->standardIcon(QStyle::SP_MessageBoxWarning);
    case FindingSeverity::kWarning:
      return style->standardIcon(QStyle::SP_MessageBoxCritical);
  }
  return {};
}

QColor SeverityColor(FindingSeverity severity) {
  switch (severity) {
    case FindingSeverity::kInfo:
      return QColor(0x1f, 0x5f, 0xbf);
    case FindingSeverity::kCaution:
      return QColor(0xb8, 0x6e, 0x00);
    case FindingSeverity::kWarning:
      return QColor(0xc8, 0x1e, 0x1e);
  }
  return Qt::black;
}

std::optional<FindingSeverity> WorstSeverity(const std::vector<Finding>& findings) {
  std::optional<FindingSeverity> worst;
  for (const Finding& f : findings) {
    if (!worst || static_cast<int>(f.severity) > static_cast<int>(*worst))
      worst = f.severity;
  }
  return worst;
}

}  // namespace ovixlog
