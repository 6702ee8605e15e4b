// The views a user zoomed or panned away from, newest last, so that each step can be taken
// back (Undo) and taken again (Redo). Bounded: the oldest views are forgotten first.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "view/time_axis.h"

namespace ovixlog {

class ZoomStack {
 public:
  static constexpr size_t kDepth = 64;

  // `left` is the view a user change is about to leave; later redo steps are dropped. A view
  // equal to the last one kept is not kept twice.
  void Push(const TimeAxis& left);
  // The view to go back to from `current`, which becomes the next redo step; none when empty.
  std::optional<TimeAxis> Undo(const TimeAxis& current);
  // The view undone last, from `current`, which goes back onto the undo steps.
  std::optional<TimeAxis> Redo(const TimeAxis& current);
  void Clear();

  size_t undoDepth() const { return undo_.size(); }
  size_t redoDepth() const { return redo_.size(); }

 private:
  std::vector<TimeAxis> undo_;
  std::vector<TimeAxis> redo_;
};

}  // namespace ovixlog
