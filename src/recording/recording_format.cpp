#include "recording/recording_format.h"

#include <algorithm>
#include <cstddef>

namespace ovixlog {
namespace {

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8)
    out.push_back(static_cast<uint8_t>(v >> shift));
}

void Put64(std::vector<uint8_t>& out, uint64_t v) {
  for (int shift = 56; shift >= 0; shift -= 8)
    out.push_back(static_cast<uint8_t>(v >> shift));
}

}  // namespace

void AppendRecord(std::vector<uint8_t>& out, uint8_t type, uint32_t stamp, const uint8_t* payload,
                  size_t length) {
  out.push_back(type);
  Put32(out, stamp);
  Put32(out, static_cast<uint32_t>(length));
  if (length > 0)
    out.insert(out.end(), payload, payload + length);
}

std::vector<std::string> SettingTextsFor(EngineModel model, int32_t altFrameFormat) {
  const int number = ModelNumber(model);
  const int digit = number == 0 ? 5 : number / 1000;
  return {"58=" + std::to_string(digit), std::string("321=") + (model == kModel3100 ? "1" : "0"),
          std::string("723=") + (altFrameFormat != 0 ? "1" : "0")};
}

std::vector<uint8_t> WallClockPayload(const WallClockAnchor& anchor) {
  std::vector<uint8_t> out;
  Put64(out, static_cast<uint64_t>(anchor.epochMs));
  Put32(out, static_cast<uint32_t>(anchor.utcOffsetSeconds));
  return out;
}

std::optional<WallClockAnchor> ParseWallClock(uint32_t stamp, const uint8_t* payload,
                                              size_t length) {
  if (length != kWallClockPayloadSize)
    return std::nullopt;
  WallClockAnchor anchor;
  anchor.stamp = stamp;
  anchor.epochMs = ReadBigEndian64(payload);
  anchor.utcOffsetSeconds = static_cast<int32_t>(ReadBigEndian32(payload + 8));
  return anchor;
}

std::vector<uint8_t> ClosingPayload(int64_t epochMs) {
  std::vector<uint8_t> out;
  Put64(out, static_cast<uint64_t>(epochMs));
  return out;
}

std::vector<uint8_t> AircraftPayload(const std::string& name) {
  size_t length = std::min(name.size(), kAircraftNameLimit);
  // Back off continuation bytes so that the cut falls between characters.
  if (length < name.size()) {
    while (length > 0 && (static_cast<uint8_t>(name[length]) & 0xC0) == 0x80)
      --length;
  }
  return std::vector<uint8_t>(name.begin(), name.begin() + static_cast<std::ptrdiff_t>(length));
}

std::optional<std::string> ParseAircraft(const uint8_t* payload, size_t length) {
  if (length == 0 || length > kAircraftNameLimit)
    return std::nullopt;
  return std::string(reinterpret_cast<const char*>(payload), length);
}

uint32_t ReadBigEndian32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
         static_cast<uint32_t>(p[2]) << 8 | static_cast<uint32_t>(p[3]);
}

int64_t ReadBigEndian64(const uint8_t* p) {
  const uint64_t v = static_cast<uint64_t>(ReadBigEndian32(p)) << 32 | ReadBigEndian32(p + 4);
  return static_cast<int64_t>(v);
}

}  // namespace ovixlog
