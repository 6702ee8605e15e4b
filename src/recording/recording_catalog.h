// The recordings folder: where it is, what it holds (start, duration, model, size of each
// recording, newest first), which recording was left behind by a program that did not end
// normally, and sealing such a recording so that it is offered only once.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ovixlog {

struct RecordingInfo {
  std::string path;
  std::string name;
  int64_t startEpochMs = 0;      // from the first wall-clock record (else the file's time)
  int32_t utcOffsetSeconds = 0;  // of the local clock at the start
  int64_t durationMs = 0;        // to the closing record, or to the last write
  int modelNumber = 0;           // 3100, 5100, 7100, 8100, or 0 when the file does not say
  uint64_t size = 0;
  bool closed = false;  // ends with a closing record
  bool inUse = false;   // a running program holds its lock and is still writing it
  // A regular file (not a link) that begins with the opening records every recording of ours
  // begins with; only such a file is ever sealed or offered for recovery.
  bool ours = false;
};

// $OVIXLOG_RECORDINGS when set and not empty, else $XDG_DATA_HOME/ovixlog/recordings, else
// $HOME/.local/share/ovixlog/recordings.
std::string DefaultRecordingsFolder();

// What is known of the recording at `path`; nothing when it cannot be read.
std::optional<RecordingInfo> ReadRecordingInfo(const std::string& path);

// Every "*.log" in `folder` with data in it, newest start first.
std::vector<RecordingInfo> ListRecordings(const std::string& folder);

// The newest recording of ours that was not closed cleanly and that no running program is
// writing.
std::optional<RecordingInfo> NewestAbandonedRecording(const std::string& folder);

// Mends an abandoned recording: a record cut short by the end of the file is shortened to the
// bytes that are there (stream bytes are kept), and a closing record dated at the file's last
// write is appended. A recording damaged in the middle (a length that no record of ours can
// have) is never shortened: the closing record is only appended, and a reader still reads up to
// the damage. Refuses, untouched, a file another program holds, a link, anything but a regular
// file and a file that does not begin with our opening records. Returns false with `error`.
bool SealRecording(const std::string& path, std::string& error);

// "9 Dec 2026 14:03" in the recording's own local time.
std::string StartText(const RecordingInfo& info);
// "1 h 12 min", "12 min", "45 s".
std::string DurationText(int64_t durationMs);
// "850 bytes", "12.3 kB", "4.1 MB".
std::string SizeText(uint64_t bytes);
// "OvixLog was not closed normally. Open the recording of 9 Dec 2026 14:03 (1 h 12 min)?"
std::string RecoveryQuestion(const RecordingInfo& info);

}  // namespace ovixlog
