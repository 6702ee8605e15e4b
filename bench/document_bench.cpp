// The document's hot paths: storing and measuring samples, and formatting rows.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "acquisition/frame_builder.h"
#include "document/ovixlog_doc.h"
#include "framework/headless_user_interface.h"

namespace ovixlog {
namespace {

// Values like those of a flight: mostly fitting their fields, some wider (hours, altitude).
EngineSample FlightLikeSample(std::mt19937& rng, uint32_t stamp) {
  EngineSample s;
  s.tach = static_cast<int16_t>(2300 + rng() % 200);
  for (auto& v : s.cht)
    v = static_cast<int16_t>(340 + rng() % 30);
  for (auto& v : s.egt)
    v = static_cast<int16_t>(1400 + rng() % 100);
  s.oilT = 190;
  s.oilP = 65;
  s.oat = 12;
  s.volt = static_cast<float>(140 + rng() % 3) * 0.1f;
  s.flow = static_cast<float>(80 + rng() % 10) * 0.1f;
  s.fuel = static_cast<float>(rng() % 600) * 0.1f;
  s.hours = static_cast<float>(13000 + rng() % 1000) * 0.1f;
  s.aspd = 120;
  s.alt = static_cast<int32_t>(rng() % 1500) * 10;
  s.vsi = static_cast<float>(static_cast<int>(rng() % 21) - 10) * 100.0f;
  s.baro = static_cast<float>(2980 + rng() % 30) * 0.01f;
  s.tickMs = stamp;
  return s;
}

void BM_AddSampleKeepAll(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  std::mt19937 rng(1);
  std::vector<EngineSample> input;
  for (int i = 0; i < count; ++i)
    input.push_back(FlightLikeSample(rng, static_cast<uint32_t>(i) * 83u));
  StartupSettings settings;
  settings.keepAllSamples = 1;
  HeadlessUserInterface ui;
  for (auto _ : state) {
    COvixLogDoc doc(&ui, settings);
    doc.SetPortsEnabled(false);
    for (const auto& s : input)
      doc.AddSample(std::make_unique<EngineSample>(s), nullptr);
    benchmark::DoNotOptimize(doc.GetMaxRowWidth());
    state.PauseTiming();  // freeing a million samples is not what is measured
    doc.DeleteContents();
    state.ResumeTiming();
  }
  state.counters["samples/s"] =
      benchmark::Counter(static_cast<double>(count), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_AddSampleKeepAll)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_FormatRow(benchmark::State& state) {
  const bool csv = state.range(0) != 0;
  StartupSettings settings;
  settings.keepAllSamples = 1;
  settings.showSystemTime = static_cast<int32_t>(state.range(1));
  HeadlessUserInterface ui;
  COvixLogDoc doc(&ui, settings);
  doc.SetPortsEnabled(false);
  std::mt19937 rng(2);
  for (int i = 0; i < 1000; ++i) {
    doc.AddSample(std::make_unique<EngineSample>(FlightLikeSample(rng, static_cast<uint32_t>(i))),
                  nullptr);
  }
  std::string text;
  int row = 0;
  for (auto _ : state) {
    if (csv) {
      doc.FormatCsvRow(1 + row, text);
    } else {
      doc.FormatDisplayRow(2 + row, text);
    }
    benchmark::DoNotOptimize(text.data());
    row = (row + 1) % 1000;
  }
  state.SetLabel(csv ? "csv" : "display");
}
BENCHMARK(BM_FormatRow)->Args({0, 0})->Args({1, 0})->Args({0, 1})->Unit(benchmark::kNanosecond);

}  // namespace
}  // namespace ovixlog
