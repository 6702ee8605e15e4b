// Where decoded samples go, and how the receiver of a sample tells its view about it.
#pragma once

#include <memory>

#include "acquisition/engine_sample.h"

namespace ovixlog {

// Told that a sample was stored. Called on the thread that added the sample (the reading thread
// for live data); an implementation must return promptly and never wait for the user-interface
// thread, so that stopping a reader can never deadlock against a notification.
class SampleNotifier {
 public:
  virtual ~SampleNotifier() = default;
  virtual void SampleAdded() = 0;
};

// Receives every decoded sample and owns it from the call on, whether it keeps it or not.
class SampleSink {
 public:
  virtual ~SampleSink() = default;
  virtual void AddSample(std::unique_ptr<EngineSample> sample, SampleNotifier* notifier) = 0;
};

}  // namespace ovixlog
