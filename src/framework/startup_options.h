// The program's own command-line options (serial port, model, keep-all, system time, order,
// output file), read into requests that ApplyStartupOptions turns into the start-up settings.
#pragma once

#include <cstdint>
#include <string>

#include "framework/command_line_info.h"
#include "framework/startup_settings.h"

namespace ovixlog {

class StartupOptions : public CommandLineInfo {
 public:
  StartupOptions();

  // Tries the program's options in a fixed order; the first that applies takes the parameter.
  // Every comparison is of the whole text, exact and case-sensitive; a flag mark makes no
  // difference. What no option takes goes to CommandLineInfo::ParseParam.
  void ParseParam(const char* param, bool flag, bool last) override;

  int32_t requestedPort = -1;   // 1..8, or -1 when not given
  int32_t awaitingModel = 0;    // 1 after "m", until a model parameter is used up
  int32_t requestedModel = -1;  // model code, or -1 when not given
  // The switches start as the current settings (those kept from the last run), so leaving
  // one out keeps it; giving it turns it on for this run.
  int32_t requestedKeepAll;
  int32_t requestedShowTime;
  int32_t requestedOrder;       // 1: oldest first; starts as the current setting
  int32_t requestedV39;         // 1 after "--v39"
  int32_t awaitingDevice = 0;   // 1 after "--port", until its device is given
  int32_t deviceRequested = 0;  // 1 after "--port"
  std::string requestedDevice;  // the device after "--port" (or in "--port=DEVICE")
  int32_t outputRequested = 0;  // 1 after "o"
  std::string outputPath;       // the parameter after "o"
  int32_t requestedNoRecord = 0;  // 1 after "--no-record"
  int32_t awaitingRecordDir = 0;  // 1 after "--record-dir", until its folder is taken
  std::string recordDir;          // the parameter after "--record-dir"
};

// Copies the requests into `settings`. Returns false, leaving `settings` untouched, when a port
// or model is out of range, or "o", "--port" or "--record-dir" was given without its value.
bool ApplyStartupOptions(const StartupOptions& options, StartupSettings& settings);

// How a file named on the command line is imported.
enum class ImportKind { kDemoLog, kSerialFile };

// A name ending in ".log", in any case, is a demo recording; anything else a serial capture.
ImportKind ImportKindFor(const std::string& path);

}  // namespace ovixlog
