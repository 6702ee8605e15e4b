// Writes the seed corpus of the fuzz targets: frames_fuzz, demo_log_fuzz and
// command_line_fuzz, all made by our own builders. Run: make_fuzz_corpus tests/fuzz/corpus
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "acquisition/demo_log_builder.h"
#include "acquisition/frame_builder.h"
#include "recording/recording_format.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Write(const std::filesystem::path& path, const Bytes& bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

ovixlog::EngineSample Sample(int i) {
  ovixlog::EngineSample s;
  s.tach = static_cast<int16_t>(2400 + i);
  s.cht[0] = 350;
  s.egt[0] = 1400;
  s.volt = 14.1f;
  s.baro = 29.92f;
  s.alt = 5500;
  s.fltSeconds = static_cast<int8_t>(i);
  return s;
}

// A frames_fuzz input that feeds raw bytes in chunks (op 4: stamp, length, bytes).
Bytes FeedOps(const Bytes& stream, uint32_t stamp, size_t chunk) {
  Bytes ops;
  for (size_t pos = 0; pos < stream.size(); pos += chunk) {
    const size_t n = std::min(chunk, stream.size() - pos);
    ops.push_back(4);
    for (int shift = 24; shift >= 0; shift -= 8)
      ops.push_back(static_cast<uint8_t>(stamp >> shift));
    ops.push_back(static_cast<uint8_t>(n));
    ops.insert(ops.end(), stream.begin() + static_cast<long>(pos),
               stream.begin() + static_cast<long>(pos + n));
  }
  return ops;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace ovixlog;
  const std::filesystem::path root = argc > 1 ? argv[1] : "corpus";
  const struct {
    const char* name;
    EngineModel model;
    int32_t alt;
  } formats[] = {{"5100", kModel5100, 0},
                 {"5100v39", kModel5100, 1},
                 {"3100", kModel3100, 0},
                 {"7100", kModel7100, 0},
                 {"8100", kModel8100, 0}};
  for (const auto& f : formats) {
    Bytes stream;
    for (int i = 0; i < 4; ++i)
      FrameBuilder::Append(stream, Sample(i), f.model, f.alt);
    FrameBuilder::Append(stream, Sample(9), f.model, f.alt, Checksum::kBad);
    Bytes ops = {0, static_cast<uint8_t>(f.model + 1), 1, static_cast<uint8_t>(f.alt)};
    const Bytes feeds = FeedOps(stream, 0xFFFFFFFFu, 37);
    ops.insert(ops.end(), feeds.begin(), feeds.end());
    Write(root / "frames" / (std::string("stream-") + f.name), ops);
    Write(root / "frames" / (std::string("stamped-") + f.name), FeedOps(stream, 5000, 100));

    DemoLogBuilder log;
    log.Setting(0, "58=" + std::to_string(ModelNumber(f.model) / 1000))
        .Setting(0, f.model == kModel3100 ? "321=1" : "321=0")
        .Setting(0, f.alt != 0 ? "723=1" : "723=0");
    for (size_t pos = 0; pos < stream.size(); pos += 100) {
      log.Stream(static_cast<uint32_t>(pos) * 10,
                 Bytes(stream.begin() + static_cast<long>(pos),
                       stream.begin() + static_cast<long>(std::min(pos + 100, stream.size()))));
    }
    log.Record(3, 1, Bytes(10, 0xFE))
        .Record(2, 0xFFFFFFFFu, {})
        .RecordWithLength(2, 9, 500, stream);
    Write(root / "demo_log" / (std::string("flight-") + f.name), log.bytes());
  }
  const std::vector<std::vector<std::string>> commandLines = {
      {},
      {"5"},
      {"-5"},
      {"/5"},
      {"m", "7100"},
      {"m", "8", "8100"},
      {"m", "a"},
      {"t", "a", "oldest"},
      {"o", "/home/pilot/flight.csv"},
      {"o"},
      {"o", "3", "f"},
      {"-h"},
      {"--version"},
      {"-x"},
      {"/tmp/capture.bin"},
      {"1", "2", "newest", "M", "o", "newest"}};
  int n = 0;
  for (const auto& line : commandLines) {
    // Arguments are separated by NUL bytes.
    Bytes bytes;
    for (size_t i = 0; i < line.size(); ++i) {
      if (i > 0)
        bytes.push_back(0);
      bytes.insert(bytes.end(), line[i].begin(), line[i].end());
    }
    Write(root / "command_line" / ("args-" + std::to_string(n++)), bytes);
  }
  // Limits files: the defaults written out, groups and columns, off, a byte-order mark, CR LF.
  const std::vector<std::string> limits = {
      "CHT.max = 435\nEGT.max = 1650\nOilT.max = 245\nOilP.min = 25\nVolt.min = 12.0\n",
      "CHT3.max=420\nEGT.max=off\n# a comment\n\nVolt.max = 15.5\n",
      "\xEF\xBB\xBF" "CHT.max = 400\r\nOilP.min = 30\r\n",
      "Aspd.max = 0.000000001\nAlt.min = -100000\n",
      "CHT.max = 1e60\n",
      "[limits]\nFuel.min = 5\n"};
  for (size_t i = 0; i < limits.size(); ++i)
    Write(root / "limits_file" / ("limits-" + std::to_string(i)),
          Bytes(limits[i].begin(), limits[i].end()));

  // Recordings of ours, whole, torn and damaged, and logs that are not ours: for sealing, and
  // with raw captures for the reader.
  for (const auto& f : formats) {
    Bytes stream;
    for (int i = 0; i < 6; ++i)
      FrameBuilder::Append(stream, Sample(i), f.model, f.alt);
    Bytes recording;
    const Bytes clock = WallClockPayload(WallClockAnchor{0, 1780000000000, 7200});
    AppendRecord(recording, kWallClockRecord, 0, clock.data(), clock.size());
    for (const std::string& setting : SettingTextsFor(f.model, f.alt))
      AppendRecord(recording, kSettingRecord, 0,
                   reinterpret_cast<const uint8_t*>(setting.data()), setting.size());
    for (size_t pos = 0; pos < stream.size(); pos += 120) {
      const size_t length = std::min<size_t>(120, stream.size() - pos);
      AppendRecord(recording, kStreamRecord, static_cast<uint32_t>(pos), &stream[pos], length);
    }
    const std::string name = f.name;
    Bytes closed = recording;
    const Bytes closing = ClosingPayload(1780000060000);
    AppendRecord(closed, kClosingRecord, 0, closing.data(), closing.size());
    Write(root / "sealing" / ("closed-" + name), closed);
    Write(root / "sealing" / ("torn-payload-" + name), Bytes(recording.begin(), recording.end() - 30));
    Write(root / "sealing" / ("torn-header-" + name), Bytes(recording.begin(), recording.end() - 125));
    Bytes damaged = recording;
    damaged[damaged.size() - 200] ^= 0x40;
    Write(root / "sealing" / ("damaged-" + name), damaged);
    Write(root / "reader" / ("recording-" + name), closed);
    Write(root / "reader" / ("capture-" + name), stream);
  }
  const std::string table = "Flt-Time,Tach,CHT1\r\n00:00:01,2400,350\r\n";
  Write(root / "sealing" / "table.log", Bytes(table.begin(), table.end()));
  Write(root / "reader" / "table.csv", Bytes(table.begin(), table.end()));
  std::printf("corpus written to %s\n", root.c_str());
  return 0;
}
