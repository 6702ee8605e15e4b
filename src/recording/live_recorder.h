// The live recording of one document: takes every byte the serial reader receives and writes
// one recording file per session, with the reader's wall-clock readings. A session begins with the
// first byte after the port opened and ends when the port closes; its file is named by the local
// start time, port and model, e.g. "2026-12-09_14-03-22_COM1_5100.log". It opens with the
// wall-clock time and the setting records that select the model and format, and gets a new setting
// record wherever the reading thread starts framing with another model or format, so that an import
// rebuilds exactly the rows the live table had.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "acquisition/byte_sink.h"
#include "recording/recording_writer.h"

namespace ovixlog {

class LiveRecorder : public ByteSink {
 public:
  struct Status {
    bool enabled = false;
    bool recording = false;  // a session file is open
    std::string name;
    uint64_t size = 0;
    std::string error;  // the last session's failure, kept until the next session begins
  };

  // A wall-clock record is written at least this often, so a changed system clock or time zone
  // shows up in the reopened flight too.
  static constexpr uint32_t kWallClockEveryMs = 60000;

  LiveRecorder(std::string folder, bool enabled);
  ~LiveRecorder() override;
  LiveRecorder(const LiveRecorder&) = delete;
  LiveRecorder& operator=(const LiveRecorder&) = delete;

  // The port the next session reads ("COM1:" or a device path); ends the current session
  // without waiting for it. Call with the reading thread stopped.
  void BeginPort(const std::string& portName);
  // Closes the current session's file cleanly. With `wait`, returns once it is on the disk;
  // without, a thread of its own finishes the close, so that a stalled disk cannot hold up the
  // caller (the destructor waits for it). Any thread but the reading thread.
  void EndSession(bool wait = true);
  // Off ends the current session without waiting; on lets the next bytes begin one.
  void SetEnabled(bool enabled);
  bool enabled() const;
  const std::string& folder() const { return folder_; }

  Status status() const;
  // The file name of the last session that ended, once its file is closed; empty when it made
  // no file.
  std::string lastSessionName() const;
  // Options for the writers of later sessions (tests and benchmarks).
  void SetWriterOptions(RecordingWriter::Options options);
  // Told the path of each session's file once it is closed cleanly on the disk, on the thread
  // that closed it, under the recorder's lock: it must only hand the path on. Once this
  // returns, an earlier listener is never called again.
  using ClosedListener = std::function<void(const std::string& path)>;
  void SetClosedListener(ClosedListener listener);
  // The aircraft each later session names after its opening records; empty for none. A
  // session under way is told a new name at once (its last aircraft record counts), so a name
  // given after the first bytes still labels that flight.
  void SetAircraft(const std::string& name);
  // The name SetAircraft last gave; empty for none.
  std::string aircraft() const;
  // The current session's writer, or null. For tests and benchmarks, which inject stalls.
  RecordingWriter* writer();

  void BytesReceived(uint32_t stamp, const uint8_t* bytes, size_t count, EngineModel model,
                     int32_t altFrameFormat) override;
  void StreamRestarted() override;
  void WallClockSet(const WallClockAnchor& anchor) override;

  // "COM1:" -> "COM1"; a device path -> its last name ("/dev/ttyUSB0" -> "ttyUSB0").
  static std::string PortLabel(const std::string& portName);
  // "<yyyy>-<mm>-<dd>_<HH>-<MM>-<SS>_<port>_<model>" for the local time `epochSeconds`.
  static std::string SessionBaseName(int64_t epochSeconds, const std::string& portName,
                                     EngineModel model);

 private:
  void WriteSettingsLocked(uint32_t stamp, EngineModel model, int32_t altFrameFormat);
  // Joins the closing threads that are done; all of them with `all`.
  void ReapClosers(bool all);

  struct Closer {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
  };
  // The sessions still being closed. Touched only by the threads that end sessions.
  std::vector<Closer> closers_;

  const std::string folder_;
  // mutex_ guards everything below. The reading thread holds it only while it hands a record
  // to the writer, which never waits for the disk; closing a writer happens outside it.
  mutable std::mutex mutex_;
  bool enabled_;
  std::string portName_;
  RecordingWriter::Options options_;
  std::unique_ptr<RecordingWriter> writer_;
  std::string lastError_;
  std::string lastName_;
  EngineModel model_ = 0;
  int32_t alt_ = 0;
  uint32_t lastAnchorStamp_ = 0;
  // The reader's wall-clock reading, once it has given one; without it the recorder reads the
  // clock itself at the start and once a minute.
  std::optional<WallClockAnchor> readerAnchor_;
  bool anchorPending_ = false;
  bool restartPending_ = false;
  std::string aircraft_;
  uint32_t lastStamp_ = 0;  // of the last bytes written, for records added between them
  ClosedListener closedListener_;
};

}  // namespace ovixlog
