// The one cursor of the window: the sample that every chart marks and the table selects. Views
// move it and follow it; a sample the user picked (a click) is announced apart from one that
// was merely shown (hover, a selected row), so that only a pick moves the table.
#pragma once

#include <QObject>

namespace ovixlog {

class ChartCursor : public QObject {
  Q_OBJECT

 public:
  explicit ChartCursor(QObject* parent = nullptr);

  // The sample under the cursor (0 = oldest), -1 when hidden.
  int sample() const { return sample_; }
  // Moves the cursor; a negative index hides it. Emits moved when it changed.
  void SetSample(int index);
  // The user picked `index`: moves the cursor and emits picked, even when it stood there.
  void Pick(int index);

 signals:
  void moved(int index);
  void picked(int index);

 private:
  int sample_ = -1;
};

}  // namespace ovixlog
