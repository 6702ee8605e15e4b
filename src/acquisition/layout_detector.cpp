#include "acquisition/layout_detector.h"

#include <algorithm>
#include <cstring>

#include "acquisition/frame_layout.h"

namespace ovixlog {

FrameFormat LayoutOf(EngineModel model, int32_t altFrameFormat) {
  if (UsesAltFormat(model, altFrameFormat))
    return FrameFormat::kAlt;
  return model == kModel3100 ? FrameFormat::kShort : FrameFormat::kLong;
}

std::string LayoutDescription(FrameFormat layout) {
  switch (layout) {
    case FrameFormat::kShort:
      return "Model 3100 (48-byte frames)";
    case FrameFormat::kLong:
      return "a long-layout model (73-byte frames)";
    case FrameFormat::kAlt:
      return "Model 5100 with v3.9 software (77-byte frames)";
  }
  return std::string();
}

LayoutChoice ChoiceFor(FrameFormat layout, EngineModel model) {
  switch (layout) {
    case FrameFormat::kShort:
      return {kModel3100, 0};
    case FrameFormat::kLong:
      return {model == kModel3100 ? kModel5100 : model, 0};
    case FrameFormat::kAlt:
      return {kModel5100, 1};
  }
  return {model, 0};
}

std::array<LayoutCounter::Probe, kLayoutCount> LayoutCounter::MakeProbes() {
  std::array<Probe, kLayoutCount> probes;
  const LayoutChoice choices[kLayoutCount] = {{kModel3100, 0}, {kModel5100, 0}, {kModel5100, 1}};
  for (size_t i = 0; i < probes.size(); ++i) {
    probes[i].length = FrameLengthFor(choices[i].model, choices[i].altFrameFormat);
    probes[i].middle = SyncHeaderMiddle(choices[i].model, choices[i].altFrameFormat);
  }
  return probes;
}

void LayoutCounter::Feed(const uint8_t* bytes, size_t count) {
  bytesSeen_ += count;
  for (Probe& probe : probes_)
    probe.Feed(bytes, count);
}

void LayoutCounter::Reset() {
  bytesSeen_ = 0;
  for (Probe& probe : probes_) {
    probe.size = 0;
    probe.framed = 0;
  }
}

bool LayoutCounter::Frames(FrameFormat layout, int percent) const {
  return bytesSeen_ > 0 && framedBytes(layout) * 100 >= bytesSeen_ * static_cast<uint64_t>(percent);
}

void LayoutCounter::Probe::Feed(const uint8_t* bytes, size_t count) {
  if (count == 0)
    return;
  if (size > 0) {
    // What the last call left may begin a frame: join it with enough of these bytes to finish
    // any frame it holds, then go on over the rest of these bytes where they lie.
    const auto pending = static_cast<size_t>(size);
    const size_t joined = std::min(count, static_cast<size_t>(length));
    std::memcpy(buffer.data() + pending, bytes, joined);
    const size_t total = pending + joined;
    const size_t stop = Scan(buffer.data(), total);
    if (stop < pending) {
      // Only when these bytes were too few to finish it: they are all in the buffer.
      std::memmove(buffer.data(), buffer.data() + stop, total - stop);
      size = static_cast<int>(total - stop);
      return;
    }
    bytes += stop - pending;
    count -= stop - pending;
    size = 0;
  }
  const size_t stop = Scan(bytes, count);
  // At most a frame's length less one (or the first bytes of a header) is left over.
  std::memcpy(buffer.data(), bytes + stop, count - stop);
  size = static_cast<int>(count - stop);
}

// Frames `n` bytes of the stream and returns where the bytes that may still begin a frame
// start. Unlike the reader, a bad frame costs only its first byte: the point is to find every
// frame the bytes hold.
size_t LayoutCounter::Probe::Scan(const uint8_t* data, size_t n) {
  size_t pos = 0;
  const auto frame = static_cast<size_t>(length);
  while (n - pos >= 3) {
    const uint8_t* at = data + pos;
    if (at[0] != kSyncByte || at[1] != middle || at[2] != kSyncByte) {
      const void* next = std::memchr(at + 1, kSyncByte, n - pos - 1);
      pos = next == nullptr ? n : static_cast<size_t>(static_cast<const uint8_t*>(next) - data);
      continue;
    }
    if (n - pos < frame)
      break;
    if (at[frame - 1] == FrameChecksum(at, length)) {
      framed += frame;
      pos += frame;
    } else {
      ++pos;
    }
  }
  // A lone FE or FE FF at the end may be the start of a header: it is kept.
  return pos;
}

void LayoutDetector::Restart(uint32_t nowMs, FrameFormat chosen) {
  counter_.Reset();
  chosen_ = chosen;
  windowStart_ = nowMs;
}

void LayoutDetector::Feed(uint32_t nowMs, FrameFormat chosen, const uint8_t* bytes, size_t count) {
  if (!chosen_ || *chosen_ != chosen) {
    // A new choice is judged afresh: the old suggestion was about the old choice.
    suggestion_.reset();
    Restart(nowMs, chosen);
  }
  counter_.Feed(bytes, count);
  if (nowMs - windowStart_ < kWindowMs)
    return;
  suggestion_.reset();
  if (!counter_.Frames(chosen, kCleanPercent)) {
    for (int i = 0; i < kLayoutCount; ++i) {
      const auto layout = static_cast<FrameFormat>(i);
      if (layout != chosen && counter_.Frames(layout, kCleanPercent))
        suggestion_ = layout;
    }
  }
  verdictMs_ = nowMs;
  Restart(nowMs, chosen);
}

std::optional<FrameFormat> LayoutDetector::Suggestion(uint32_t nowMs, FrameFormat chosen) const {
  if (!chosen_ || *chosen_ != chosen)
    return std::nullopt;
  if (suggestion_ && nowMs - verdictMs_ > 2 * kWindowMs)
    return std::nullopt;
  return suggestion_;
}

std::optional<FrameFormat> SuggestLayoutForFile(const LayoutCounter& counts, FrameFormat chosen) {
  if (counts.bytesSeen() == 0 || counts.Frames(chosen, 50))
    return std::nullopt;
  for (int i = 0; i < kLayoutCount; ++i) {
    const auto layout = static_cast<FrameFormat>(i);
    if (layout != chosen && counts.Frames(layout, LayoutDetector::kCleanPercent))
      return layout;
  }
  return std::nullopt;
}

}  // namespace ovixlog
