// The headless in-flight recorder: reads one port and writes the same recordings as the window,
// optionally one per engine run, with the CSV table and the run's summary beside each finished
// one. No display, no Qt; it keeps no samples, so its memory stays flat however long it runs.
#pragma once

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "acquisition/byte_sink.h"
#include "acquisition/content_hint.h"
#include "acquisition/frame_assembler.h"
#include "acquisition/sample_sink.h"
#include "acquisition/serial_reader.h"
#include "analysis/run_detector.h"
#include "recording/live_recorder.h"

namespace ovixlog {

struct RecordOptions {
  std::string port = "COM1:";  // "COMn:" or a device path
  EngineModel model = kModel5100;
  int32_t altFrameFormat = 0;
  std::string folder;  // empty: the recordings folder
  bool split = false;
  bool csv = false;
  bool summary = false;
  std::string aircraft;  // written into each recording; empty for none
  bool library = false;  // index each closed recording into the flight library
};

struct ParsedRecordLine {
  enum class Outcome { kRun, kHelp, kBadUsage };
  Outcome outcome = Outcome::kRun;
  RecordOptions options;
  std::string error;
};

// --port DEVICE|COMn, --model N, --v39, --dir DIR, --split, --csv, --summary,
// --aircraft NAME, --library, -h/--help.
ParsedRecordLine ParseRecordLine(const std::vector<std::string>& args);
std::string RecordUsage();

// The summary of a closed recording's engine runs, from every sample, under the limits the user
// set, with each run's findings, written to `out`; false when it could not be read or written.
bool WriteSummary(const std::string& path, std::FILE* out);

class Recorder : public ByteSink, private SampleSink, private RunListener {
 public:
  // Status lines go to `out`, one per event, each flushed at once.
  Recorder(const RecordOptions& options, std::ostream& out);
  ~Recorder() override;
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

  // Reads until `stop` is set (by a signal handler) and `wakeFd`, when not -1, is readable or a
  // quarter second passes; then closes the recording cleanly. Returns the exit status.
  int Run(const volatile std::sig_atomic_t& stop, int wakeFd);

  // Reading thread: the bytes of one read.
  void BytesReceived(uint32_t stamp, const uint8_t* bytes, size_t count, EngineModel model,
                     int32_t altFrameFormat) override;
  void StreamRestarted() override;

 private:
  // One recording at a time is written; a finished one is closed by the main thread while
  // the reading thread may already write the next into another slot, so the reading thread
  // never waits for a disk.
  struct Slot {
    enum class State { kIdle, kActive, kClosing };
    std::unique_ptr<LiveRecorder> recorder;
    State state = State::kIdle;
    uint64_t frames = 0;
    bool discard = false;  // the engine ran under a minute: not a run
    bool announced = false;
    bool failed = false;  // the disk or a limit stopped it
  };
  // A recording begins only with this many good frames in a row, so that noise, or a chance
  // checksum in data of another model, starts none.
  static constexpr int kGoodRun = 3;

  // Frames of our own assembler, which times them by their count (twelve a second), so that the
  // engine-run rules hold even when frames arrive faster than the monitor sends them.
  void AddSample(std::unique_ptr<EngineSample> sample, SampleNotifier* notifier) override;
  // Under lock_, reading thread: one frame of a run of good frames, its bytes window_[start, end).
  // `from` is the first byte of the window not yet handed on or passed over.
  void TakeFrame(const EngineSample& sample, size_t start, size_t end, size_t& from);
  void Hand(Slot& slot, const uint8_t* bytes, size_t count);
  void StretchOpened(int64_t ms) override;
  void StretchClosed(bool reported) override;

  // Under lock_: the slot being written, a new one when there is none.
  Slot& ActiveLocked();
  void CloseActiveLocked(bool discard);
  void Wake();
  void Poll();
  void Line(const std::string& text);
  // Main thread: a recording that stopped (disk full, file too large) is closed at once and
  // said so; a new one may begin once the folder has room again.
  void NoticeStoppedRecordings();
  void Finish(Slot& slot);
  // Main thread: indexes a closed recording into the flight library.
  void Index(const std::string& path);
  // Main thread: one status line when the bytes or the readings point to another model.
  void HintAtTheModel(const SerialStatus& status);

  const RecordOptions options_;
  std::ostream& out_;
  std::mutex outLock_;
  std::string folder_;
  int wakeFd_ = -1;

  // Reading thread only.
  std::atomic<int32_t> model_;
  std::atomic<int32_t> alt_;
  FrameAssembler framer_;
  RunDetector runs_;
  bool frameDone_ = false;
  EngineSample frame_;  // the sample of the frame just done
  bool openedHere_ = false;
  bool stretchOpen_ = false;  // the run detector has an engine run open
  uint64_t streamPos_ = 0;     // bytes framed since the stream (re)started
  uint64_t lastFrameEnd_ = UINT64_MAX;
  int goodRun_ = 0;  // good frames in a row, each right after the one before
  std::vector<EngineSample> held_;  // a run of good frames too short yet to start a recording
  std::optional<bool> closedHere_;  // the stretch closed at this frame; whether it was a run
  std::vector<uint8_t> window_;     // the bytes before this read, up to kGoodRun frames' worth
  uint32_t stamp_ = 0;              // the reader's stamp of the read being handled

  // lock_ guards the slots and `active_`; held to hand bytes to a slot (which never waits for
  // the disk) or to change a slot's state, never across a close.
  std::mutex lock_;
  std::vector<std::unique_ptr<Slot>> slots_;
  Slot* active_ = nullptr;
  bool restartPending_ = false;
  // No recording begins: the last one stopped for want of room, which is not back yet.
  bool paused_ = false;
  // What the readings say of the model given; fed by the reading thread, asked by the main one.
  ContentHint contentHint_;
  // When the first of those readings arrived (TickCount).
  std::optional<uint32_t> firstSampleMs_;

  std::atomic<uint64_t> restarts_{0};  // reopenings after a loss, counted by the reading thread

  // Main thread only.
  bool everOpen_ = false;
  bool wasOpen_ = false;
  std::string lastError_;
  bool hinted_ = false;  // a hint line was written: one is enough for a run of the recorder
  bool anyFailed_ = false;  // a recording failed: the exit status says so
  int64_t retryAtMs_ = 0;   // monotonic time of the next look for room after a stop
};

// Why `folder` cannot hold recordings (made when missing), or empty when it can.
std::string UnusableFolder(const std::string& folder);

}  // namespace ovixlog
