// A demo-log import of any bytes through the document: it must not crash, must keep memory
// bounded by the input, and must leave the settings with valid values only.
#include <sys/mman.h>
#include <unistd.h>

#include <ostream>
#include <string>

#include "document/ovixlog_doc.h"
#include "framework/headless_user_interface.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace ovixlog;
  // The input goes into an in-memory file, read through its /proc path as a real file would be.
  static const int fd = memfd_create("demo-log", 0);
  static const std::string path = "/proc/self/fd/" + std::to_string(fd);
  fuzz::Check(fd >= 0, "memfd created");
  fuzz::Check(ftruncate(fd, 0) == 0, "file emptied");
  fuzz::Check(pwrite(fd, data, size, 0) == static_cast<ssize_t>(size), "file written");

  // Errors go nowhere: the importer's own checks are what is exercised.
  static std::ostream nowhere(nullptr);
  HeadlessUserInterface ui(nowhere);
  StartupSettings settings;
  settings.keepAllSamples = size > 0 ? data[0] & 1 : 0;
  COvixLogDoc doc(&ui, settings);
  doc.SetPortsEnabled(false);
  doc.OnNewDocument();
  doc.ImportDemoLog(path);
  const int32_t model = doc.model.load();
  fuzz::Check(model >= 0 && model <= 3, "model is a known code");
  const int32_t alt = doc.altFrameFormat.load();
  fuzz::Check(alt == 0 || alt == 1, "format flag is 0 or 1");
  // Every sample needs at least a short frame's worth of input.
  fuzz::Check(static_cast<size_t>(doc.SampleCount()) <= size / kShortFrameLength,
              "samples bounded by the input size");
  fuzz::Check(doc.SampleCapacity() <= doc.SampleCount() + 50, "capacity follows the samples");
  return 0;
}
