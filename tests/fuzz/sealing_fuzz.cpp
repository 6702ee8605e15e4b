// Sealing a file of any bytes as an abandoned recording: anything that is not a recording of
// ours is left byte for byte; one of ours ends closed, only ever loses or mends a record torn by
// the end of the file, and sealing it again changes nothing.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "recording/recording_catalog.h"
#include "recording/recording_format.h"

namespace {

std::vector<uint8_t> Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace ovixlog;
  static const std::string folder = [] {
    char name[] = "/tmp/ovixlog-sealing-XXXXXX";
    fuzz::Check(mkdtemp(name) != nullptr, "folder made");
    return std::string(name);
  }();
  const std::string path = folder + "/flight.log";
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  const std::vector<uint8_t> before(data, data + size);
  const std::optional<RecordingInfo> info = ReadRecordingInfo(path);
  std::string error;
  const bool sealed = SealRecording(path, error);
  const std::vector<uint8_t> after = Bytes(path);
  if (!info || !info->ours) {
    fuzz::Check(!sealed, "only our recordings are sealed");
    fuzz::Check(after == before, "anything else is left as it is");
    return 0;
  }
  if (!sealed) {
    fuzz::Check(after == before, "a refused recording is left as it is");
    return 0;
  }
  const std::optional<RecordingInfo> now = ReadRecordingInfo(path);
  fuzz::Check(now && now->closed, "a sealed recording is closed");
  fuzz::Check(after.size() <= before.size() + kClosingRecordSize, "sealing adds one record");
  // What was there up to the last record survives: at most one torn record goes.
  size_t whole = 0;
  while (whole + kRecordHeaderSize <= before.size()) {
    const size_t next = whole + kRecordHeaderSize + ReadBigEndian32(&before[whole + 5]);
    if (next > before.size())
      break;
    whole = next;
  }
  fuzz::Check(after.size() >= std::min(whole, before.size()), "no whole record is lost");
  // Nothing that stays is changed but the length of that torn record, mended to what is there.
  const size_t kept = std::min(after.size() - kClosingRecordSize, before.size());
  for (size_t i = 0; i < kept; ++i) {
    if (i >= whole + 5 && i < whole + kRecordHeaderSize)
      continue;
    fuzz::Check(after[i] == before[i], "no byte but a torn record's length is changed");
  }
  std::string again;
  fuzz::Check(SealRecording(path, again), "a sealed recording seals again");
  fuzz::Check(Bytes(path) == after, "sealing twice changes nothing");
  return 0;
}
