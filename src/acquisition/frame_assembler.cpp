#include "acquisition/frame_assembler.h"

#include <algorithm>
#include <cstring>

#include "acquisition/frame_layout.h"

namespace ovixlog {

FrameAssembler::FrameAssembler(const std::atomic<int32_t>& model,
                               const std::atomic<int32_t>& altFrameFormat, SampleSink* sink,
                               SampleNotifier* notifier)
    : model_(model), altFrameFormat_(altFrameFormat), decoder_(sink, notifier) {}

void FrameAssembler::Reset() {
  DropPending();
  lastStamp_ = 0;
  stampPhase_ = 0;
  decoder_.SetWallClock(std::nullopt);
}

void FrameAssembler::DropPending() {
  readPos_ = writePos_ = pending_ = 0;
}

void FrameAssembler::Feed(uint32_t stamp, const uint8_t* bytes, size_t count) {
  live_ = false;
  feedStamp_ = stamp;
  while (count > 0) {
    const size_t n = std::min(FreeStretch(), count);
    std::memcpy(ring_ + writePos_, bytes, n);
    bytes += n;
    count -= n;
    Commit(n);
    Scan();
  }
}

size_t FrameAssembler::FreeStretch() const {
  const int stretch = writePos_ < readPos_ ? readPos_ - writePos_ : kRingSize - writePos_;
  return static_cast<size_t>(std::min(stretch, kRingSize - pending_));
}

void FrameAssembler::Commit(size_t count) {
  const int n = static_cast<int>(std::min(count, FreeStretch()));
  pending_ += n;
  writePos_ = (writePos_ + n) % kRingSize;
  ChooseFormat();
}

void FrameAssembler::ChooseFormat() {
  frameModel_ = model_.load(std::memory_order_relaxed);
  const int32_t alt = altFrameFormat_.load(std::memory_order_relaxed);
  frameAlt_ = alt;
  frameLength_ = FrameLengthFor(frameModel_, alt);
  headerMiddle_ = SyncHeaderMiddle(frameModel_, alt);
}

void FrameAssembler::Consume(int count) {
  pending_ -= count;
  readPos_ = (readPos_ + count) % kRingSize;
}

void FrameAssembler::Scan() {
  while (pending_ >= frameLength_) {
    if (!ScanOnce())
      break;
  }
}

// One step of the scan. Returns false when it must wait for more bytes.
bool FrameAssembler::ScanOnce() {
  // Skip to the next possible header, a contiguous stretch at a time.
  while (pending_ > 0 && ring_[readPos_] != kSyncByte) {
    const int stretch = std::min(pending_, kRingSize - readPos_);
    const void* found = std::memchr(ring_ + readPos_, kSyncByte, static_cast<size_t>(stretch));
    const int skip =
        found == nullptr
            ? stretch
            : static_cast<int>(static_cast<const uint8_t*>(found) - (ring_ + readPos_));
    bytesSkipped_ += static_cast<uint64_t>(skip);
    Consume(skip);
  }
  if (pending_ == 0)
    return false;

  const uint8_t header[3] = {kSyncByte, headerMiddle_, kSyncByte};
  int matched = 0;
  int pos = readPos_;
  // Only bytes actually received are compared: a header cut by the end of the received bytes
  // is kept whole for the next fill.
  while (matched < 3 && matched < pending_ && ring_[pos] == header[matched]) {
    ++matched;
    pos = (pos + 1) % kRingSize;
  }
  if (matched < 3) {
    if (matched == pending_)
      return false;
    ++bytesSkipped_;
    Consume(1);  // a false start costs its first byte; the search resumes right behind it
    return true;
  }
  if (pending_ < frameLength_)
    return false;

  const int first = std::min(frameLength_, kRingSize - readPos_);
  std::memcpy(frame_, ring_ + readPos_, static_cast<size_t>(first));
  std::memcpy(frame_ + first, ring_, static_cast<size_t>(frameLength_ - first));
  const bool good = frame_[frameLength_ - 1] == FrameChecksum(frame_, frameLength_);
  // A frame is consumed whole, good or not: its bytes are not searched again for a header.
  Consume(frameLength_);
  if (good) {
    ++framesAccepted_;
    decoder_.Decode(frame_, frameModel_, NextStamp());
  } else {
    ++framesDropped_;
  }
  return true;
}

uint32_t FrameAssembler::NextStamp() {
  if (live_)
    return passStamp_;
  if (feedStamp_ != kNoStamp) {
    lastStamp_ = feedStamp_;
    return feedStamp_;
  }
  lastStamp_ += 83;
  if (++stampPhase_ == 3) {
    stampPhase_ = 0;
    lastStamp_ += 1;
  }
  return lastStamp_;
}

}  // namespace ovixlog
