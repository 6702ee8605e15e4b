// The process-wide settings chosen on the command line: written once during start-up, before
// the first document exists, and only read after that.
#pragma once

#include <cstdint>
#include <string>

namespace ovixlog {

struct StartupSettings {
  int32_t commPort = 1;         // serial port number, 1..8 (COM1..COM8)
  int32_t model = 0;            // engine monitor model code (kModel5100 ... kModel8100)
  int32_t keepAllSamples = 0;   // 1: keep every sample rather than a bounded window
  int32_t showSystemTime = 0;   // 1: show the computer's clock time with each sample
  int32_t oldestFirst = 0;      // 1: list the oldest sample first, 0: the newest first
  int32_t altFrameFormat = 0;   // 1: read the 77-byte frames of version 3.9 software
  std::string portDevice;       // the device that commPort reads for this run, or empty
  int32_t autoSaveEnabled = 0;  // 1: write autoSavePath without asking whenever a save is due
  std::string autoSavePath;
  int32_t recordingEnabled = 1;  // 1: every byte read from the port goes to a recording file
  std::string recordingFolder;   // where the recordings go; empty: the default folder

  bool operator==(const StartupSettings&) const = default;
};

// The one instance. Start-up writes it on the user-interface thread before any other thread
// runs; afterwards every thread only reads it, so it needs no lock.
StartupSettings& TheStartupSettings();

}  // namespace ovixlog
