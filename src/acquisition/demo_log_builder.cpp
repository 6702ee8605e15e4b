#include "acquisition/demo_log_builder.h"

namespace ovixlog {
namespace {
void PutBigEndian32(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8)
    out.push_back(static_cast<uint8_t>(value >> shift));
}
}  // namespace

DemoLogBuilder& DemoLogBuilder::Record(uint8_t type, uint32_t stamp,
                                       const std::vector<uint8_t>& payload) {
  return RecordWithLength(type, stamp, static_cast<uint32_t>(payload.size()), payload);
}

DemoLogBuilder& DemoLogBuilder::RecordWithLength(uint8_t type, uint32_t stamp, uint32_t length,
                                                 const std::vector<uint8_t>& payload) {
  bytes_.push_back(type);
  PutBigEndian32(bytes_, stamp);
  PutBigEndian32(bytes_, length);
  bytes_.insert(bytes_.end(), payload.begin(), payload.end());
  return *this;
}

DemoLogBuilder& DemoLogBuilder::Setting(uint32_t stamp, std::string_view text) {
  return Record(kSettingRecord, stamp, std::vector<uint8_t>(text.begin(), text.end()));
}

}  // namespace ovixlog
