// The records of a live recording. A recording is an EFIS DEMO log that any reader of that
// format opens: each record is a type byte, a big-endian 32-bit stamp, a big-endian 32-bit
// length and the payload. Besides the stream (2) and setting (7) records it uses four types
// of its own, which other readers skip:
//   0x80 wall clock: 8 bytes UTC milliseconds since 1970 and 4 bytes local offset from UTC in
//        seconds, both big-endian signed, true at the record's stamp;
//   0x81 closing: 8 bytes UTC milliseconds at the clean end; always the file's last record;
//   0x82 stream restart: no payload; the device was lost and came back, so no frame continues
//        across this point;
//   0x83 aircraft: the name of the aircraft the monitor is fitted to, 1 to 64 bytes of UTF-8,
//        after the opening records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "acquisition/clock.h"
#include "acquisition/engine_sample.h"

namespace ovixlog {

inline constexpr uint8_t kStreamRecord = 2;
inline constexpr uint8_t kSettingRecord = 7;
inline constexpr uint8_t kWallClockRecord = 0x80;
inline constexpr uint8_t kClosingRecord = 0x81;
inline constexpr uint8_t kStreamRestartRecord = 0x82;
inline constexpr uint8_t kAircraftRecord = 0x83;

inline constexpr size_t kRecordHeaderSize = 9;
inline constexpr size_t kWallClockPayloadSize = 12;
inline constexpr size_t kClosingPayloadSize = 8;
inline constexpr size_t kClosingRecordSize = kRecordHeaderSize + kClosingPayloadSize;
inline constexpr size_t kAircraftNameLimit = 64;

// Appends one whole record to `out`.
void AppendRecord(std::vector<uint8_t>& out, uint8_t type, uint32_t stamp, const uint8_t* payload,
                  size_t length);

// The setting texts that make an importer frame what follows as `model` with `altFrameFormat`:
// "58=<first digit>", "321=<1 for the short layout, else 0>", "723=<0|1>".
std::vector<std::string> SettingTextsFor(EngineModel model, int32_t altFrameFormat);

std::vector<uint8_t> WallClockPayload(const WallClockAnchor& anchor);
// The anchor a wall-clock record's payload gives; nothing when the payload has the wrong size.
std::optional<WallClockAnchor> ParseWallClock(uint32_t stamp, const uint8_t* payload,
                                              size_t length);

std::vector<uint8_t> ClosingPayload(int64_t epochMs);

// An aircraft record's payload: the name cut to kAircraftNameLimit bytes, never inside a
// UTF-8 character.
std::vector<uint8_t> AircraftPayload(const std::string& name);
// The name an aircraft record gives; nothing when it is empty or too long.
std::optional<std::string> ParseAircraft(const uint8_t* payload, size_t length);

// Big-endian helpers.
uint32_t ReadBigEndian32(const uint8_t* p);
int64_t ReadBigEndian64(const uint8_t* p);

}  // namespace ovixlog
