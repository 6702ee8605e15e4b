#include "format/row_buffer.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace ovixlog {

void RowBuffer::Text(std::string_view text) {
  std::memcpy(data_ + length_, text.data(), text.size());
  length_ += text.size();
}

void RowBuffer::Pad(const char* digits, size_t count, bool negative, int width, bool zeroPad) {
  const size_t used = count + (negative ? 1 : 0);
  const size_t fill = static_cast<size_t>(width) > used ? static_cast<size_t>(width) - used : 0;
  if (!zeroPad) {
    std::memset(data_ + length_, ' ', fill);
    length_ += fill;
  }
  if (negative) data_[length_++] = '-';
  if (zeroPad) {
    std::memset(data_ + length_, '0', fill);
    length_ += fill;
  }
  std::memcpy(data_ + length_, digits, count);
  length_ += count;
}

void RowBuffer::Int(int64_t value, int width, bool zeroPad) {
  char digits[24];
  const bool negative = value < 0;
  uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  char* end = digits + sizeof digits;
  char* p = end;
  do {
    *--p = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  Pad(p, static_cast<size_t>(end - p), negative, width, zeroPad);
}

void RowBuffer::Fixed(double value, int width, int precision, bool zeroPad) {
  if (!std::isfinite(value)) {
    // printf pads "nan" and "inf" with spaces even when asked for zeros.
    char text[16];
    const int n = std::snprintf(text, sizeof text, "%*f", width, value);
    Text(std::string_view(text, static_cast<size_t>(n)));
    return;
  }
  // to_chars with a precision prints exactly what printf prints for the same conversion.
  char digits[400];
  const bool negative = std::signbit(value);
  const auto result = std::to_chars(digits, digits + sizeof digits, std::fabs(value),
                                    std::chars_format::fixed, precision);
  Pad(digits, static_cast<size_t>(result.ptr - digits), negative, width, zeroPad);
}

}  // namespace ovixlog
