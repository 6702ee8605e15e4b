#include "ovixlog-sim/flight_generator.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "acquisition/frame_builder.h"

namespace ovixlog::sim {
namespace {

constexpr double kFrameSeconds = 1.0 / FlightGenerator::kFramesPerSecond;

using Phase = FlightGenerator::Phase;
using Special = FlightGenerator::Special;

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

// The test flights, as changes to the ordinary one.
std::vector<Phase> PhasesFor(Scenario scenario) {
  std::vector<Phase> phases(std::begin(kPhases), std::end(kPhases));
  switch (scenario) {
    case Scenario::kNone:
      break;
    case Scenario::kHotCylinder:
      // The climb in three parts; one cylinder runs hot in the middle one.
      phases[5] = {120, 2600, 82, 1500, 12.5, 1340, 395};
      phases.insert(phases.begin() + 6,
                    {{120, 2600, 82, 3000, 12.5, 1340, 395, Special::kHotCylinder},
                     {240, 2600, 82, 5650, 12.5, 1340, 395}});
      break;
    case Scenario::kShockCooling:
      // Power off at the top of the descent.
      phases[7] = {480, 1100, 140, 1200, 2.5, 1000, 230, Special::kShockCool};
      break;
    case Scenario::kLeanTest: {
      // A shorter cruise holding the lean test: lean from 9.5 to 7.0, hold, and back.
      const std::vector<Phase> cruise = {
          {120, 2400, 122, 5650, 9.5, 1380, 360, Special::kMixture, 9.5},
          {240, 2400, 122, 5650, 7.0, 1380, 360, Special::kMixture, 9.5},
          {30, 2400, 122, 5650, 7.0, 1380, 360, Special::kMixture, 7.0},
          {240, 2400, 122, 5650, 9.5, 1380, 360, Special::kMixture, 7.0},
          {120, 2400, 122, 5650, 9.5, 1380, 360, Special::kMixture, 9.5},
      };
      phases[5].seconds = 300;
      phases.erase(phases.begin() + 6);
      phases.insert(phases.begin() + 6, cruise.begin(), cruise.end());
      break;
    }
    case Scenario::kTwoFlights: {
      // Parked for ten minutes between the two; the shut-down and the start add 50 s.
      phases.push_back({550, 0, 0, 0, 0.0, -1, -1});
      phases.insert(phases.end(), std::begin(kPhases), std::end(kPhases));
      break;
    }
    case Scenario::kAlternator:
      phases[6].special = Special::kNoCharge;
      break;
    case Scenario::kBadProbe:
      phases[6].special = Special::kOpenProbe;
      break;
    case Scenario::kExhaustValve:
      phases[6].special = Special::kValve;
      break;
    case Scenario::kDetonation:
      phases[6].special = Special::kRunaway;
      break;
    case Scenario::kPreignition:
      phases[6].special = Special::kPreignite;
      break;
    case Scenario::kStuckValve:
      phases[6].special = Special::kStickyValve;
      break;
    case Scenario::kBadPlug:
      phases[3].special = Special::kFouledPlug;
      break;
    case Scenario::kGroundRun:
      phases = {
          {20, 0, 0, 0, 0.0, -1, -1},       {90, 1000, 0, 0, 2.8, 1050, 220},
          {60, 1800, 0, 0, 5.0, 1250, 320}, {60, 1000, 0, 0, 2.8, 1050, 300},
          {30, 0, 0, 0, 0.0, -1, -1},
      };
      break;
  }
  if (HasMagCheck(scenario) && phases[3].special == Special::kNone)
    phases[3].special = Special::kMagCheck;
  return phases;
}

// The mag check's magnetos, by the seconds into the run-up, and how far each drops the rpm.
struct MagTurn {
  double from;
  double to;
  double rpmDrop;
};
constexpr MagTurn kMagTurns[] = {{25.0, 32.0, 100.0}, {40.0, 47.0, 115.0}};
// On one magneto every EGT rises 80; a fouled plug's cylinder cools 50 instead.
constexpr double kMagEgtRise = 80.0;
constexpr double kFouledEgtFall = -50.0;

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

int FlightGenerator::ScenarioSeconds() const {
  int total = 0;
  for (const Phase& p : phases_)
    total += p.seconds;
  return total;
}

FlightGenerator::FlightGenerator(EngineModel model, uint32_t seed, Scenario scenario)
    : model_(model),
      cylinders_(model == kModel3100   ? 2
                 : model == kModel5100 ? 4
                                       : 6),
      phases_(PhasesFor(scenario)),
      leanTruth_(LeanTestTruth(model)),
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
  if (frameInFlight_ >= ScenarioSeconds() * kFramesPerSecond)
    StartFlight();
  int start = 0;
  size_t index = 0;
  double heightBefore = 0.0;
  while (index + 1 < phases_.size() &&
         frameInFlight_ >= (start + phases_[index].seconds) * kFramesPerSecond) {
    start += phases_[index].seconds;
    heightBefore = phases_[index].height;
    ++index;
  }
  const Phase& phase = phases_[index];
  ++frameInFlight_;

