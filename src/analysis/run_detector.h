// Finds engine runs in a stream of samples: samples with Tach at 500 or more are running, and
// running samples less than 30 s apart belong to one run, which counts once its running
// samples span 60 s. Samples go in one at a time; a listener hears when a run starts and ends.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "acquisition/engine_sample.h"

namespace ovixlog {

inline constexpr int kRunningTach = 500;
inline constexpr int64_t kRunGapMs = 30000;
inline constexpr int64_t kMinRunMs = 60000;

// A run as far as it is known. Times are milliseconds on the detector's timeline (0 at the
// first sample fed); indexes count the samples fed, from 0.
struct RunSpan {
  int ordinal = 0;         // 0 for the first reported run, then 1, 2, ...
  int64_t firstIndex = 0;  // the first running sample
  int64_t lastIndex = 0;   // the last running sample so far
  int64_t startMs = 0;     // time of the first running sample
  int64_t endMs = 0;       // time of the last running sample so far
};

class RunListener {
 public:
  virtual ~RunListener() = default;
  // The run's running samples now span 60 s: it will be reported.
  virtual void RunStarted(const RunSpan& /*run*/) {}
  // The run is over: a sample 30 s or more after its last running sample arrived, or the input
  // ended. Only for runs that started.
  virtual void RunEnded(const RunSpan& /*run*/) {}

  // For the analysis, which must see every sample of a run, started or not yet: a stretch opens
  // at a running sample with no run open; then every sample from it to the latest running
  // sample follows in order (a sample that is not running follows once a running sample less
  // than 30 s after the previous running one shows it lies inside); then the stretch closes,
  // `reported` saying whether it lasted the 60 s. Closing comes before RunEnded.
  virtual void StretchOpened(int64_t /*ms*/) {}
  virtual void StretchSample(int64_t /*ms*/, const EngineSample& /*sample*/) {}
  virtual void StretchClosed(bool /*reported*/) {}
};

// Converts 32-bit millisecond stamps into a timeline that starts at 0 with the first sample.
// Stamps wrap around; a stamp earlier than the previous one counts as no time passing.
class SampleClock {
 public:
  int64_t Advance(uint32_t tickMs);
  int64_t NowMs() const { return nowMs_; }

 private:
  bool started_ = false;
  uint32_t lastTick_ = 0;
  int64_t nowMs_ = 0;
};

class RunDetector {
 public:
  // `listener` may be null and must outlive the detector.
  explicit RunDetector(RunListener* listener);

  // Takes the next sample in time order.
  void Add(const EngineSample& sample);
  // The input has ended (or paused for good): closes the open run, if any. Samples may follow;
  // their times carry on from the same timeline.
  void Finish();

  // Time of the latest sample, and how many samples were fed.
  int64_t NowMs() const { return clock_.NowMs(); }
  int64_t SampleCount() const { return index_; }
  // The open stretch, whether or not it has lasted 60 s yet.
  bool StretchOpen() const { return open_; }
  // The run in progress, when it has started (lasted 60 s) and not ended.
  const RunSpan* CurrentRun() const { return open_ && reported_ ? &span_ : nullptr; }
  int ReportedRuns() const { return reportedCount_; }

 private:
  void Close();

  RunListener* listener_;
  SampleClock clock_;
  int64_t index_ = 0;
  bool open_ = false;
  bool reported_ = false;
  int reportedCount_ = 0;
  RunSpan span_;
  // Samples after the latest running one, held until it is known whether the run goes on.
  std::vector<std::pair<int64_t, EngineSample>> pending_;
};

}  // namespace ovixlog
