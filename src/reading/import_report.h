// What the window's status bar and the tools' stderr say about a file that was read: the
// one-line report of what it held, the texts of the failures, and the title it goes by.
#pragma once

#include <cstdint>
#include <string>

#include "reading/log_reader.h"

namespace ovixlog {

// "Imported 1,200 frames from flight.log (3 with a bad checksum, 12 bytes skipped)", or
// "No frames found in ... — is the monitor model right?".
std::string ImportReportText(const std::string& path, uint64_t frames, uint64_t badChecksums,
                             uint64_t skipped, bool cutShort);
std::string ImportReportText(const std::string& path, const LogReadResult& result);

// A failed read's caption and text as the window shows them ("Unable to Open Demo Log",
// "Unable to open demo log: <path> (No such file or directory)").
struct ImportFailure {
  std::string caption;
  std::string text;
};
ImportFailure ImportFailureFor(const std::string& path, bool demoLog,
                               const LogReadResult& result);

// The title of a file that was read: "Recording <start>" for one of our recordings, else the
// file's name without its folder.
std::string ImportedFileTitle(const std::string& path, bool demoLog);

// "43,200".
std::string WithThousands(uint64_t value);

// Whether the file is named like one of our recordings ("2026-12-10_07-12-00_ttyUSB0_5100.log").
bool NamedLikeARecording(const std::string& path);

}  // namespace ovixlog
