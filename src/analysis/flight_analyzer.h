// The whole analysis of a recording, fed one sample at a time: finds the engine runs and keeps
// a summary of each, with its exceedances and lean tests. Every sample costs a bounded amount
// of work, apart from the curve fits, which run once when a sweep ends; so the window can keep
// one up to date while samples arrive.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "analysis/limits.h"
#include "analysis/run_detector.h"
#include "analysis/run_summary.h"

namespace ovixlog {

class RunAccumulator;

class FlightAnalyzer : private RunListener {
 public:
  FlightAnalyzer(EngineModel model, const Limits& limits);
  ~FlightAnalyzer() override;
  FlightAnalyzer(const FlightAnalyzer&) = delete;
  FlightAnalyzer& operator=(const FlightAnalyzer&) = delete;

  void Add(const EngineSample& sample);
  // The input has ended: the run in progress is finished.
  void Finish();

  EngineModel model() const { return model_; }
  int64_t SampleCount() const { return detector_.SampleCount(); }
  // Runs that have ended, oldest first.
  const std::vector<RunSummary>& FinishedRuns() const { return finished_; }
  // The run in progress once it has lasted 60 s: its figures up to the latest sample, with the
  // exceedances that are still going on.
  std::optional<RunSummary> CurrentRun() const;
  // Both of the above.
  std::vector<RunSummary> Runs() const;

 private:
  void StretchOpened(int64_t ms) override;
  void StretchSample(int64_t ms, const EngineSample& sample) override;
  void StretchClosed(bool reported) override;

  EngineModel model_;
  std::vector<ColumnLimit> limits_;
  RunDetector detector_;
  std::unique_ptr<RunAccumulator> open_;
  std::vector<RunSummary> finished_;
};

// Runs the analysis over samples at once.
std::vector<RunSummary> AnalyseSamples(const std::vector<EngineSample>& samples, EngineModel model,
                                       const Limits& limits);

}  // namespace ovixlog
