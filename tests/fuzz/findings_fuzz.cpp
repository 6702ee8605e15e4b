// The engine analysis and its findings under any sample stream: stamps that wrap, repeat or
// jump, probes that read anything. Every finding must lie inside its run, be sorted by start,
// and name a column its model shows; the live view must never report a finding the finished
// run lost.
#include <optional>
#include <vector>

#include "analysis/flight_analyzer.h"
#include "analysis/sample_column.h"
#include "fuzz_input.h"

namespace ovixlog::fuzz {
namespace {

// Samples whose fields come from the input's bytes, read round and round so that short inputs
// still make runs long enough for the findings' spans.
std::vector<EngineSample> SamplesFrom(const uint8_t* data, size_t size) {
  std::vector<EngineSample> out;
  if (size == 0)
    return out;
  size_t pos = 0;
  auto next = [&] { return data[pos++ % size]; };
  uint32_t stamp = 0;
  EngineSample s;
  s.tach = 2400;
  for (int i = 0; i < 3000; ++i) {
    const uint8_t op = next();
    switch (op % 8) {
      case 0:
        stamp += 1000u;
        break;
      case 1:
        stamp = static_cast<uint32_t>(next()) << 24 | static_cast<uint32_t>(next()) << 8;
        break;
      case 2:  // repeat
        break;
      default:
        stamp += static_cast<uint32_t>(next()) * 20u;
        break;
    }
    s.tickMs = stamp;
    const uint8_t field = next();
    const int16_t value = static_cast<int16_t>(next() << 8 | next());
    if (field % 4 == 0)
      s.cht[field / 4 % 6] = value;
    else if (field % 4 == 1)
      s.egt[field / 4 % 9] = value;
    else if (field % 4 == 2)
      s.tach = static_cast<int16_t>(value % 3000);
    else
      s.volt = static_cast<float>(value % 400) / 10.0f;
    s.flow = static_cast<float>(next() % 200) / 10.0f;
    s.aspd = static_cast<int16_t>(next());
    out.push_back(s);
  }
  return out;
}

void CheckFindings(const RunSummary& run, EngineModel model) {
  for (size_t i = 0; i < run.findings.size(); ++i) {
    const Finding& f = run.findings[i];
    Check(f.startMs <= f.endMs, "a finding ends at or after its start");
    Check(f.startMs >= run.startMs && f.endMs <= run.endMs, "a finding lies in its run");
    Check(i == 0 || run.findings[i - 1].startMs <= f.startMs, "findings are sorted by start");
    Check(!f.column || ModelHasColumn(model, *f.column), "a finding names a column of its model");
    Check(!f.text.empty(), "a finding says what it is");
  }
}

}  // namespace
}  // namespace ovixlog::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace ovixlog;
  const std::vector<EngineSample> samples = fuzz::SamplesFrom(data, size);
  for (EngineModel model : {kModel5100, kModel3100, kModel7100, kModel8100}) {
    FlightAnalyzer analyzer(model, Limits());
    for (size_t i = 0; i < samples.size(); ++i) {
      analyzer.Add(samples[i]);
      std::optional<RunSummary> current;
      if (i % 50 == 0 && (current = analyzer.CurrentRun()))
        fuzz::CheckFindings(*current, model);
    }
    analyzer.Finish();
    for (const RunSummary& run : analyzer.FinishedRuns())
      fuzz::CheckFindings(run, model);
  }
  return 0;
}
