// The window's costs: one paint of the log view with few and with a million stored samples
// (it must not grow with the store), and importing a 24-hour capture with every sample kept,
// headless as the converter does and with the view attached and notified of every sample.
//
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "acquisition/frame_builder.h"
#include "document/ovixlog_doc.h"
#include "framework/headless_user_interface.h"
#include "framework/startup_settings.h"
#include "ovixlog-sim/flight_generator.h"
#include "view/chart_view.h"
#include "view/flight_report.h"
#include "view/ovixlog_view.h"

namespace {

using ovixlog::COvixLogDoc;
using ovixlog::COvixLogView;
using ovixlog::EngineSample;

constexpr int kDayFrames = 24 * 60 * 60 * 12;  // a day at 12 frames a second

EngineSample Sample(int i) {
  EngineSample s;
  s.tach = static_cast<int16_t>(2300 + i % 200);
  s.cht[0] = static_cast<int16_t>(350 + i % 17);
  s.egt[0] = static_cast<int16_t>(1400 + i % 90);
  s.oilT = 190;
  s.oilP = 65;
  s.volt = 14.1f;
  s.flow = 8.6f;
  s.fuel = 38.8f;
  s.hours = 1372.9f;
  s.fltHours = static_cast<int8_t>(i / 43200 % 24);
  s.fltMinutes = static_cast<int8_t>(i / 720 % 60);
  s.fltSeconds = static_cast<int8_t>(i / 12 % 60);
  s.tickMs = static_cast<uint32_t>(i) * 83U;
  return s;
}

ovixlog::StartupSettings KeepAll() {
  ovixlog::StartupSettings settings;
  settings.keepAllSamples = 1;
  return settings;
}

// A shown view over a document of `samples` samples, ten rows high, painted into an image. Both
// sizes write the same ten rows, so any difference comes from the size of the store.
void BM_PaintLogView(benchmark::State& state) {
  const int samples = static_cast<int>(state.range(0));
  static const ovixlog::StartupSettings settings = KeepAll();
  ovixlog::HeadlessUserInterface ui;
  auto doc = std::make_unique<COvixLogDoc>(&ui, settings);
  doc->SetPortsEnabled(false);
  COvixLogView view;
  view.SetDocument(doc.get());
  doc->AddView(&view);
  doc->OnNewDocument();
  for (int i = 0; i < samples; ++i) {
    doc->AddSample(std::make_unique<EngineSample>(Sample(i)), nullptr);
  }
  view.resize(980, 300);
  view.show();
  const int extra = view.height() - view.viewport()->height();
  view.resize(980, 10 * view.RowHeight() + extra);
  QCoreApplication::processEvents();
  view.OnInitialUpdate();
  doc->UpdateAllViews(nullptr);
  view.OnVScroll(COvixLogView::ScrollRequest::kThumbPosition, 2);
  QImage screen(view.viewport()->size(), QImage::Format_RGB32);
  for (auto _ : state) {
    QPainter painter(&screen);
    view.OnDraw(painter);
  }
  state.counters["rows"] = static_cast<double>(view.rowsWritten().size());
  state.counters["samples"] = samples;
  doc->RemoveView(&view);
  view.SetDocument(nullptr);
}
BENCHMARK(BM_PaintLogView)->Arg(10)->Arg(1000000)->Unit(benchmark::kMicrosecond);

// The capture of a day's flying, made once.
const std::string& DayCapture() {
  static const std::string path = [] {
    const std::string file =
        (std::filesystem::temp_directory_path() / "ovixlog-bench-day.bin").string();
    std::vector<uint8_t> bytes;
    bytes.reserve(static_cast<size_t>(kDayFrames) * ovixlog::kLongFrameLength);
    for (int i = 0; i < kDayFrames; ++i) {
      ovixlog::FrameBuilder::Append(bytes, Sample(i), ovixlog::kModel5100);
    }
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return file;
  }();
  return path;
}

// The converter's import: the document alone.
void BM_ImportDayHeadless(benchmark::State& state) {
  const std::string& path = DayCapture();
  static const ovixlog::StartupSettings settings = KeepAll();
  ovixlog::HeadlessUserInterface ui;
  std::unique_ptr<COvixLogDoc> doc;
  for (auto _ : state) {
    // Freeing the last run's million samples and making the document are not the import.
    state.PauseTiming();
    doc.reset();
    doc = std::make_unique<COvixLogDoc>(&ui, settings);
    doc->SetPortsEnabled(false);
    doc->OnNewDocument();
    state.ResumeTiming();
    if (!doc->ImportSerialFile(path))
      state.SkipWithError("import failed");
    benchmark::DoNotOptimize(doc->SampleCount());
  }
  state.counters["samples"] = doc ? doc->SampleCount() : 0;
}
BENCHMARK(BM_ImportDayHeadless)->Unit(benchmark::kMillisecond)->Iterations(3);

// The window's import: the view is notified of every sample, then updates and paints.
void BM_ImportDayInWindow(benchmark::State& state) {
  const std::string& path = DayCapture();
  static const ovixlog::StartupSettings settings = KeepAll();
  ovixlog::HeadlessUserInterface ui;
  COvixLogView view;
  view.resize(980, 560);
  view.show();
  std::unique_ptr<COvixLogDoc> doc;
  const auto detach = [&] {
    if (!doc)
      return;
    doc->RemoveView(&view);
    view.SetDocument(nullptr);
    doc.reset();
  };
  for (auto _ : state) {
    state.PauseTiming();
    detach();
    doc = std::make_unique<COvixLogDoc>(&ui, settings);
    doc->SetPortsEnabled(false);
    view.SetDocument(doc.get());
    doc->AddView(&view);
    doc->OnNewDocument();
    view.OnInitialUpdate();
    QCoreApplication::processEvents();
    const int64_t paints = view.paintCount();
    state.ResumeTiming();
    if (!doc->ImportSerialFile(path))
      state.SkipWithError("import failed");
    while (view.paintCount() == paints || view.knownRowCount() != kDayFrames + 2) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
  }
  state.counters["samples"] = doc ? doc->SampleCount() : 0;
  detach();
}
BENCHMARK(BM_ImportDayInWindow)->Unit(benchmark::kMillisecond)->Iterations(3);

// ----- The charts over a day of keep-all data -----

// The heap in use, from the allocator's own count.
size_t HeapInUse() {
  return mallinfo2().uordblks;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0.0 : values[values.size() / 2];
}

EngineSample FlightSample(int i) {
  EngineSample s = Sample(i);
  for (int c = 0; c < 4; ++c) {
    s.egt[c] = static_cast<int16_t>(1380 + 20 * c + (i / 7 + 13 * c) % 40);
    s.cht[c] = static_cast<int16_t>(340 + 5 * c + (i / 11 + 7 * c) % 20);
  }
  return s;
}

// Repaints of a chart pane 1600 pixels wide over a day of samples: at full view, at one-minute
// zooms across the day, and while panning an hour-wide view; the median of all of them. Then
// the cost of reading the day into the chart's summary, per sample, and its memory against the
// store's.
void ChartFigures() {
  static const ovixlog::StartupSettings settings = KeepAll();
  ovixlog::HeadlessUserInterface ui;
  auto doc = std::make_unique<COvixLogDoc>(&ui, settings);
  doc->SetPortsEnabled(false);
  doc->OnNewDocument();
  const size_t heapBefore = HeapInUse();
  for (int i = 0; i < kDayFrames; ++i)
    doc->AddSample(std::make_unique<EngineSample>(FlightSample(i)), nullptr);
  const size_t storeBytes = HeapInUse() - heapBefore;

  ovixlog::ChartView charts;
  charts.resize(1600 + 116, 720);
  QElapsedTimer timer;
  timer.start();
  charts.SetDocument(doc.get(), nullptr);
  const double appendNs = static_cast<double>(timer.nsecsElapsed()) / kDayFrames;
  const size_t chartBytes = charts.summary().MemoryBytes();

  QImage screen(charts.size(), QImage::Format_RGB32);
  std::vector<double> ms;
  const auto paint = [&] {
    QPainter painter(&screen);
    charts.Render(painter);
    ms.push_back(static_cast<double>(charts.lastPaintNs()) / 1e6);
  };
  const int64_t day = charts.summary().LastTimeMs();
  charts.SetCursorSample(kDayFrames / 2);
  for (int i = 0; i < 30; ++i) {
    charts.FitAll();
    paint();
  }
  for (int i = 0; i < 30; ++i) {
    const int64_t start = day / 31 * i;
    charts.FitRange(start, start + 60000);
    paint();
  }
  for (int i = 0; i < 30; ++i) {
    const int64_t start = 3600000 + i * 36000;  // an hour's view, moved a hundredth each time
    charts.FitRange(start, start + 3600000);
    paint();
  }
  std::vector<double> full(ms.begin(), ms.begin() + 30);
  std::vector<double> minute(ms.begin() + 30, ms.begin() + 60);
  std::vector<double> pan(ms.begin() + 60, ms.end());
  std::printf("chart repaint, %d samples: %.2f ms\n", kDayFrames, Median(ms));
  std::printf("chart repaint at full view / one minute / panning: %.2f / %.2f / %.2f ms\n",
              Median(full), Median(minute), Median(pan));
  std::printf("chart append: %.0f ns per sample\n", appendNs);
  std::printf("chart memory, %d samples: %.1f MB (the store: %.1f MB)\n", kDayFrames,
              static_cast<double>(chartBytes) / 1e6, static_cast<double>(storeBytes) / 1e6);
  std::fflush(stdout);
  charts.SetDocument(nullptr, nullptr);
}

// The flight report of three hours of the simulator's flight, a sample a second: analysis,
// charts, lean tests and the PDF written to a file; the median of five.
void ReportFigures() {
  ovixlog::sim::FlightGenerator flight(ovixlog::kModel5100, 1);
  std::vector<EngineSample> samples;
  constexpr int kSeconds = 3 * 3600;
  constexpr int kPerSecond = ovixlog::sim::FlightGenerator::kFramesPerSecond;
  for (int i = 0; i < kSeconds * kPerSecond; ++i) {
    EngineSample s = flight.Next();
    if (i % kPerSecond == 0) {
      s.tickMs = static_cast<uint32_t>(i / kPerSecond) * 1000u;
      samples.push_back(s);
    }
  }
  const QString path = QString::fromStdString(
      (std::filesystem::temp_directory_path() / "ovixlog-bench-report.pdf").string());
  std::vector<double> ms;
  for (int run = 0; run < 5; ++run) {
    QElapsedTimer timer;
    timer.start();
    ovixlog::FlightReportInput input;
    input.source = "bench";
    input.count = static_cast<int>(samples.size());
    input.sample = [&samples](int index) { return &samples[static_cast<size_t>(index)]; };
    const ovixlog::FlightReport report(input);
    if (!report.WritePdf(path, QPageSize::A4, nullptr))
      std::fprintf(stderr, "report: cannot write %s\n", qPrintable(path));
    ms.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
  }
  std::printf("report, 3 h flight: %.0f ms\n", Median(ms));
  std::fflush(stdout);
  std::filesystem::remove(path.toStdString());
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 1;
  benchmark::RunSpecifiedBenchmarks();
  ChartFigures();
  ReportFigures();
  benchmark::Shutdown();
  std::error_code ignored;
  std::filesystem::remove(std::filesystem::temp_directory_path() / "ovixlog-bench-day.bin",
                          ignored);
  return 0;
}
