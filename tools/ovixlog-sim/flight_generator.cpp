#include "ovixlog-sim/flight_generator.h"

#include <cmath>
#include <iterator>

#include "acquisition/frame_builder.h"

namespace ovixlog::sim {
namespace {

constexpr double kFrameSeconds = 1.0 / FlightGenerator::kFramesPerSecond;

// One stretch of the flight. The engine values move towards the targets with a lag; the height
// above the field moves smoothly from the previous stretch's end height to `height`.
struct Phase {
  int seconds;
  double rpm;
  double ias;     // knots
  double height;  // feet above the field at the end of the stretch
  double flow;    // gallons an hour
  double egt;     // degrees F; below zero: cool towards the outside air
  double cht;
};

constexpr Phase kPhases[] = {
    {20, 0, 0, 0, 0.0, -1, -1},               // engine off
    {90, 1000, 0, 0, 2.8, 1050, 220},         // start and warm-up
    {150, 1100, 8, 0, 3.0, 1100, 260},        // taxi out
    {60, 1800, 0, 0, 5.0, 1250, 320},         // run-up
    {45, 2700, 75, 250, 14.5, 1320, 380},     // take-off
    {480, 2600, 82, 5650, 12.5, 1340, 395},   // climb
    {1800, 2400, 122, 5650, 8.6, 1450, 360},  // cruise
    {480, 2250, 135, 1200, 6.0, 1200, 320},   // descent
    {120, 1500, 65, 0, 4.0, 1100, 300},       // approach and landing
    {120, 1000, 8, 0, 2.8, 1050, 280},        // taxi in
    {30, 0, 0, 0, 0.0, -1, -1},               // shut-down
};

// The share of the way to the target covered in one frame, for a lag of `seconds`.
double Lag(double seconds) {
  return 1.0 - std::exp(-kFrameSeconds / seconds);
}

int16_t Round16(double value) {
  return static_cast<int16_t>(std::lround(value));
}

}  // namespace

int FlightGenerator::FlightSeconds() {
  int total = 0;
  for (const Phase& p : kPhases)
    total += p.seconds;
  return total;
}

FlightGenerator::FlightGenerator(EngineModel model, uint32_t seed)
    : model_(model),
      cylinders_(model == kModel3100   ? 2
                 : model == kModel5100 ? 4
                                       : 6),
      rng_(seed) {
  for (int i = 0; i < 6; ++i) {
    chtOffset_[i] = static_cast<float>(Uniform(-12.0, 12.0));
    egtOffset_[i] = static_cast<float>(Uniform(-35.0, 35.0));
  }
  fieldElevation_ = std::round(Uniform(0.0, 3000.0) / 10.0) * 10.0;
  groundOat_ = Uniform(5.0, 25.0);
  baro_ = Uniform(29.70, 30.20);
  engineHours_ = Uniform(100.0, 2000.0);
  StartFlight();
}

// Uses only the engine's raw output, whose sequence the standard fixes, so a seed gives the
// same flight with every standard library.
double FlightGenerator::Uniform(double low, double high) {
  const double unit = static_cast<double>(rng_()) / 4294967296.0;
  return low + (high - low) * unit;
}

void FlightGenerator::StartFlight() {
  frameInFlight_ = 0;
  runningFrames_ = 0;
  const double ambientF = groundOat_ * 9.0 / 5.0 + 32.0;
  rpm_ = ias_ = vsi_ = flow_ = oilPressure_ = 0.0;
  altitude_ = fieldElevation_;
  fuel_ = std::round(Uniform(38.0, 48.0));
  // Temperatures and volts of a later flight carry on from the previous shut-down.
  if (frames_ == 0) {
    cht_ = egt_ = oilTemp_ = ambientF;
    volts_ = 12.5;
  }
}

EngineSample FlightGenerator::Next() {
  Advance();
  ++frames_;
  return FrameBuilder::Expected(Compose(), model_);
}

void FlightGenerator::Advance() {
  const int flightFrames = FlightSeconds() * kFramesPerSecond;
  if (frameInFlight_ >= flightFrames) {
    if (flightLimit_ > 0 && flightsDone_ + 1 >= flightLimit_) {
      // The last flight is over: its shut-down goes on.
      frameInFlight_ = flightFrames - 1;
    } else {
      ++flightsDone_;
      StartFlight();
    }
  }
  int start = 0;
  size_t index = 0;
  double heightBefore = 0.0;
  while (index + 1 < std::size(kPhases) &&
         frameInFlight_ >= (start + kPhases[index].seconds) * kFramesPerSecond) {
    start += kPhases[index].seconds;
    heightBefore = kPhases[index].height;
    ++index;
  }
  const Phase& phase = kPhases[index];
  ++frameInFlight_;

  const double ambientF = groundOat_ * 9.0 / 5.0 + 32.0;
  const bool running = phase.rpm > 0.0;
  rpm_ += (phase.rpm - rpm_) * Lag(1.5);
  if (!running && rpm_ < 5.0)
    rpm_ = 0.0;
  ias_ += (phase.ias - ias_) * Lag(6.0);
  flow_ += (phase.flow - flow_) * Lag(2.0);
  egt_ += ((phase.egt < 0 ? ambientF : phase.egt) - egt_) * Lag(8.0);
  cht_ += ((phase.cht < 0 ? ambientF : phase.cht) - cht_) * Lag(60.0);
  const double oilTarget = running ? 180.0 + (rpm_ - 1000.0) / 100.0 : ambientF;
  oilTemp_ += (oilTarget - oilTemp_) * Lag(180.0);
  const double pressureTarget = rpm_ > 300.0 ? 20.0 + rpm_ * 0.019 : 0.0;
  oilPressure_ += (pressureTarget - oilPressure_) * Lag(1.0);
  const double voltsTarget = rpm_ > 800.0 ? 14.1 : (rpm_ > 0.0 ? 12.0 : 12.5);
  volts_ += (voltsTarget - volts_) * Lag(1.0);

  // Height follows a smooth step across the stretch, and the climb rate is its slope.
  const double u = (frameInFlight_ - start * kFramesPerSecond) /
                   static_cast<double>(phase.seconds * kFramesPerSecond);
  const double smooth = u * u * (3.0 - 2.0 * u);
  altitude_ = fieldElevation_ + heightBefore + (phase.height - heightBefore) * smooth;
  vsi_ = (phase.height - heightBefore) * 6.0 * u * (1.0 - u) / phase.seconds * 60.0;

  fuel_ -= flow_ / 3600.0 * kFrameSeconds;
  if (fuel_ < 0.0)
    fuel_ = 0.0;
  if (running) {
    engineHours_ += kFrameSeconds / 3600.0;
    ++runningFrames_;
  }
}

EngineSample FlightGenerator::Compose() {
  const double ambientF = groundOat_ * 9.0 / 5.0 + 32.0;
  EngineSample s;
  s.tach = Round16(rpm_ > 0.0 ? rpm_ + Uniform(-8.0, 8.0) : 0.0);
  // Cylinders spread more the hotter they run.
  const double chtSpread = (cht_ - ambientF) / 300.0;
  const double egtSpread = (egt_ - ambientF) / 1300.0;
  for (int i = 0; i < cylinders_; ++i) {
    s.cht[i] = Round16(cht_ + chtOffset_[i] * chtSpread + Uniform(-1.0, 1.0));
    s.egt[i] = Round16(egt_ + egtOffset_[i] * egtSpread + Uniform(-3.0, 3.0));
  }
  s.oilT = Round16(oilTemp_ + Uniform(-0.5, 0.5));
  s.oilP = static_cast<uint8_t>(
      std::lround(oilPressure_ + (oilPressure_ > 0.0 ? Uniform(-0.5, 0.5) : 0.0)));
  s.volt = static_cast<float>(volts_);
  s.flow = static_cast<float>(flow_);
  s.fuel = static_cast<float>(fuel_);
  s.hours = static_cast<float>(engineHours_);
  s.aspd = Round16(ias_ < 1.0 ? 0.0 : ias_ + Uniform(-1.0, 1.0));
  s.alt = static_cast<int32_t>(std::lround(altitude_ / 10.0)) * 10;
  s.vsi = static_cast<float>(std::round((vsi_ + Uniform(-40.0, 40.0)) / 100.0) * 100.0);
  const double oat = groundOat_ - 0.002 * (altitude_ - fieldElevation_);
  // The short layout carries the outside air as an unsigned byte, in degrees F.
  s.oat = Round16(model_ == kModel3100 ? oat * 9.0 / 5.0 + 32.0 : oat);
  s.carb = static_cast<int8_t>(std::lround(oat + 3.0 + rpm_ / 2700.0 * 6.0));
  s.baro = static_cast<float>(baro_);
  const int seconds = runningFrames_ / kFramesPerSecond;
  s.fltHours = static_cast<int8_t>(seconds / 3600 % 100);
  s.fltMinutes = static_cast<int8_t>(seconds / 60 % 60);
  s.fltSeconds = static_cast<int8_t>(seconds % 60);
  return s;
}

}  // namespace ovixlog::sim
