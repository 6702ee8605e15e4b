// Every sample of one file the library indexes (a recording, a flight-display log or a raw
// capture), told apart by what the file holds rather than by its name.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "acquisition/engine_sample.h"

namespace ovixlog {

struct FileSamples {
  bool read = false;   // false: `why` tells what is wrong with the file
  std::string why;
  EngineModel model = kModel5100;
  std::vector<EngineSample> samples;
};

// `model` is the model of a raw capture when given; else 3100 for 48-byte frames, 5100 for
// the others.
FileSamples ReadFileSamples(const std::string& path, std::optional<EngineModel> model);

}  // namespace ovixlog
