// The simulator's command line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ovixlog-sim/frame_stream.h"

namespace ovixlog::sim {

struct SimOptions {
  StreamOptions stream;
  double rate = 12.0;       // frames a second on a terminal; 0: as fast as the line takes them
  std::string link;         // a symbolic link to the terminal, made at start and removed at exit
  std::string capture;      // write a raw capture here instead of serving a terminal
  std::string demoLog;      // write a DEMO recording here instead of serving a terminal
  uint64_t frames = 0;      // frames to write; 0 on a terminal: until stopped
  bool printTruth = false;  // print the lean test's truth and stop
};

struct ParsedCommandLine {
  enum class Outcome { kRun, kHelp, kBadUsage };
  Outcome outcome = Outcome::kRun;
  SimOptions options;
  std::string error;  // with kBadUsage
};

// Frames a file gets when --frames is not given: an hour, or one pass of the scenario.
inline constexpr uint64_t kDefaultFileFrames = 12 * 60 * 60;

// Parses the arguments after the program name. Options take their value as the next
// argument or after '='.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args);

// The --help text.
std::string UsageText();

}  // namespace ovixlog::sim
