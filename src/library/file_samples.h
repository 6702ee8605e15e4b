// Reads any file the flight library indexes (a recording, a flight-display log or a raw
// capture), told apart by what it holds rather than by its name, into every sample it holds
// with its wall-clock readings and the aircraft it names. Safe to call from several threads.
#pragma once

#include <optional>
#include <string>

#include "library/library_indexer.h"

namespace ovixlog {

// `model` is the model of a raw capture when given; else 3100 when the file frames as 48-byte
// frames better than as the long ones, 5100 otherwise.
FileSamples ReadFileSamples(const std::string& path, std::optional<EngineModel> model);

}  // namespace ovixlog
