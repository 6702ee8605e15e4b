#include "analysis/flight_analyzer.h"

#include "analysis/run_accumulator.h"

namespace ovixlog {

FlightAnalyzer::FlightAnalyzer(EngineModel model, const Limits& limits)
    : model_(model), limits_(limits.ForModel(model)), detector_(this) {}

FlightAnalyzer::~FlightAnalyzer() = default;

void FlightAnalyzer::Add(const EngineSample& sample) {
  detector_.Add(sample);
}

void FlightAnalyzer::Finish() {
  detector_.Finish();
}

std::optional<RunSummary> FlightAnalyzer::CurrentRun() const {
  if (open_ == nullptr || detector_.CurrentRun() == nullptr)
    return std::nullopt;
  return open_->Snapshot();
}

std::vector<RunSummary> FlightAnalyzer::Runs() const {
  std::vector<RunSummary> runs = finished_;
  if (std::optional<RunSummary> current = CurrentRun())
    runs.push_back(std::move(*current));
  return runs;
}

void FlightAnalyzer::StretchOpened(int64_t) {
  open_ = std::make_unique<RunAccumulator>(model_, limits_);
}

void FlightAnalyzer::StretchSample(int64_t ms, const EngineSample& sample) {
  if (open_)
    open_->Add(ms, sample);
}

void FlightAnalyzer::StretchClosed(bool reported) {
  if (open_ && reported)
    finished_.push_back(open_->Finish());
  open_.reset();
}

std::vector<RunSummary> AnalyseSamples(const std::vector<EngineSample>& samples, EngineModel model,
                                       const Limits& limits) {
  FlightAnalyzer analyzer(model, limits);
  for (const EngineSample& s : samples)
    analyzer.Add(s);
  analyzer.Finish();
  return analyzer.FinishedRuns();
}

}  // namespace ovixlog
