// Reads a fuzzer's input as a sequence of small decisions and byte runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ovixlog::fuzz {

class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool empty() const { return pos_ >= size_; }
  uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  uint32_t Word() {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
      value = value << 8 | Byte();
    return value;
  }
  // Up to `count` bytes, fewer at the end of the input.
  std::vector<uint8_t> Bytes(size_t count) {
    const size_t n = count < size_ - pos_ ? count : size_ - pos_;
    std::vector<uint8_t> bytes(data_ + pos_, data_ + pos_ + n);
    pos_ += n;
    return bytes;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// Stops the process with a message when an invariant does not hold, so that the fuzzer reports
// the input.
void Check(bool condition, const char* what);

}  // namespace ovixlog::fuzz
