// Reads any file the flight library indexes (a recording, a flight-display log or a raw
// capture) into samples through the log reader, told apart by what the file holds rather than
// by its name. Safe to call from several threads at once.
#pragma once

#include <optional>
#include <string>

#include "library/library_indexer.h"

namespace ovixlog {

// `model` is the model of a raw capture when given; else 3100 for 48-byte frames, 5100 for
// the others.
FileSamples ReadFileSamples(const std::string& path, std::optional<EngineModel> model);

}  // namespace ovixlog
