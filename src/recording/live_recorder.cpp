#include "recording/live_recorder.h"

#include <time.h>

#include <cstdio>
#include <system_error>
#include <utility>

#include "recording/recording_format.h"

namespace ovixlog {

LiveRecorder::LiveRecorder(std::string folder, bool enabled)
    : folder_(std::move(folder)), enabled_(enabled) {}

LiveRecorder::~LiveRecorder() {
  EndSession(true);
  ReapClosers(true);
}

void LiveRecorder::ReapClosers(bool all) {
  for (auto it = closers_.begin(); it != closers_.end();) {
    if (all || it->done->load()) {
      it->thread.join();
      it = closers_.erase(it);
    } else {
      ++it;
    }
  }
}

std::string LiveRecorder::PortLabel(const std::string& portName) {
  std::string label = portName;
  if (!label.empty() && label.back() == ':')
    label.pop_back();
  if (const size_t slash = label.rfind('/'); slash != std::string::npos)
    label = label.substr(slash + 1);
  for (char& c : label) {
    if (c == '_' || c == ' ')
      c = '-';
  }
  return label.empty() ? std::string("port") : label;
}

std::string LiveRecorder::SessionBaseName(int64_t epochSeconds, const std::string& portName,
                                          EngineModel model) {
  const auto when = static_cast<time_t>(epochSeconds);
  tm parts{};
  localtime_r(&when, &parts);
  char stamp[96];
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d_%02d-%02d-%02d", parts.tm_year + 1900,
                parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
  return std::string(stamp) + "_" + PortLabel(portName) + "_" + std::to_string(ModelNumber(model));
}

void LiveRecorder::BeginPort(const std::string& portName) {
  EndSession(false);
  std::lock_guard<std::mutex> lock(mutex_);
  portName_ = portName;
  readerAnchor_.reset();
  anchorPending_ = false;
}

void LiveRecorder::EndSession(bool wait) {
  ReapClosers(false);
  std::shared_ptr<RecordingWriter> ending;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ending = std::move(writer_);
  }
  if (!ending)
    return;
  // Outside the lock: the reading thread may go on handing over bytes for a new session.
  const auto close = [this, ending] {
    ending->Close();
    const RecordingWriter::Status last = ending->status();
    std::lock_guard<std::mutex> lock(mutex_);
    lastName_ = last.name;
    // A session begun meanwhile has a status of its own.
    if (!writer_)
      lastError_ = last.error;
    if (closedListener_ && last.error.empty() && !last.path.empty())
      closedListener_(last.path);
  };
  if (!wait) {
    auto done = std::make_shared<std::atomic<bool>>(false);
    try {
      closers_.push_back({std::thread([close, done] {
                            close();
                            *done = true;
                          }),
                          done});
      return;
    } catch (const std::system_error&) {
      // No thread to spare: close here.
    }
  }
  close();
}

void LiveRecorder::SetEnabled(bool enabled) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    enabled_ = enabled;
  }
  if (!enabled)
    EndSession(false);
}

bool LiveRecorder::enabled() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return enabled_;
}

LiveRecorder::Status LiveRecorder::status() const {
  std::lock_guard<std::mutex> lock(mutex_);
  Status status;
  status.enabled = enabled_;
  status.error = lastError_;
  if (writer_) {
    const RecordingWriter::Status w = writer_->status();
    status.recording = w.error.empty();
    status.name = w.name;
    status.size = w.size;
    if (!w.error.empty())
      status.error = w.error;
  }
  return status;
}

std::string LiveRecorder::lastSessionName() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lastName_;
}

void LiveRecorder::SetWriterOptions(RecordingWriter::Options options) {
  std::lock_guard<std::mutex> lock(mutex_);
  options_ = options;
}

void LiveRecorder::SetClosedListener(ClosedListener listener) {
  std::lock_guard<std::mutex> lock(mutex_);
  closedListener_ = std::move(listener);
}

void LiveRecorder::SetAircraft(const std::string& name) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (name == aircraft_)
    return;
  aircraft_ = name;
  if (writer_ && !aircraft_.empty())
    writer_->AppendAircraft(lastStamp_, aircraft_);
}

std::string LiveRecorder::aircraft() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return aircraft_;
}

RecordingWriter* LiveRecorder::writer() {
  std::lock_guard<std::mutex> lock(mutex_);
  return writer_.get();
}

void LiveRecorder::WriteSettingsLocked(uint32_t stamp, EngineModel model, int32_t altFrameFormat) {
  for (const std::string& text : SettingTextsFor(model, altFrameFormat))
    writer_->AppendSetting(stamp, text);
  model_ = model;
  alt_ = altFrameFormat;
}

void LiveRecorder::BytesReceived(uint32_t stamp, const uint8_t* bytes, size_t count,
                                 EngineModel model, int32_t altFrameFormat) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!enabled_ || count == 0)
    return;
  if (!writer_) {
    const WallClockAnchor anchor = readerAnchor_ ? *readerAnchor_ : WallClockAnchor::Now(stamp);
    const int64_t startMs =
        anchor.epochMs + static_cast<int64_t>(static_cast<int32_t>(stamp - anchor.stamp));
    writer_ = std::make_unique<RecordingWriter>(
        folder_, SessionBaseName(startMs / 1000, portName_, model), options_);
    lastError_.clear();
    writer_->AppendWallClock(anchor);
    anchorPending_ = false;
    lastAnchorStamp_ = stamp;
    WriteSettingsLocked(stamp, model, altFrameFormat);
    if (!aircraft_.empty())
      writer_->AppendAircraft(stamp, aircraft_);
    restartPending_ = false;
  } else {
    if (model != model_ || altFrameFormat != alt_)
      WriteSettingsLocked(stamp, model, altFrameFormat);
    if (anchorPending_) {
      writer_->AppendWallClock(*readerAnchor_);
      anchorPending_ = false;
    } else if (!readerAnchor_ && stamp - lastAnchorStamp_ >= kWallClockEveryMs) {
      writer_->AppendWallClock(WallClockAnchor::Now(stamp));
      lastAnchorStamp_ = stamp;
    }
    if (restartPending_) {
      writer_->AppendStreamRestart(stamp);
      restartPending_ = false;
    }
  }
  writer_->AppendStream(stamp, bytes, count);
  lastStamp_ = stamp;
}

void LiveRecorder::WallClockSet(const WallClockAnchor& anchor) {
  std::lock_guard<std::mutex> lock(mutex_);
  readerAnchor_ = anchor;
  anchorPending_ = writer_ != nullptr;
}

void LiveRecorder::StreamRestarted() {
  std::lock_guard<std::mutex> lock(mutex_);
  restartPending_ = writer_ != nullptr;
}

}  // namespace ovixlog