  const double ambientF = groundOat_ * 9.0 / 5.0 + 32.0;
  const bool running = phase.rpm > 0.0;
  const bool magCheck = phase.special == Special::kMagCheck || phase.special == Special::kFouledPlug;
  magOn_ = 0;
  if (magCheck) {
    const double seconds = (frameInFlight_ - start * kFramesPerSecond) /
                           static_cast<double>(kFramesPerSecond);
    for (size_t m = 0; m < std::size(kMagTurns); ++m) {
      if (seconds >= kMagTurns[m].from && seconds < kMagTurns[m].to)
        magOn_ = static_cast<int>(m) + 1;
    }
  }
  // On one magneto the rpm follows within a second; the EGTs take a couple.
  const double rpmTarget = phase.rpm - (magOn_ > 0 ? kMagTurns[magOn_ - 1].rpmDrop : 0.0);
  rpm_ += (rpmTarget - rpm_) * Lag(magCheck ? 0.5 : 1.5);
  magEgt_ += ((magOn_ > 0 ? 1.0 : 0.0) - magEgt_) * Lag(2.0);
  if (magOn_ > 0)
    magLast_ = magOn_;
  if (!magCheck)
    magEgt_ = 0.0;
  if (!running && rpm_ < 5.0)
    rpm_ = 0.0;
  ias_ += (phase.ias - ias_) * Lag(6.0);
  flow_ += (phase.flow - flow_) * Lag(2.0);
  egt_ += ((phase.egt < 0 ? ambientF : phase.egt) - egt_) * Lag(8.0);
  if (phase.special == Special::kShockCool)
    cht_ = std::max(phase.cht, cht_ - 80.0 / 60.0 * kFrameSeconds);
  else
    cht_ += ((phase.cht < 0 ? ambientF : phase.cht) - cht_) * Lag(60.0);
  const double oilTarget = running ? 180.0 + (rpm_ - 1000.0) / 100.0 : ambientF;
  oilTemp_ += (oilTarget - oilTemp_) * Lag(180.0);
  const double pressureTarget = rpm_ > 300.0 ? 20.0 + rpm_ * 0.019 : 0.0;
  oilPressure_ += (pressureTarget - oilPressure_) * Lag(1.0);
  double voltsTarget = rpm_ > 800.0 ? 14.1 : (rpm_ > 0.0 ? 12.0 : 12.5);
  const double progress = (frameInFlight_ - start * kFramesPerSecond) /
                          static_cast<double>(phase.seconds * kFramesPerSecond);
  if (phase.special == Special::kNoCharge)
    voltsTarget = 12.6 - progress;
  volts_ += (voltsTarget - volts_) * Lag(1.0);

