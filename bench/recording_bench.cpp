// The live recording's cost and its behaviour on a stalled disk, on a pseudo-terminal fed at
// the monitor's twelve frames a second. Prints "name: value unit" lines.
#include <fcntl.h>
#include <pty.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "acquisition/frame_builder.h"
#include "document/ovixlog_doc.h"
#include "framework/headless_user_interface.h"
#include "recording/recording_catalog.h"
#include "recording/recording_format.h"

namespace {

using Clock = std::chrono::steady_clock;
using ovixlog::COvixLogDoc;

double ProcessCpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

std::vector<uint8_t> Frame(int index) {
  ovixlog::EngineSample s;
  s.tach = static_cast<int16_t>(2000 + index % 500);
  s.cht[0] = 350;
  s.egt[0] = 1400;
  return ovixlog::FrameBuilder::Build(s, ovixlog::kModel5100);
}

struct Outcome {
  double seconds = 0;
  double processCpu = 0;
  double writerCpu = 0;
  int framesSent = 0;
  int framesInTable = 0;
  uint64_t bytesSent = 0;
  uint64_t bytesRecorded = 0;
};

// Feeds `seconds` of frames at twelve a second to a live document on a pseudo-terminal. With
// `stallAtMs` >= 0 the recording's writer stalls for `stallMs` from then on.
Outcome Run(const std::string& folder, bool record, double seconds, int stallAtMs, int stallMs) {
  int master = -1;
  int slave = -1;
  char name[256] = {};
  if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
    std::perror("openpty");
    std::exit(1);
  }
  ::setenv("OVIXLOG_COM1", name, 1);
  ovixlog::StartupSettings settings;
  settings.keepAllSamples = 1;
  settings.recordingEnabled = record ? 1 : 0;
  settings.recordingFolder = folder;
  ovixlog::HeadlessUserInterface ui;
  auto doc = std::make_unique<COvixLogDoc>(&ui, settings);
  doc->OnNewDocument();

  Outcome out;
  const auto start = Clock::now();
  const double cpuStart = ProcessCpuSeconds();
  bool stalled = false;
  for (int i = 0;; ++i) {
    const auto due = start + std::chrono::microseconds(static_cast<int64_t>(i) * 1000000 / 12);
    if (due - start > std::chrono::duration<double>(seconds))
      break;
    std::this_thread::sleep_until(due);
    if (!stalled && stallAtMs >= 0 && due - start >= std::chrono::milliseconds(stallAtMs)) {
      if (ovixlog::RecordingWriter* writer = doc->recorder().writer()) {
        writer->InjectStall(stallMs);
        stalled = true;
      }
    }
    const std::vector<uint8_t> frame = Frame(i);
    if (::write(master, frame.data(), frame.size()) == static_cast<ssize_t>(frame.size())) {
      ++out.framesSent;
      out.bytesSent += frame.size();
    }
  }
  // Every frame reaches the table within moments; wait for it, with a generous bound.
  const auto deadline = Clock::now() + std::chrono::seconds(20);
  while (doc->SampleCount() < out.framesSent && Clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  out.framesInTable = doc->SampleCount();
  out.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  out.processCpu = ProcessCpuSeconds() - cpuStart;
  if (ovixlog::RecordingWriter* writer = doc->recorder().writer())
    out.writerCpu = writer->WriterCpuSeconds();
  doc.reset();
  for (const ovixlog::RecordingInfo& info : ovixlog::ListRecordings(folder)) {
    const std::string text = [&] {
      FILE* f = std::fopen(info.path.c_str(), "rb");
      std::string all;
      char buffer[65536];
      size_t n = 0;
      while (f != nullptr && (n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        all.append(buffer, n);
      if (f != nullptr)
        std::fclose(f);
      return all;
    }();
    for (size_t pos = 0; pos + ovixlog::kRecordHeaderSize <= text.size();) {
      const uint32_t length =
          ovixlog::ReadBigEndian32(reinterpret_cast<const uint8_t*>(text.data()) + pos + 5);
      if (static_cast<uint8_t>(text[pos]) == ovixlog::kStreamRecord)
        out.bytesRecorded += length;
      pos += ovixlog::kRecordHeaderSize + length;
    }
  }
  ::close(master);
  ::close(slave);
  ::unsetenv("OVIXLOG_COM1");
  return out;
}

}  // namespace

int main() {
  const char* secondsText = std::getenv("OVIXLOG_BENCH_SECONDS");
  const double seconds = secondsText != nullptr ? std::atof(secondsText) : 10.0;
  const std::filesystem::path root =
      std::filesystem::temp_directory_path() / ("ovixlog-bench-" + std::to_string(::getpid()));

  const Outcome with = Run((root / "with").string(), true, seconds, -1, 0);
  const Outcome without = Run((root / "without").string(), false, seconds, -1, 0);
  const Outcome stall = Run((root / "stall").string(), true, 4.0, 1000, 2000);
  std::filesystem::remove_all(root);

  const auto percent = [](double cpu, double wall) { return 100.0 * cpu / wall; };
  std::printf("recording_writer_thread_cpu_12fps: %.3f %% of one core\n",
              percent(with.writerCpu, with.seconds));
  std::printf("live_process_cpu_12fps_recording: %.3f %% of one core\n",
              percent(with.processCpu, with.seconds));
  std::printf("live_process_cpu_12fps_not_recording: %.3f %% of one core\n",
              percent(without.processCpu, without.seconds));
  std::printf(
      "recording_cpu_overhead_12fps: %.3f %% of one core\n",
      percent(with.processCpu, with.seconds) - percent(without.processCpu, without.seconds));
  std::printf("recording_bytes_missing_12fps: %lld bytes\n",
              static_cast<long long>(with.bytesSent) - static_cast<long long>(with.bytesRecorded));
  std::printf("writer_stall_2s_frames_sent: %d frames\n", stall.framesSent);
  std::printf("writer_stall_2s_frames_lost_from_table: %d frames\n",
              stall.framesSent - stall.framesInTable);
  std::printf(
      "writer_stall_2s_recording_bytes_missing: %lld bytes\n",
      static_cast<long long>(stall.bytesSent) - static_cast<long long>(stall.bytesRecorded));
  return 0;
}
