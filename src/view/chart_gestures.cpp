#include "view/chart_gestures.h"

#include <algorithm>
#include <cmath>

namespace ovixlog {

void ChartGestures::SetPlotColumns(int left, int width) {
  left_ = left;
  width_ = std::max(width, 1);
}

ChartGestures::Intent ChartGestures::Press(QPoint point, bool onPlot, Qt::MouseButton button,
                                           Qt::KeyboardModifiers modifiers,
                                           const TimeAxis& shown) {
  if (!onPlot)
    return Intent{Intent::kIgnored};
  drag_ = Drag::kPending;
  pressPoint_ = dragPoint_ = point;
  pressAxis_ = shown;
  panned_ = false;
  bandGesture_ = button == Qt::RightButton || (modifiers & Qt::ShiftModifier) != 0;
  return Intent{};
}

ChartGestures::Intent ChartGestures::Move(QPoint point, bool onPlot) {
  if (drag_ == Drag::kPending && (point - pressPoint_).manhattanLength() >= kDragThreshold)
    drag_ = bandGesture_ ? Drag::kBand : Drag::kPan;
  if (drag_ == Drag::kPan) {
    const double msPerPixel = static_cast<double>(pressAxis_.spanMs()) / width_;
    const int64_t shift = std::llround((point.x() - pressPoint_.x()) * msPerPixel);
    Intent intent{Intent::kView};
    intent.axis = pressAxis_.Panned(-shift);
    intent.newStep = !panned_;
    panned_ = true;
    return intent;
  }
  if (drag_ == Drag::kBand) {
    dragPoint_ = point;
    return Intent{Intent::kBand};
  }
  if (onPlot)
    return Intent{Intent::kHover, point.x()};
  return Intent{};
}

ChartGestures::Intent ChartGestures::Release(QPoint point, Qt::MouseButton button) {
  const Drag drag = drag_;
  drag_ = Drag::kNone;
  if (drag == Drag::kPending && button == Qt::LeftButton)
    return Intent{Intent::kPick, point.x()};
  if (drag == Drag::kPending && button == Qt::RightButton) {
    Intent menu{Intent::kMenu, point.x()};
    menu.point = point;
    return menu;
  }
  if (drag == Drag::kBand) {
    const int left = std::min(pressPoint_.x(), point.x());
    const int right = std::max(pressPoint_.x(), point.x());
    Intent intent{Intent::kView};
    intent.axis = TimeAxis::Span(pressAxis_.TimeAtX(left, left_, width_),
                                 pressAxis_.TimeAtX(right, left_, width_));
    intent.newStep = true;
    return intent;
  }
  return Intent{};
}

ChartGestures::Intent ChartGestures::DoubleClick() {
  drag_ = Drag::kNone;
  return Intent{Intent::kFitAll};
}

ChartGestures::Intent ChartGestures::Wheel(int angleDelta, int x, const TimeAxis& shown) {
  wheelRemainder_ += angleDelta;
  const int notches = wheelRemainder_ / kWheelNotch;
  wheelRemainder_ -= notches * kWheelNotch;
  if (notches == 0)
    return Intent{};
  // Away from the user zooms in, around the time under the pointer.
  Intent intent{Intent::kView};
  intent.axis = shown.Zoomed(shown.TimeAtX(x, left_, width_), std::pow(0.8, notches));
  intent.newStep = true;
  return intent;
}

ChartGestures::Intent ChartGestures::Key(int key, Qt::KeyboardModifiers modifiers,
                                         const TimeAxis& shown) {
  const int64_t middle = (shown.startMs() + shown.endMs()) / 2;
  Intent intent{Intent::kView};
  intent.newStep = true;
  switch (key) {
    case Qt::Key_Home:
      return Intent{Intent::kFitAll};
    case Qt::Key_Plus:
    case Qt::Key_Equal:
      intent.axis = shown.Zoomed(middle, 0.8);
      return intent;
    case Qt::Key_Minus:
      intent.axis = shown.Zoomed(middle, 1.25);
      return intent;
    case Qt::Key_Backspace:
      return Intent{(modifiers & Qt::ShiftModifier) != 0 ? Intent::kRedo : Intent::kUndo};
    default:
      return Intent{Intent::kIgnored};
  }
}

}  // namespace ovixlog
