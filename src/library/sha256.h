// SHA-256 of a byte stream, fed in pieces; a file's identity in the flight library.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace ovixlog {

class Sha256 {
 public:
  Sha256();
  void Update(const uint8_t* data, size_t length);
  // The digest as 64 lower-case hex digits; the object is spent afterwards.
  std::string HexDigest();

 private:
  void Block(const uint8_t* block);

  std::array<uint32_t, 8> state_;
  std::array<uint8_t, 64> buffer_{};
  size_t buffered_ = 0;
  uint64_t totalBytes_ = 0;
};

// The digest of a whole file; nothing when it cannot be read.
std::optional<std::string> FileSha256(const std::string& path);

}  // namespace ovixlog
