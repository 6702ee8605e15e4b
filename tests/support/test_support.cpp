#include "support/test_support.h"

#include <gtest/gtest.h>

#include "acquisition/frame_builder.h"
#include "recording/recording_format.h"

namespace ovixlog::test {

void CapturingSink::AddSample(std::unique_ptr<EngineSample> sample, SampleNotifier* notifier) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    samples_.push_back(*sample);
  }
  if (notifier != nullptr)
    notifier->SampleAdded();
}

std::vector<EngineSample> CapturingSink::Samples() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return samples_;
}

size_t CapturingSink::Count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return samples_.size();
}

EngineSample RandomSample(std::mt19937& rng, EngineModel model) {
  auto u16 = [&] { return static_cast<int16_t>(static_cast<uint16_t>(rng() & 0xFFFF)); };
  auto u8 = [&] { return static_cast<uint8_t>(rng() & 0xFF); };
  auto scaled = [&](float k) { return static_cast<float>(rng() & 0xFFFF) * k; };
  EngineSample s;
  s.tach = u16();
  for (auto& v : s.cht)
    v = u16();
  for (auto& v : s.egt)
    v = u16();
  for (auto& v : s.aux)
    v = u16();
  s.aspd = u16();
  s.alt = static_cast<int32_t>(u16()) * 10;
  s.volt = scaled(0.1f);
  s.flow = scaled(0.1f);
  s.unit = static_cast<int8_t>(u8());
  s.carb = static_cast<int8_t>(u8());
  s.vsi = static_cast<float>(static_cast<int8_t>(u8())) * 100.0f;
  s.oat = model == kModel3100 ? u8() : static_cast<int16_t>(u8() - 50);
  s.oilT = u16();
  s.oilP = u8();
  s.cool = u16();
  s.hours = scaled(0.1f);
  s.fuel = scaled(0.1f);
  s.fltHours = static_cast<int8_t>(u8());
  s.fltMinutes = static_cast<int8_t>(u8());
  s.fltSeconds = static_cast<int8_t>(u8());
  s.baro = scaled(0.01f);
  return FrameBuilder::Expected(s, model);
}

void ExpectSameEngineValues(const std::vector<EngineSample>& got,
                            const std::vector<EngineSample>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_TRUE(SameEngineValues(got[i], want[i])) << "sample " << i;
  }
}

std::vector<uint8_t> Capture(int count, EngineModel model, int32_t alt) {
  std::vector<uint8_t> bytes;
  EngineSample s = ExampleSample();
  for (int i = 0; i < count; ++i) {
    s.tach = static_cast<int16_t>(1000 + i);
    FrameBuilder::Append(bytes, s, model, alt);
  }
  return bytes;
}

std::vector<uint8_t> UnclosedRecording(const std::vector<std::vector<uint8_t>>& frames,
                                       EngineModel model, int32_t alt, int64_t startMs,
                                       int32_t utcOffsetSeconds) {
  std::vector<uint8_t> out;
  const std::vector<uint8_t> clock = WallClockPayload({0, startMs, utcOffsetSeconds});
  AppendRecord(out, kWallClockRecord, 0, clock.data(), clock.size());
  for (const std::string& setting : SettingTextsFor(model, alt)) {
    AppendRecord(out, kSettingRecord, 0, reinterpret_cast<const uint8_t*>(setting.data()),
                 setting.size());
  }
  for (size_t i = 0; i < frames.size(); ++i)
    AppendRecord(out, kStreamRecord, static_cast<uint32_t>(1000 * i), frames[i].data(),
                 frames[i].size());
  return out;
}

EngineSample ExampleSample() {
  EngineSample s;
  s.fltHours = 1;
  s.fltMinutes = 2;
  s.fltSeconds = 3;
  s.tach = 2450;
  s.cht[0] = 350;
  s.cht[1] = 360;
  s.egt[0] = 1300;
  s.egt[1] = 1310;
  s.oilT = 190;
  s.oilP = 65;
  s.oat = 12;
  s.volt = 141 * 0.1f;
  s.unit = 0;
  s.flow = 85 * 0.1f;
  s.fuel = 224 * 0.1f;
  s.hours = 1234 * 0.1f;
  s.cool = 180;
  s.aux[0] = 1;
  s.aux[1] = 2;
  s.aspd = 120;
  s.alt = 5500;
  s.vsi = -3 * 100.0f;
  s.baro = 2992 * 0.01f;
  return s;
}

}  // namespace ovixlog::test

namespace ovixlog {

void PrintTo(const EngineSample& s, std::ostream* os) {
  auto list = [os](const char* name, const int16_t* values, int count) {
    *os << name << " {";
    for (int i = 0; i < count; ++i)
      *os << (i == 0 ? "" : ", ") << values[i];
    *os << "} ";
  };
  *os << "{tach " << s.tach << " ";
  list("cht", s.cht, 6);
  list("egt", s.egt, 9);
  *os << "aspd " << s.aspd << " alt " << s.alt << " volt " << s.volt << " flow " << s.flow
      << " unit " << int{s.unit} << " carb " << int{s.carb} << " vsi " << s.vsi << " oat " << s.oat
      << " oilT " << s.oilT << " oilP " << int{s.oilP} << " ";
  list("aux", s.aux, 6);
  *os << "cool " << s.cool << " hours " << s.hours << " fuel " << s.fuel << " flight "
      << int{s.fltHours} << ":" << int{s.fltMinutes} << ":" << int{s.fltSeconds} << " baro "
      << s.baro << " tick " << s.tickMs << " time " << s.localTime.year << "-" << s.localTime.month
      << "-" << s.localTime.day << " " << s.localTime.hour << ":" << s.localTime.minute << ":"
      << s.localTime.second << "." << s.localTime.milliseconds << "}";
}

}  // namespace ovixlog
