#include "reading/import_report.h"

#include <cstring>
#include <optional>

#include "recording/recording_catalog.h"

namespace ovixlog {
namespace {

// The name a report uses: the file name without its folder.
std::string ShownName(const std::string& path) {
  if (path == "-")
    return "standard input";
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Counted(uint64_t count, const char* one, const char* many) {
  return WithThousands(count) + " " + (count == 1 ? one : many);
}

std::string WithReason(const std::string& reason) {
  return reason.empty() ? std::string() : " (" + reason + ")";
}

}  // namespace

bool NamedLikeARecording(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  static constexpr const char* kPattern = "dddd-dd-dd_dd-dd-dd_";
  const size_t length = std::strlen(kPattern);
  if (name.size() < length + 4 || name.compare(name.size() - 4, 4, ".log") != 0)
    return false;
  for (size_t i = 0; i < length; ++i) {
    const bool digit = name[i] >= '0' && name[i] <= '9';
    if (kPattern[i] == 'd' ? !digit : name[i] != kPattern[i])
      return false;
  }
  return true;
}

std::string WithThousands(uint64_t value) {
  std::string digits = std::to_string(value);
  for (size_t at = digits.size(); at > 3; at -= 3)
    digits.insert(at - 3, 1, ',');
  return digits;
}

std::string ImportReportText(const std::string& path, uint64_t frames, uint64_t badChecksums,
                             uint64_t skipped, bool cutShort) {
  std::string details;
  const auto add = [&details](const std::string& part) {
    details += (details.empty() ? " (" : ", ") + part;
  };
  // Without a single frame, counts of what did not fit only say the same thing again.
  if (badChecksums > 0 && frames > 0)
    add(WithThousands(badChecksums) + " with a bad checksum");
  if (skipped > 0 && frames > 0)
    add(Counted(skipped, "byte", "bytes") + " skipped");
  if (cutShort)
    add("cut short inside a record");
  if (!details.empty())
    details += ")";
  const std::string name = ShownName(path);
  if (frames == 0)
    return "No frames found in " + name + details + " \u2014 is the monitor model right?";
  return "Imported " + Counted(frames, "frame", "frames") + " from " + name + details;
}

std::string ImportReportText(const std::string& path, const LogReadResult& result) {
  return ImportReportText(path, result.frames, result.badChecksums, result.bytesSkipped,
                          result.tornTail);
}

ImportFailure ImportFailureFor(const std::string& path, bool demoLog,
                               const LogReadResult& result) {
  switch (result.error) {
    case LogReadError::kNone:
      return {};
    case LogReadError::kOpen:
      return demoLog ? ImportFailure{"Unable to Open Demo Log", "Unable to open demo log: " +
                                                                    path +
                                                                    WithReason(result.reason)}
                     : ImportFailure{"Unable to Open File",
                                     "Unable to open file: " + path + WithReason(result.reason)};
    case LogReadError::kEmpty:
      return demoLog ? ImportFailure{"Empty Demo Log", "Empty demo log: " + path}
                     : ImportFailure{"Empty File", "Empty file: " + path};
    case LogReadError::kRead: {
      const std::string of =
          result.totalBytes == 0 ? std::string() : " of " + std::to_string(result.totalBytes);
      return {"File Read Failure", "Read failure: read " + std::to_string(result.bytesRead) + of +
                                       " bytes." + WithReason(result.reason)};
    }
    case LogReadError::kUnknownFormat:
      return {"Unknown File", result.ErrorText(path)};
  }
  return {};
}

std::string ImportedFileTitle(const std::string& path, bool demoLog) {
  if (demoLog && NamedLikeARecording(path)) {
    if (const std::optional<RecordingInfo> info = ReadRecordingInfo(path))
      return "Recording " + StartText(*info);
  }
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace ovixlog
