// Reads any flight file the program opens into decoded samples: our live recordings, the
// flight display's EFIS DEMO logs and raw captures of the monitor's serial stream (any model,
// either frame layout, the v3.9 format). The kind is told from the content unless the caller
// names it. Samples are streamed, oldest first, with their stamps and, where the file carries
// the wall-clock time, the local time the flight was flown, to a listener; memory stays fixed
// whatever the file's length. No port is opened.
//
//   LogReadOptions options;                 // detect the kind, start as a 5100
//   MyListener listener;                    // a LogReader::Listener: AddSample and friends
//   const LogReadResult result = LogReader::Read(path, options, listener);
//   if (!result.ok()) std::cerr << result.ErrorText(path);
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "acquisition/clock.h"
#include "acquisition/engine_sample.h"
#include "acquisition/layout_detector.h"
#include "acquisition/sample_sink.h"

namespace ovixlog {

enum class LogFormat {
  kDetect,      // tell from the content (options only)
  kDemoLog,     // records: the flight display's logs and our recordings
  kRawCapture,  // the monitor's serial bytes as they came off the line
};

struct LogReadOptions {
  LogFormat format = LogFormat::kDetect;
  // The model and frame format a file starts with; a log's own settings records change them
  // unless `keepModel` is set.
  EngineModel model = kModel5100;
  int32_t altFrameFormat = 0;
  bool keepModel = false;
  // The model shown at the start, when it is not the one frames are cut with (a model record
  // alone changes only the model shown).
  std::optional<EngineModel> shownModel;
  // Pipes, FIFOs and "-" (standard input) are read to their end; otherwise refused.
  bool streams = false;
  // Raw captures: count how every frame layout frames the whole file (see result.layouts).
  bool countLayouts = false;
  // Passed with every sample to the listener.
  SampleNotifier* notifier = nullptr;
};

enum class LogReadError {
  kNone,
  kOpen,           // the file did not open; `reason` says why
  kEmpty,          // a file without a byte
  kRead,           // reading failed part way; `bytesRead` says where
  kUnknownFormat,  // none of the kinds this reader knows
};

struct LogReadResult {
  LogReadError error = LogReadError::kNone;
  std::string reason;  // the system's words, or what was expected
  LogFormat format = LogFormat::kRawCapture;  // the kind that was read
  uint64_t totalBytes = 0;                    // the size when opened; 0 for a stream
  uint64_t bytesRead = 0;
  bool cancelled = false;  // the listener stopped the reading
  // Integrity: frames with a good checksum, frames dropped for a bad one, bytes that fell in
  // no frame (including those left waiting for the rest of a frame at the end).
  uint64_t frames = 0;
  uint64_t badChecksums = 0;
  uint64_t bytesSkipped = 0;
  // A log that ends inside a record, and where that record began.
  bool tornTail = false;
  uint64_t tornAt = 0;
  // The model and frame format as the file's settings left them.
  EngineModel model = kModel5100;
  int32_t altFrameFormat = 0;
  // With options.countLayouts on a raw capture: how every layout framed the bytes.
  std::optional<LayoutCounter> layouts;

  bool ok() const { return error == LogReadError::kNone; }
  // One line for a person: "Unable to open capture.bin: No such file or directory".
  std::string ErrorText(const std::string& path) const;
};

class LogReader {
 public:
  // Receives the samples (as a SampleSink, owning each) and what else the file says.
  class Listener : public SampleSink {
   public:
    // A settings record changed the model or the frame format; `reframed` when frames that
    // follow are framed differently (the model alone only changes what is shown).
    virtual void OnSettings(EngineModel model, int32_t altFrameFormat, bool reframed) {
      (void)model;
      (void)altFrameFormat;
      (void)reframed;
    }
    // A wall-clock record of one of our recordings, in file order: frames that follow are
    // stamped on the same clock as `anchor.stamp`.
    virtual void OnWallClock(const WallClockAnchor& anchor) { (void)anchor; }
    // An aircraft record of one of our recordings: the aircraft it was recorded in.
    virtual void OnAircraft(const std::string& name) { (void)name; }
    // After every block read: bytes read so far and the total (0 for a stream). Returning
    // false stops the reading; the result says it was cancelled.
    virtual bool OnProgress(uint64_t done, uint64_t total) {
      (void)done;
      (void)total;
      return true;
    }
  };

  // Reads `path` to its end (or its damage, or until cancelled), calling the listener on this
  // thread. Nothing is delivered for a file that does not open or is of no known kind.
  static LogReadResult Read(const std::string& path, const LogReadOptions& options,
                            Listener& listener);
  // Only the model and frame format a log's settings leave at its end, without decoding a
  // frame (a raw capture has none: the options' come back). Regular files only: a stream
  // cannot be read a second time.
  static LogReadResult ReadSettings(const std::string& path, const LogReadOptions& options);
};

// Whether the first bytes of a file read as records of a log: known types and lengths that
// fit. A raw capture starts with sync bytes or noise, whose "records" fail at once.
bool LooksLikeDemoLogHead(const uint8_t* head, size_t size);

}  // namespace ovixlog
