// A limits file of any bytes: it must load or give an error that names the file and line, never
// crash, and every limit it sets must lie within the sane range and print back to itself.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "analysis/limits.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace ovixlog;
  static const int fd = memfd_create("limits", 0);
  static const std::string path = "/proc/self/fd/" + std::to_string(fd);
  fuzz::Check(fd >= 0, "memfd created");
  fuzz::Check(ftruncate(fd, 0) == 0, "file emptied");
  fuzz::Check(pwrite(fd, data, size, 0) == static_cast<ssize_t>(size), "file written");

  std::string error;
  const std::optional<Limits> limits = Limits::Load(path, true, error);
  if (!limits) {
    fuzz::Check(error.rfind(path, 0) == 0, "the error names the file");
    return 0;
  }
  fuzz::Check(error.empty(), "no error beside limits");
  for (EngineModel model : {kModel3100, kModel5100, kModel7100, kModel8100}) {
    for (const ColumnLimit& limit : limits->ForModel(model)) {
      fuzz::Check(limit.value >= -kLargestLimit && limit.value <= kLargestLimit,
                  "limits within the sane range");
      const std::string text = ExactNumberText(limit.value);
      fuzz::Check(std::strtod(text.c_str(), nullptr) == limit.value, "limits print exactly");
    }
  }
  // What the limits write reads back to the same limits.
  Limits again = Limits::Defaults();
  std::string againError;
  fuzz::Check(again.Apply(limits->ToIni(), "written", againError), "written limits read back");
  fuzz::Check(again == *limits, "written limits are the same limits");
  return 0;
}
