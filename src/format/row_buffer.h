// A fixed buffer that one table row is printed into, with the C library's printf output for
// the few conversions the rows use, but without its parsing and locale overhead.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace ovixlog {

class RowBuffer {
 public:
  // Large enough for the widest row any sample can produce (every real at its largest).
  static constexpr size_t kCapacity = 1024;

  void Clear() { length_ = 0; }
  void Char(char c) { data_[length_++] = c; }
  void Text(std::string_view text);
  // printf("%<width>d"), or "%0<width>d" with `zeroPad`.
  void Int(int64_t value, int width, bool zeroPad = false) {
    // Most values are small and non-negative and fill their field exactly: print them right to
    // left into the field.
    static constexpr int64_t kLimit[] = {1, 10, 100, 1000, 10000, 100000};
    if (width >= 1 && width <= 5 && value >= 0 && value < kLimit[width]) {
      char* const start = data_ + length_;
      // The padding first, as one fixed-size store over the whole field (the buffer keeps slack
      // for it): a loop of a few bytes would be compiled into a call to memset.
      const char fill = zeroPad ? '0' : ' ';
      const char run[8] = {fill, fill, fill, fill, fill, fill, fill, fill};
      std::memcpy(start, run, sizeof run);
      char* p = start + width;
      auto v = static_cast<uint32_t>(value);
      do {
        *--p = static_cast<char>('0' + v % 10);
        v /= 10;
      } while (v != 0);
      length_ += static_cast<size_t>(width);
      return;
    }
    IntSlow(value, width, zeroPad);
  }
  // printf("%<width>.<precision>f") of the value widened to double, or "%0<width>.<precision>f"
  // with `zeroPad`. Precision 0 to 2.
  void Fixed(float value, int width, int precision, bool zeroPad = false);

  std::string_view view() const { return {data_, length_}; }
  size_t size() const { return length_; }
  void AssignTo(std::string& text) const { text.assign(data_, length_); }

 private:
  void IntSlow(int64_t value, int width, bool zeroPad);
  // Writes the padding and sign of a field of `count` digits and returns the end of the field,
  // where the caller writes the digits right to left.
  char* Field(size_t count, bool negative, int width, bool zeroPad);

  // Slack behind the capacity for the fixed-size padding writes.
  char data_[kCapacity + 16];
  size_t length_ = 0;
};

}  // namespace ovixlog
