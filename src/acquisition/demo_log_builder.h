// Writes EFIS DEMO recordings: a headerless sequence of records, each a type byte, a big-endian
// 32-bit time stamp, a big-endian 32-bit length and the payload. Type 2 carries stream bytes,
// type 7 settings as "key=value" text.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace ovixlog {

class DemoLogBuilder {
 public:
  static constexpr uint8_t kStreamRecord = 2;
  static constexpr uint8_t kSettingRecord = 7;

  // Appends one record of any type; `length` defaults to the payload's size and may be given
  // otherwise to make malformed files.
  DemoLogBuilder& Record(uint8_t type, uint32_t stamp, const std::vector<uint8_t>& payload);
  DemoLogBuilder& RecordWithLength(uint8_t type, uint32_t stamp, uint32_t length,
                                   const std::vector<uint8_t>& payload);
  DemoLogBuilder& Stream(uint32_t stamp, const std::vector<uint8_t>& bytes) {
    return Record(kStreamRecord, stamp, bytes);
  }
  DemoLogBuilder& Setting(uint32_t stamp, std::string_view text);

  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace ovixlog
