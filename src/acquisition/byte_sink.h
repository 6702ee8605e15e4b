// Where the raw bytes of the serial line go besides the framing: the live recording.
#pragma once

#include <cstddef>
#include <cstdint>

#include "acquisition/clock.h"
#include "acquisition/engine_sample.h"

namespace ovixlog {

// Called on the reading thread; an implementation must return promptly and never wait for a
// disk or for another thread, so the table keeps getting every frame whatever it does.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // Right after each read that returned bytes: the bytes as read, the stamp every frame this
  // read completes is given, and the model and format setting the read was framed with.
  virtual void BytesReceived(uint32_t stamp, const uint8_t* bytes, size_t count, EngineModel model,
                             int32_t altFrameFormat) = 0;
  // The device was lost and is open again: what follows continues no frame begun before.
  virtual void StreamRestarted() {}
  // From now on the live samples' local times are `anchor.LocalTimeAt(stamp)`.
  virtual void WallClockSet(const WallClockAnchor& anchor) { (void)anchor; }
};

}  // namespace ovixlog
