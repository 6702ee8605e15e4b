// The reader alone: decodes a whole file into samples that are counted and dropped, and prints
// `read, N samples: T ms` (the fastest of three runs).
#include <chrono>
#include <cstdio>
#include <memory>

#include "reading/log_reader.h"

namespace {

class Counter : public ovixlog::LogReader::Listener {
 public:
  void AddSample(std::unique_ptr<ovixlog::EngineSample>, ovixlog::SampleNotifier*) override {
    ++count;
  }
  uint64_t count = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: bench_read FILE\n");
    return 2;
  }
  double best = 0;
  uint64_t samples = 0;
  for (int run = 0; run < 3; ++run) {
    Counter counter;
    const auto start = std::chrono::steady_clock::now();
    const ovixlog::LogReadResult result =
        ovixlog::LogReader::Read(argv[1], ovixlog::LogReadOptions{}, counter);
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count();
    if (!result.ok()) {
      std::fprintf(stderr, "%s\n", result.ErrorText(argv[1]).c_str());
      return 1;
    }
    samples = counter.count;
    best = run == 0 || ms < best ? ms : best;
  }
  std::printf("read, %llu samples: %.0f ms\n", static_cast<unsigned long long>(samples), best);
  return 0;
}