  // Height follows a smooth step across the stretch, and the climb rate is its slope.
  const double u = (frameInFlight_ - start * kFramesPerSecond) /
                   static_cast<double>(phase.seconds * kFramesPerSecond);
  const double smooth = u * u * (3.0 - 2.0 * u);
  special_ = phase.special;
  phaseProgress_ = u;
  if (phase.special == Special::kMixture) {
    // Straight from the start flow to the end flow, in the tenths a frame carries.
    mixtureTenths_ =
        static_cast<int>(std::lround((phase.flowStart + (phase.flow - phase.flowStart) * u) * 10));
    flow_ = mixtureTenths_ / 10.0;
  }
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

void FlightGenerator::SetCylinderOffset(int cylinder, double egt, double cht) {
  offsetCylinder_ = cylinder >= 1 && cylinder <= cylinders_ ? cylinder - 1 : -1;
  extraEgt_ = egt;
  extraCht_ = cht;
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
  if (offsetCylinder_ >= 0 && rpm_ > 0.0) {
    s.cht[offsetCylinder_] = Round16(s.cht[offsetCylinder_] + extraCht_);
    s.egt[offsetCylinder_] = Round16(s.egt[offsetCylinder_] + extraEgt_);
  }
  if (special_ == Special::kHotCylinder) {
    const int hot = std::min(2, cylinders_ - 1);
    s.cht[hot] = Round16(s.cht[hot] + 80.0 * std::sin(3.14159265358979 * phaseProgress_));
  }
  if (special_ == Special::kMixture) {
    // Every EGT column the model shows, on a parabola around its cylinder's peak.
    const double flow = mixtureTenths_ / 10.0;
    const LeanTruth& truth = leanTruth_;
    double sum = 0.0;
    for (size_t c = 0; c < truth.peakFlow.size(); ++c) {
      const double off = flow - truth.peakFlow[c];
      const double egt = truth.peakEgt[c] - kLeanCurvature * off * off;
      s.egt[c] = Round16(egt);
      sum += egt;
    }
    egt_ = sum / static_cast<double>(truth.peakFlow.size());
    // The 8100 sends its seventh to ninth EGT in the slots of CHT 4 to 6.
    if (model_ == kModel8100) {
      for (int c = 6; c < 9; ++c)
        s.cht[c - 3] = s.egt[c];
    }
    s.flow = static_cast<float>(mixtureTenths_) * 0.1f;
  }
  if (special_ == Special::kValve) {
    const double seconds = phaseProgress_ * phases_[6].seconds - 120.0;
    const int valve = ValveCylinder(model_) - 1;
    if (seconds > 0.0)
      s.egt[valve] = Round16(s.egt[valve] + 30.0 * std::sin(2.0 * 3.14159265358979 * seconds / 55.0));
  }
  if ((special_ == Special::kRunaway || special_ == Special::kPreignite) && cylinders_ > 1) {
    // 40 degrees a minute for 150 s, then back at 20 a minute.
    const double seconds = phaseProgress_ * phases_[6].seconds - 900.0;
    const double rise = seconds < 0.0     ? 0.0
                        : seconds < 150.0 ? seconds * 40.0 / 60.0
                                          : std::max(0.0, 100.0 - (seconds - 150.0) * 20.0 / 60.0);
    s.cht[1] = Round16(s.cht[1] + rise);
    if (special_ == Special::kPreignite)
      s.egt[1] = Round16(s.egt[1] - rise);
  }
  if (special_ == Special::kStickyValve) {
    const double seconds = phaseProgress_ * phases_[6].seconds - 600.0;
    const double fall = seconds < 0.0    ? 0.0
                        : seconds < 2.0  ? seconds * 110.0
                        : seconds < 6.0  ? 220.0
                        : seconds < 12.0 ? 220.0 - (seconds - 6.0) * 220.0 / 6.0
                                         : 0.0;
    const int valve = ValveCylinder(model_) - 1;
    s.egt[valve] = Round16(s.egt[valve] - fall);
  }
  if (special_ == Special::kMagCheck || special_ == Special::kFouledPlug) {
    // The 8100 sends its seventh to ninth EGT in the slots of CHT 4 to 6.
    // The fouled plug is the one the second magneto fires.
    const int plug = special_ == Special::kFouledPlug && magLast_ == 2 ? PlugCylinder(model_) - 1 : -1;
    for (int c = 0; c < cylinders_; ++c) {
      const double rise = c == plug ? kFouledEgtFall : kMagEgtRise;
      s.egt[c] = Round16(s.egt[c] + rise * magEgt_);
      if (model_ == kModel8100 && c >= 3)
        s.cht[c] = Round16(s.cht[c] + kMagEgtRise * magEgt_);
    }
  }
  if (special_ == Special::kOpenProbe && cylinders_ > 1) {
    const double seconds = phaseProgress_ * phases_[6].seconds;
    const double middle = phases_[6].seconds / 2.0;
    if (seconds >= middle && seconds <= middle + 20.0)
      s.egt[1] = 0;
  }
  s.oilT = Round16(oilTemp_ + Uniform(-0.5, 0.5));
  s.oilP = static_cast<uint8_t>(
      std::lround(oilPressure_ + (oilPressure_ > 0.0 ? Uniform(-0.5, 0.5) : 0.0)));
  s.volt = static_cast<float>(volts_);
  if (special_ != Special::kMixture)
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
