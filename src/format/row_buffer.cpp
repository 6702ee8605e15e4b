#include "format/row_buffer.h"

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace ovixlog {

void RowBuffer::Text(std::string_view text) {
  std::memcpy(data_ + length_, text.data(), text.size());
  length_ += text.size();
}

void RowBuffer::Pad(const char* digits, size_t count, bool negative, int width, bool zeroPad) {
  // Rows are made of many short fields: plain loops beat calls to memset and memcpy here.
  const size_t used = count + (negative ? 1 : 0);
  size_t fill = static_cast<size_t>(width) > used ? static_cast<size_t>(width) - used : 0;
  char* out = data_ + length_;
  if (!zeroPad) {
    for (; fill > 0; --fill) *out++ = ' ';
  }
  if (negative) *out++ = '-';
  for (; fill > 0; --fill) *out++ = '0';
  for (size_t i = 0; i < count; ++i) *out++ = digits[i];
  length_ = static_cast<size_t>(out - data_);
}

void RowBuffer::IntSlow(int64_t value, int width, bool zeroPad) {
  char digits[24];
  const bool negative = value < 0;
  uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  char* end = digits + sizeof digits;
  char* p = end;
  while (magnitude >= 100) {
    const auto pair = static_cast<unsigned>(magnitude % 100);
    magnitude /= 100;
    *--p = static_cast<char>('0' + pair % 10);
    *--p = static_cast<char>('0' + pair / 10);
  }
  if (magnitude >= 10) {
    *--p = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  }
  *--p = static_cast<char>('0' + magnitude);
  Pad(p, static_cast<size_t>(end - p), negative, width, zeroPad);
}

void RowBuffer::Fixed(float value, int width, int precision, bool zeroPad) {
  const bool negative = std::signbit(value);
  const float magnitude = std::fabs(value);
  if (!std::isfinite(value) || magnitude >= 4294967296.0f) {
    // printf pads "nan" and "inf" with spaces even when asked for zeros; huge values are rare
    // enough for the general path.
    char text[400];
    const int n = zeroPad ? std::snprintf(text, sizeof text, "%0*.*f", width, precision,
                                          static_cast<double>(value))
                          : std::snprintf(text, sizeof text, "%*.*f", width, precision,
                                          static_cast<double>(value));
    Text(std::string_view(text, static_cast<size_t>(n)));
    return;
  }
  // A float is m * 2^e with a 24-bit integer m. Its value times 10^precision, rounded to the
  // nearest integer with exact ties going to the even neighbour, is what printf prints.
  const auto bits = std::bit_cast<uint32_t>(magnitude);
  const auto biased = static_cast<int>(bits >> 23);
  const uint64_t mantissa = (bits & 0x7FFFFFu) | (biased != 0 ? 0x800000u : 0u);
  const int exponent = (biased != 0 ? biased : 1) - 150;
  static constexpr uint64_t kPowersOfTen[] = {1, 10, 100};
  const uint64_t scaled = mantissa * kPowersOfTen[precision];
  uint64_t rounded = 0;
  if (exponent >= 0) {
    rounded = scaled << exponent;  // magnitude < 2^32, so this stays below 2^40
  } else if (-exponent < 63) {
    const int shift = -exponent;
    rounded = scaled >> shift;
    const uint64_t remainder = scaled & ((uint64_t{1} << shift) - 1);
    const uint64_t half = uint64_t{1} << (shift - 1);
    if (remainder > half || (remainder == half && (rounded & 1) != 0)) ++rounded;
  }
  // The digits of `rounded` with the decimal point `precision` places from the right.
  char digits[32];
  char* end = digits + sizeof digits;
  char* p = end;
  for (int i = 0; i < precision; ++i) {
    *--p = static_cast<char>('0' + rounded % 10);
    rounded /= 10;
  }
  if (precision > 0) *--p = '.';
  do {
    *--p = static_cast<char>('0' + rounded % 10);
    rounded /= 10;
  } while (rounded != 0);
  Pad(p, static_cast<size_t>(end - p), negative, width, zeroPad);
}

}  // namespace ovixlog
