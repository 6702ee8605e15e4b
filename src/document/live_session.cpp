#include "document/live_session.h"

#include <cstdio>

namespace ovixlog {
namespace {
constexpr uint32_t kSeamMs = 2000;
}  // namespace

LiveSession::LiveSession(const std::string& recordingFolder, bool recordingEnabled, Keep keep)
    : keep_(std::move(keep)),
      recorder_(std::make_unique<LiveRecorder>(recordingFolder, recordingEnabled)) {}

LiveSession::~LiveSession() {
  Close();
}

void LiveSession::Close() {
  {
    std::lock_guard<std::mutex> guard(readerLock_);
    if (reader_) {
      reader_->Stop();
      reader_.reset();  // waits for the reading thread; the store's lock is not held here
    }
  }
  recorder_->EndSession();
}

void LiveSession::AddSample(std::unique_ptr<EngineSample> sample, SampleNotifier* notifier) {
  if (reviewing_.load() != 0)
    return;  // the recording has the bytes; the imported table stays as it was read
  {
    std::lock_guard<std::mutex> guard(holdLock_);
    if (holdLive_) {
      // Bounded by the time a read of the recording takes: one sample a frame at most.
      heldLive_.push_back(std::move(sample));
      return;
    }
    if (!PassesSeamLocked(*sample))
      return;
  }
  // The reader hands a read's bytes to the recorder right after framing them, so a sample goes
  // into the recording whenever the recorder is on and has not failed.
  const LiveRecorder::Status recording = recorder_->status();
  const bool recorded = recording.enabled && recording.error.empty();
  if (keep_(std::move(sample), notifier) && recorded)
    recordedSamples_.fetch_add(1);
}

bool LiveSession::PassesSeamLocked(const EngineSample& sample) {
  if (seamTail_.empty())
    return true;
  // Readings that really repeat later are samples of their own.
  if (static_cast<int32_t>(sample.tickMs - seamEndStamp_) > 0) {
    seamTail_.clear();
    return true;
  }
  for (const EngineSample& seen : seamTail_) {
    if (SameEngineValues(seen, sample))
      return false;
  }
  seamTail_.clear();
  return true;
}

void LiveSession::OpenPort(int32_t port, SampleSink* document, SampleNotifier* view,
                           int32_t model, int32_t altFrameFormat) {
  std::lock_guard<std::mutex> guard(readerLock_);
  if (reader_) {
    reader_->Stop();
    reader_.reset();
  }
  char name[16] = "";
  if (portsEnabled_)
    std::snprintf(name, sizeof name, "COM%u:", static_cast<unsigned>(port));
  // The session of the port that closed ends here; the next one begins with the next byte.
  recorder_->BeginPort(name);
  reader_ = std::make_unique<SerialReader>(name, document, view, recorder_.get(), this);
  reader_->model = model;
  reader_->altFrameFormat = altFrameFormat;
}

void LiveSession::PassSettings(int32_t model, int32_t altFrameFormat) {
  std::lock_guard<std::mutex> guard(readerLock_);
  if (reader_) {
    reader_->model = model;
    reader_->altFrameFormat = altFrameFormat;
  }
}

std::optional<std::pair<int32_t, int32_t>> LiveSession::ReaderFraming() const {
  std::lock_guard<std::mutex> guard(readerLock_);
  if (!reader_)
    return std::nullopt;
  return std::make_pair(reader_->model.load(), reader_->altFrameFormat.load());
}

SerialStatus LiveSession::PortStatus() const {
  std::lock_guard<std::mutex> guard(readerLock_);
  return reader_ ? reader_->Status() : SerialStatus{};
}

void LiveSession::ClearSeam() {
  std::lock_guard<std::mutex> guard(holdLock_);
  seamTail_.clear();
}

void LiveSession::BeginHold() {
  std::lock_guard<std::mutex> guard(holdLock_);
  holdLive_ = true;
}

void LiveSession::EndHold(std::vector<EngineSample> tail, uint32_t lastStamp, bool reread) {
  {
    std::lock_guard<std::mutex> guard(holdLock_);
    seamTail_ = std::move(tail);
    seamEndStamp_ = lastStamp + kSeamMs;
  }
  // The hold ends only with nothing held, so the live samples keep their order.
  for (;;) {
    std::vector<std::unique_ptr<EngineSample>> held;
    {
      std::lock_guard<std::mutex> guard(holdLock_);
      if (heldLive_.empty()) {
        holdLive_ = false;
        break;
      }
      held.swap(heldLive_);
      // Held samples are judged at the seam here, under the same lock the gate takes.
      std::vector<std::unique_ptr<EngineSample>> fresh;
      for (std::unique_ptr<EngineSample>& sample : held) {
        if (reread && static_cast<int32_t>(sample->tickMs - lastStamp) <= 0)
          continue;
        if (PassesSeamLocked(*sample))
          fresh.push_back(std::move(sample));
      }
      held.swap(fresh);
    }
    for (std::unique_ptr<EngineSample>& sample : held) {
      if (keep_(std::move(sample), nullptr))
        recordedSamples_.fetch_add(1);
    }
  }
}

}  // namespace ovixlog
