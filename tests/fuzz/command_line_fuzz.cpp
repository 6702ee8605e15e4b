// Command-line parsing and applying over any argument list: the resulting settings are in
// range, or start-up fails cleanly and leaves them as they were.
#include <string>
#include <vector>

#include "framework/startup_options.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace ovixlog;
  // Arguments are separated by NUL bytes.
  std::vector<std::string> args(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      args.emplace_back();
    } else {
      args.back().push_back(static_cast<char>(data[i]));
    }
  }
  StartupOptions options;
  ParseCommandLine(args, options);
  StartupSettings settings;
  settings.autoSavePath = "unchanged";
  const StartupSettings before = settings;
  if (ApplyStartupOptions(options, settings)) {
    fuzz::Check(settings.commPort >= 1 && settings.commPort <= 8, "port in range");
    fuzz::Check(settings.model >= 0 && settings.model <= 3, "model in range");
    fuzz::Check(settings.keepAllSamples == 0 || settings.keepAllSamples == 1, "keep-all flag");
    fuzz::Check(settings.showSystemTime == 0 || settings.showSystemTime == 1, "time flag");
    fuzz::Check(settings.oldestFirst == 0 || settings.oldestFirst == 1, "order flag");
    fuzz::Check(settings.autoSaveEnabled == 0 || !settings.autoSavePath.empty(),
                "an output file has a name");
  } else {
    fuzz::Check(settings == before, "a failed start-up leaves the settings alone");
  }
  return 0;
}
