// The reader on a file of any bytes, its kind told from the content: it must never crash,
// deliver one sample per frame it counts, and keep its counts within the file.
#include <sys/mman.h>
#include <unistd.h>

#include <string>

#include "fuzz_input.h"
#include "reading/log_reader.h"

namespace {

class Counting : public ovixlog::LogReader::Listener {
 public:
  void AddSample(std::unique_ptr<ovixlog::EngineSample>, ovixlog::SampleNotifier*) override {
    ++samples;
  }
  uint64_t samples = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace ovixlog;
  static const int fd = memfd_create("flight", 0);
  static const std::string path = "/proc/self/fd/" + std::to_string(fd);
  fuzz::Check(fd >= 0, "memfd created");
  fuzz::Check(ftruncate(fd, 0) == 0, "file emptied");
  fuzz::Check(pwrite(fd, data, size, 0) == static_cast<ssize_t>(size), "file written");

  for (const bool layouts : {false, true}) {
    LogReadOptions options;
    options.countLayouts = layouts;
    Counting listener;
    const LogReadResult result = LogReader::Read(path, options, listener);
    if (size == 0) {
      fuzz::Check(result.error == LogReadError::kEmpty, "an empty file is said to be empty");
      continue;
    }
    if (!result.ok()) {
      fuzz::Check(listener.samples == 0, "nothing delivered from a file not read");
      continue;
    }
    fuzz::Check(listener.samples == result.frames, "one sample per frame");
    fuzz::Check(result.frames * kShortFrameLength <= size, "frames fit in the file");
    fuzz::Check(result.bytesRead <= size && result.totalBytes == size, "counts within the file");
    fuzz::Check(!result.tornTail || result.tornAt < size, "a torn tail lies in the file");
    fuzz::Check(result.model >= 0 && result.model <= 3, "model is a known code");
    const LogReadResult settings = LogReader::ReadSettings(path, options);
    fuzz::Check(settings.ok(), "a file read once reads again");
  }
  return 0;
}
