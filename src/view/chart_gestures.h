// What the pointer, the wheel and the keys mean on the charts, apart from any widget: a press
// on a plot and a release without moving picks a sample, a drag pans, a right or shift drag
// draws a band that becomes the new view, the wheel and +/- zoom, a double click or Home fits
// the whole flight, a right click without a drag opens the chart's menu, Backspace takes the last view change back and Shift+Backspace redoes it.
// Each event gives an Intent that the chart carries out.
#pragma once

#include <QPoint>
#include <Qt>

#include "view/time_axis.h"

namespace ovixlog {

class ChartGestures {
 public:
  // A drag starts once the pointer moved this many pixels (Manhattan) from the press.
  static constexpr int kDragThreshold = 4;
  static constexpr int kWheelNotch = 120;

  struct Intent {
    enum Kind {
      kNone,     // nothing to do
      kIgnored,  // not a chart gesture: let the widget's default handling have it
      kHover,    // show the cursor at column x, without telling the table
      kPick,     // the user picked the sample at column x
      kView,     // show `axis`; `newStep` says whether it begins a change worth an undo step
      kBand,     // the band between pressPoint() and dragPoint() is to be drawn
      kFitAll,   // show the whole flight and follow it
      kUndo,
      kRedo,
      kMenu,  // a right click without a drag: the chart's menu at `point`
    };
    Intent(Kind k = kNone, int column = 0) : kind(k), x(column) {}
    Kind kind;
    int x;
    QPoint point;
    TimeAxis axis;
    bool newStep = false;
  };

  // The plots' columns: gestures turn pixels into times across this stretch.
  void SetPlotColumns(int left, int width);

  Intent Press(QPoint point, bool onPlot, Qt::MouseButton button,
               Qt::KeyboardModifiers modifiers, const TimeAxis& shown);
  Intent Move(QPoint point, bool onPlot);
  Intent Release(QPoint point, Qt::MouseButton button);
  Intent DoubleClick();
  Intent Wheel(int angleDelta, int x, const TimeAxis& shown);
  Intent Key(int key, Qt::KeyboardModifiers modifiers, const TimeAxis& shown);

  bool banding() const { return drag_ == Drag::kBand; }
  QPoint pressPoint() const { return pressPoint_; }
  QPoint dragPoint() const { return dragPoint_; }

 private:
  enum class Drag { kNone, kPending, kPan, kBand };
  Drag drag_ = Drag::kNone;
  QPoint pressPoint_;
  QPoint dragPoint_;
  TimeAxis pressAxis_;
  bool bandGesture_ = false;
  bool panned_ = false;
  int wheelRemainder_ = 0;
  int left_ = 0;
  int width_ = 1;
};

}  // namespace ovixlog
