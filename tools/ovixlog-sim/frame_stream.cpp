#include "ovixlog-sim/frame_stream.h"

#include "acquisition/frame_builder.h"

namespace ovixlog::sim {

FrameStream::FrameStream(const StreamOptions& options)
    : options_(options),
      flight_(options.model, options.seed, options.scenario),
      faults_(options.seed ^ 0x9E3779B9u) {
  if (options.offsetCylinder > 0) {
    flight_.SetCylinderOffset(options.offsetCylinder, options.egtOffset, options.chtOffset);
  }
}

bool FrameStream::Chance(double probability) {
  if (probability <= 0.0)
    return false;
  return static_cast<double>(faults_()) / 4294967296.0 < probability;
}

FrameStream::Emitted FrameStream::AppendNext(std::vector<uint8_t>& out) {
  Emitted emitted;
  if (Chance(options_.noise)) {
    emitted.noiseBytes = faults_() % 16 + 1;
    for (size_t i = 0; i < emitted.noiseBytes; ++i)
      out.push_back(static_cast<uint8_t>(faults_()));
  }
  emitted.goodChecksum = !Chance(options_.badChecksum);
  emitted.sample = flight_.Next();
  FrameBuilder::Append(out, emitted.sample, options_.model, options_.altFrameFormat,
                       emitted.goodChecksum ? Checksum::kGood : Checksum::kBad);
  return emitted;
}

}  // namespace ovixlog::sim
