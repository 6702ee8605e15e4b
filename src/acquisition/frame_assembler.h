// Finds checked frames in a byte stream that arrives in pieces of any size and hands each one,
// with its time stamp, to a decoder of its own.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "acquisition/clock.h"
#include "acquisition/engine_sample.h"
#include "acquisition/frame_decoder.h"

namespace ovixlog {

class FrameAssembler {
 public:
  static constexpr int kRingSize = 2 * kLongFrameLength;  // 146 bytes, used circularly
  static constexpr uint32_t kNoStamp = 0xFFFFFFFFu;       // "synthesise a stamp for me"

  // `model` and `altFrameFormat` belong to the owner, which may change them from another
  // thread; they are read once per fill. Decoded samples go to `sink` with `notifier`.
  FrameAssembler(const std::atomic<int32_t>& model, const std::atomic<int32_t>& altFrameFormat,
                 SampleSink* sink, SampleNotifier* notifier);

  // Empties the ring, restarts the synthesised clock and forgets the wall-clock anchor.
  void Reset();
  // Empties the ring only: bytes that follow belong to a new stream (a device that came back).
  void DropPending();
  // Local times of the frames that follow come from `anchor` rather than from the clock now.
  void SetWallClock(std::optional<WallClockAnchor> anchor) { decoder_.SetWallClock(anchor); }

  // Frames a chunk of a recorded stream. Frames get `stamp`, or with kNoStamp a synthesised
  // stamp 83, 83, 84 ms after the previous one (twelve frames a second). Every frame the chunk
  // completes is delivered before Feed returns.
  void Feed(uint32_t stamp, const uint8_t* bytes, size_t count);

  // One live pass: asks `read(dst, max)` for up to `max` bytes into the ring's next contiguous
  // free stretch, then frames what arrived. Every frame the pass completes gets the same stamp,
  // TickCount() right after the read, which passStamp() gives. Returns the number of bytes
  // `read` reported; they stay at passBytes() until the next fill.
  template <class ReadFn>
  size_t FillFrom(ReadFn&& read) {
    passBytes_ = ring_ + writePos_;
    const size_t n = read(ring_ + writePos_, FreeStretch());
    passStamp_ = TickCount();
    Commit(n);
    live_ = true;
    Scan();
    return n;
  }

  // Frames that passed, and frames dropped for a bad checksum, since construction.
  uint64_t framesAccepted() const { return framesAccepted_; }
  uint64_t framesDropped() const { return framesDropped_; }
  // Bytes passed over while looking for a header, since construction.
  uint64_t bytesSkipped() const { return bytesSkipped_; }
  int pending() const { return pending_; }
  // The frame being delivered (valid while the sink handles its sample), its length and the
  // model it was framed with.
  const uint8_t* frame() const { return frame_; }
  int frameLength() const { return frameLength_; }
  EngineModel frameModel() const { return frameModel_; }
  // The format setting the last fill or feed framed with (0 or 1, as set).
  int32_t frameAltFormat() const { return frameAlt_; }
  uint32_t passStamp() const { return passStamp_; }
  const uint8_t* passBytes() const { return passBytes_; }

 private:
  size_t FreeStretch() const;
  void Commit(size_t count);
  void ChooseFormat();
  void Scan();
  bool ScanOnce();
  void Consume(int count);
  uint32_t NextStamp();

  const std::atomic<int32_t>& model_;
  const std::atomic<int32_t>& altFrameFormat_;
  FrameDecoder decoder_;

  uint8_t ring_[kRingSize] = {};
  int readPos_ = 0;
  int writePos_ = 0;
  int pending_ = 0;
  uint8_t frame_[kMaxFrameLength] = {};

  EngineModel frameModel_ = kModel5100;
  int frameLength_ = kLongFrameLength;
  uint8_t headerMiddle_ = 0xFF;
  int32_t frameAlt_ = 0;
  uint32_t passStamp_ = 0;
  const uint8_t* passBytes_ = nullptr;

  bool live_ = false;
  uint32_t feedStamp_ = kNoStamp;
  uint32_t lastStamp_ = 0;
  int stampPhase_ = 0;

  uint64_t framesAccepted_ = 0;
  uint64_t framesDropped_ = 0;
  uint64_t bytesSkipped_ = 0;
};

}  // namespace ovixlog
