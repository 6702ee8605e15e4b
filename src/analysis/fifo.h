// A first-in first-out queue over one vector, for the analysis's sliding windows: a sample is
// pushed at the back and old ones leave at the front, every sample. Unlike std::deque it
// allocates nothing once the window has reached its size, and its elements sit side by side.
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

namespace ovixlog {

template <typename T>
class Fifo {
 public:
  bool empty() const { return head_ == items_.size(); }
  size_t size() const { return items_.size() - head_; }

  T& front() { return items_[head_]; }
  const T& front() const { return items_[head_]; }
  T& back() { return items_.back(); }
  const T& back() const { return items_.back(); }
  T& operator[](size_t i) { return items_[head_ + i]; }
  const T& operator[](size_t i) const { return items_[head_ + i]; }

  auto begin() const { return items_.begin() + static_cast<std::ptrdiff_t>(head_); }
  auto end() const { return items_.end(); }

  template <typename... Args>
  T& emplace_back(Args&&... args) {
    Compact();
    return items_.emplace_back(std::forward<Args>(args)...);
  }
  void push_back(const T& item) { emplace_back(item); }
  void pop_back() {
    items_.pop_back();
    if (empty())
      clear();
  }
  void pop_front() {
    if (++head_ == items_.size())
      clear();
  }
  void clear() {
    items_.clear();
    head_ = 0;
  }

 private:
  // Moves the live elements to the start once at least as many have left as remain, so the
  // vector stays within twice the window and each element is moved a bounded number of times.
  void Compact() {
    if (head_ < 64 || head_ < items_.size() - head_)
      return;
    items_.erase(items_.begin(), items_.begin() + static_cast<std::ptrdiff_t>(head_));
    head_ = 0;
  }

  std::vector<T> items_;
  size_t head_ = 0;
};

}  // namespace ovixlog
