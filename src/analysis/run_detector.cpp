#include "analysis/run_detector.h"

namespace ovixlog {

int64_t SampleClock::Advance(uint32_t tickMs) {
  if (started_) {
    const uint32_t step = tickMs - lastTick_;
    // Half the stamp range or more forward is really a step backwards.
    if (step < 0x80000000u)
      nowMs_ += step;
  }
  started_ = true;
  lastTick_ = tickMs;
  return nowMs_;
}

RunDetector::RunDetector(RunListener* listener) : listener_(listener) {}

void RunDetector::Add(const EngineSample& sample) {
  const int64_t ms = clock_.Advance(sample.tickMs);
  const int64_t index = index_++;
  const bool running = sample.tach >= kRunningTach;
  if (open_ && ms - span_.endMs >= kRunGapMs)
    Close();
  if (!open_) {
    if (!running)
      return;
    open_ = true;
    reported_ = false;
    span_ = RunSpan{reportedCount_, index, index, ms, ms};
    if (listener_) {
      listener_->StretchOpened(ms);
      listener_->StretchSample(ms, sample);
    }
    return;
  }
  if (!running) {
    pending_.emplace_back(ms, sample);
    return;
  }
  if (listener_) {
    for (const auto& [pendingMs, pendingSample] : pending_)
      listener_->StretchSample(pendingMs, pendingSample);
    listener_->StretchSample(ms, sample);
  }
  pending_.clear();
  span_.lastIndex = index;
  span_.endMs = ms;
  if (!reported_ && span_.endMs - span_.startMs >= kMinRunMs) {
    reported_ = true;
    ++reportedCount_;
    if (listener_)
      listener_->RunStarted(span_);
  }
}

void RunDetector::Finish() {
  if (open_)
    Close();
}

void RunDetector::Close() {
  open_ = false;
  pending_.clear();
  if (listener_) {
    listener_->StretchClosed(reported_);
    if (reported_)
      listener_->RunEnded(span_);
  }
  reported_ = false;
}

}  // namespace ovixlog
