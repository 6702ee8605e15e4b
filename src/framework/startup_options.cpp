#include "framework/startup_options.h"

#include <cctype>
#include <string_view>
#include <utility>

#include "acquisition/engine_sample.h"

namespace ovixlog {

StartupOptions::StartupOptions()
    : requestedKeepAll(TheStartupSettings().keepAllSamples),
      requestedShowTime(TheStartupSettings().showSystemTime),
      requestedOrder(TheStartupSettings().oldestFirst),
      requestedV39(TheStartupSettings().altFrameFormat) {}

void StartupOptions::ParseParam(const char* param, bool flag, bool last) {
  const std::string_view text(param);
  // The long options come first: "--port" takes the next argument whatever it looks like, so a
  // device called "5" or "m" is still a device.
  if (awaitingDevice != 0) {
    awaitingDevice = 0;
    requestedDevice = text;
    return;
  }
  if (flag && text == "-port") {
    awaitingDevice = 1;
    deviceRequested = 1;
    requestedDevice.clear();
    return;
  }
  if (flag && text.starts_with("-port=")) {
    deviceRequested = 1;
    requestedDevice = text.substr(6);
    return;
  }
  if (flag && text == "-v39") {
    requestedV39 = 1;
    return;
  }
  if (awaitingRecordDir != 0) {
    recordDir = text;
    awaitingRecordDir = 0;
    return;
  }
  if (flag && text == "-record-dir") {
    awaitingRecordDir = 1;
    return;
  }
  if (flag && text == "-no-record") {
    requestedNoRecord = 1;
    return;
  }
  if (text.size() == 1 && text[0] >= '1' && text[0] <= '8') {
    requestedPort = text[0] - '0';
    return;
  }
  if (text == "m") {
    awaitingModel = 1;
    return;
  }
  if (awaitingModel != 0 && requestedModel == -1) {
    // Only the first character counts ("7100" and "7x" both choose the 7100; a bare "7" was
    // taken as a port above). Whatever follows "m" is used up even when it names no model.
    switch (text.empty() ? '\0' : text[0]) {
      case '3':
        requestedModel = kModel3100;
        break;
      case '5':
        requestedModel = kModel5100;
        break;
      case '7':
        requestedModel = kModel7100;
        break;
      case '8':
        requestedModel = kModel8100;
        break;
      default:
        awaitingModel = 0;
        break;
    }
    return;
  }
  if (text == "a") {
    requestedKeepAll = 1;
  } else if (text == "t") {
    requestedShowTime = 1;
  } else if (text == "o") {
    outputRequested = 1;
  } else if (outputRequested != 0 && outputPath.empty()) {
    outputPath = text;
  } else if (text == "newest") {
    requestedOrder = 0;
  } else if (text == "oldest") {
    requestedOrder = 1;
  } else {
    CommandLineInfo::ParseParam(param, flag, last);
  }
}

bool ApplyStartupOptions(const StartupOptions& options, StartupSettings& settings) {
  StartupSettings result = settings;
  if (options.requestedPort >= 1 && options.requestedPort <= 8) {
    result.commPort = options.requestedPort;
  } else if (options.requestedPort != -1) {
    return false;
  }
  if (options.requestedModel != -1) {
    if (options.requestedModel < kModel5100 || options.requestedModel > kModel8100)
      return false;
    result.model = options.requestedModel;
  }
  result.keepAllSamples = options.requestedKeepAll;
  result.showSystemTime = options.requestedShowTime;
  result.oldestFirst = options.requestedOrder;
  result.altFrameFormat = options.requestedV39;
  if (options.deviceRequested != 0) {
    if (options.requestedDevice.empty())
      return false;
    result.portDevice = options.requestedDevice;
  }
  if (options.outputRequested != 0) {
    if (options.outputPath.empty())
      return false;
    result.autoSaveEnabled = 1;
    result.autoSavePath = options.outputPath;
  }
  if (options.awaitingRecordDir != 0)
    return false;
  if (!options.recordDir.empty())
    result.recordingFolder = options.recordDir;
  if (options.requestedNoRecord != 0)
    result.recordingEnabled = 0;
  settings = std::move(result);
  return true;
}

ImportKind ImportKindFor(const std::string& path) {
  static constexpr std::string_view kDemoSuffix = ".log";
  if (path.size() < kDemoSuffix.size())
    return ImportKind::kSerialFile;
  const std::string_view tail = std::string_view(path).substr(path.size() - kDemoSuffix.size());
  for (size_t i = 0; i < kDemoSuffix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(tail[i])) != kDemoSuffix[i]) {
      return ImportKind::kSerialFile;
    }
  }
  return ImportKind::kDemoLog;
}

}  // namespace ovixlog
