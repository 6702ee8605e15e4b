// A fixed buffer that one table row is printed into, with the C library's printf output for
// the few conversions the rows use, but without its parsing and locale overhead.
#pragma once

#include <cstddef>
#include <cstdint>
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
  void Int(int64_t value, int width, bool zeroPad = false);
  // printf("%<width>.<precision>f"), or "%0<width>.<precision>f" with `zeroPad`.
  void Fixed(double value, int width, int precision, bool zeroPad = false);

  std::string_view view() const { return {data_, length_}; }
  size_t size() const { return length_; }
  void AssignTo(std::string& text) const { text.assign(data_, length_); }

 private:
  void Pad(const char* digits, size_t count, bool negative, int width, bool zeroPad);

  char data_[kCapacity];
  size_t length_ = 0;
};

}  // namespace ovixlog
