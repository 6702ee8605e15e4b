// Writes the simulator's stream to files instead of a terminal: a raw capture (the bytes as
// the line carries them) or an EFIS DEMO recording.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ovixlog-sim/frame_stream.h"

namespace ovixlog::sim {

// Frames in each stream record of a DEMO recording.
inline constexpr int kFramesPerRecord = 4;

// Milliseconds from the first frame to frame `index` at twelve frames a second: 83, 83, 84 ms
// apart, repeating.
inline uint32_t FrameStamp(uint64_t index) {
  return static_cast<uint32_t>(index * 250 / 3);
}

// The setting records that open a DEMO recording: the model's first digit under key 58, the
// short layout under key 321 and the alternate format under key 723.
std::vector<std::string> DemoLogSettings(EngineModel model, int32_t altFrameFormat);

// Each writes `frames` frames of `stream` to `path`, replacing the file only when everything
// was written. On failure they return false with `error` saying why.
bool WriteCapture(const std::string& path, FrameStream& stream, uint64_t frames,
                  std::string& error);
bool WriteDemoLog(const std::string& path, FrameStream& stream, uint64_t frames,
                  std::string& error);

}  // namespace ovixlog::sim
