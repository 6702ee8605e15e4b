#include "view/zoom_stack.h"

namespace ovixlog {

void ZoomStack::Push(const TimeAxis& left) {
  redo_.clear();
  if (!undo_.empty() && undo_.back() == left)
    return;
  if (undo_.size() == kDepth)
    undo_.erase(undo_.begin());
  undo_.push_back(left);
}

std::optional<TimeAxis> ZoomStack::Undo(const TimeAxis& current) {
  if (undo_.empty())
    return std::nullopt;
  const TimeAxis back = undo_.back();
  undo_.pop_back();
  redo_.push_back(current);
  return back;
}

std::optional<TimeAxis> ZoomStack::Redo(const TimeAxis& current) {
  if (redo_.empty())
    return std::nullopt;
  const TimeAxis again = redo_.back();
  redo_.pop_back();
  undo_.push_back(current);
  return again;
}

void ZoomStack::Clear() {
  undo_.clear();
  redo_.clear();
}

}  // namespace ovixlog
