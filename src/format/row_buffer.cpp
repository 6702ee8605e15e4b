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

char* RowBuffer::Field(size_t count, bool negative, int width, bool zeroPad) {
  // Rows are made of many short fields: write the padding with one fixed-size copy where it
  // fits (the buffer keeps slack for it) instead of calling memset for a few bytes.
  const size_t used = count + (negative ? 1 : 0);
  const size_t fill = static_cast<size_t>(width) > used ? static_cast<size_t>(width) - used : 0;
  char* out = data_ + length_;
  auto pad = [&](char c) {
    if (fill <= 8) {
      const char run[8] = {c, c, c, c, c, c, c, c};
      std::memcpy(out, run, 8);
      out += fill;
    } else {
      for (size_t i = 0; i < fill; ++i)
        *out++ = c;
    }
  };
  if (!zeroPad)
    pad(' ');
  if (negative)
    *out++ = '-';
  if (zeroPad)
    pad('0');
  length_ = static_cast<size_t>(out - data_) + count;
  return out + count;
}

void RowBuffer::IntSlow(int64_t value, int width, bool zeroPad) {
  const bool negative = value < 0;
  uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  size_t count = 1;
  for (uint64_t rest = magnitude / 10; rest != 0; rest /= 10)
    ++count;
  char* p = Field(count, negative, width, zeroPad);
  do {
    *--p = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
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
    if (remainder > half || (remainder == half && (rounded & 1) != 0))
      ++rounded;
  }
  // The digits of `rounded` with the decimal point `precision` places from the right, written
  // right to left straight into the field.
  size_t integerDigits = 1;
  for (uint64_t rest = rounded / kPowersOfTen[precision] / 10; rest != 0; rest /= 10) {
    ++integerDigits;
  }
  const size_t count = integerDigits + (precision > 0 ? static_cast<size_t>(precision) + 1 : 0);
  char* p = Field(count, negative, width, zeroPad);
  for (int i = 0; i < precision; ++i) {
    *--p = static_cast<char>('0' + rounded % 10);
    rounded /= 10;
  }
  if (precision > 0)
    *--p = '.';
  do {
    *--p = static_cast<char>('0' + rounded % 10);
    rounded /= 10;
  } while (rounded != 0);
}

}  // namespace ovixlog
