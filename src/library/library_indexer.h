// Indexes files and folders into the flight library: collects the files (each once, symlink
// loops followed once), reads and analyses them on a pool of worker threads, and stores each
// file's flights in one transaction from the calling thread, in the order the files were found.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "acquisition/engine_sample.h"
#include "library/flight_figures.h"

namespace ovixlog {

class FlightLibrary;

// Every sample of one file, or why it is not a flight log.
struct FileSamples {
  bool read = false;
  std::string why;
  EngineModel model = kModel5100;
  std::vector<EngineSample> samples;
  std::vector<ClockMark> clocks;
  std::optional<std::string> aircraft;  // as the recording names it
};

// Reads a file of any kind the library takes; `model` is a raw capture's model when given.
// Called from worker threads, several at once.
using SampleReader =
    std::function<FileSamples(const std::string& path, std::optional<EngineModel> model)>;

struct IndexRequest {
  std::vector<std::string> roots;
  std::optional<std::string> aircraft;
  std::optional<EngineModel> model;
  unsigned threads = 0;  // 0: one per core
};

struct IndexTotals {
  size_t files = 0;
  int added = 0;       // flights
  int unchanged = 0;   // files
  int duplicates = 0;  // files
  int unread = 0;      // files and paths
  int missing = 0;     // of those, paths that could not be looked at
  std::string error;   // set when the library could not be written; indexing stopped there
};

// Each file's line ("PATH: added 2 flights", "PATH: unchanged", "PATH: duplicate of FILE",
// "PATH: not a flight log: why", "PATH: not read: why") goes to `line` and the count of files
// done to `progress`, both on the calling thread.
IndexTotals IndexFiles(FlightLibrary& library, const IndexRequest& request,
                       const SampleReader& reader, const std::function<void(const std::string&)>& line,
                       const std::function<void(size_t done, size_t total)>& progress);

// "3 files: 4 flights added, 1 unchanged, 0 duplicates, 1 not read"
std::string TotalsLine(const IndexTotals& totals);

// The absolute name of a path named by the user, its links resolved.
std::string AbsolutePath(const std::string& path);

}  // namespace ovixlog
