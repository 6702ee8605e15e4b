#include "view/chart_cursor.h"

namespace ovixlog {

ChartCursor::ChartCursor(QObject* parent) : QObject(parent) {}

void ChartCursor::SetSample(int index) {
  const int wanted = index >= 0 ? index : -1;
  if (wanted == sample_)
    return;
  sample_ = wanted;
  emit moved(sample_);
}

void ChartCursor::Pick(int index) {
  SetSample(index);
  if (sample_ >= 0)
    emit picked(sample_);
}

}  // namespace ovixlog
