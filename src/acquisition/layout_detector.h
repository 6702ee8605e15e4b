// Tells which frame layout a byte stream is in, so that a wrong model or format choice can be
// pointed out: every layout is tried on the same bytes and the share of bytes that fall in
// frames with a good checksum is counted for each.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "acquisition/engine_sample.h"

namespace ovixlog {

// The three ways frames are laid out. The 5100, 7100 and 8100 frame alike (kLong), so bytes
// alone cannot tell them apart.
enum class FrameFormat : int32_t {
  kShort = 0,  // 48 bytes after FE FF FE (Model 3100)
  kLong = 1,   // 73 bytes after FE FF FE (Models 5100, 7100, 8100)
  kAlt = 2,    // 77 bytes after FE FE FE (Model 5100 with version 3.9 software)
};
inline constexpr int kLayoutCount = 3;

FrameFormat LayoutOf(EngineModel model, int32_t altFrameFormat);
// "Model 3100 (48-byte frames)", "a long-layout model (73-byte frames)", ...
std::string LayoutDescription(FrameFormat layout);
// The model and format a switch to `layout` chooses, starting from `model`: the long layout
// keeps a long-layout model and turns v3.9 off, so a 7100 stays a 7100.
struct LayoutChoice {
  EngineModel model;
  int32_t altFrameFormat;
};
LayoutChoice ChoiceFor(FrameFormat layout, EngineModel model);

// Counts, for every layout, the bytes that lie in frames with a good checksum.
class LayoutCounter {
 public:
  void Feed(const uint8_t* bytes, size_t count);
  void Reset();

  uint64_t bytesSeen() const { return bytesSeen_; }
  uint64_t framedBytes(FrameFormat layout) const {
    return probes_[static_cast<size_t>(layout)].framed;
  }
  // True when at least `percent` % of the bytes seen are framed in `layout`.
  bool Frames(FrameFormat layout, int percent) const;

 private:
  struct Probe {
    int length = 0;
    uint8_t middle = 0;
    std::array<uint8_t, 2 * kMaxFrameLength> buffer{};
    int size = 0;
    uint64_t framed = 0;
    void Feed(const uint8_t* bytes, size_t count);
    size_t Scan(const uint8_t* data, size_t n);
  };
  std::array<Probe, kLayoutCount> probes_ = MakeProbes();
  uint64_t bytesSeen_ = 0;

  static std::array<Probe, kLayoutCount> MakeProbes();
};

// Watches a live stream in windows of at least kWindowMs: when, over a whole window, another
// layout frames at least kCleanPercent of the bytes and the chosen one does not, that layout
// is suggested, until a window says otherwise or the line has been quiet for two windows.
class LayoutDetector {
 public:
  static constexpr uint32_t kWindowMs = 3000;
  static constexpr int kCleanPercent = 95;

  // `chosen` is the layout the reader frames with now; a change starts a new window.
  void Feed(uint32_t nowMs, FrameFormat chosen, const uint8_t* bytes, size_t count);
  // Nothing once `chosen` differs from the layout the bytes were judged against: a switch
  // answers the suggestion at once, even before more bytes arrive.
  std::optional<FrameFormat> Suggestion(uint32_t nowMs, FrameFormat chosen) const;

 private:
  void Restart(uint32_t nowMs, FrameFormat chosen);

  LayoutCounter counter_;
  std::optional<FrameFormat> chosen_;
  uint32_t windowStart_ = 0;
  std::optional<FrameFormat> suggestion_;
  uint32_t verdictMs_ = 0;
};

// For a whole recorded stream: the layout that frames it cleanly while `chosen` frames under
// half of it, if any.
std::optional<FrameFormat> SuggestLayoutForFile(const LayoutCounter& counts, FrameFormat chosen);

}  // namespace ovixlog
