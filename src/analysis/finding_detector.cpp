#include "analysis/finding_detector.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "analysis/sample_column.h"
#include "analysis/summary_writer.h"
#include "format/column_set.h"

namespace ovixlog {
namespace {

using Field = SampleColumn::Field;

constexpr int kProbeGood = 200;
constexpr int kSpikeJump = 200;
constexpr int kSpikesForFault = 3;
constexpr int64_t kZeroForFaultMs = 5000;
constexpr int kChargingTach = 1500;
constexpr int32_t kLowVolt12Tenths = 130;
constexpr int32_t kLowVolt24Tenths = 260;
constexpr int32_t kBus24MedianTenths = 200;
constexpr int kVoltHistogramTenths = 600;  // readings above 60 V count as 60 V for the median
constexpr int64_t kLowVoltMs = 30000;
constexpr int64_t kRateBaseMs = 60000;
constexpr int64_t kRateSpanMs = 90000;
constexpr double kFastCoolingRate = 60.0;
constexpr int64_t kCoolingJoinMs = 30000;
constexpr int64_t kSteadyMs = 30000;
constexpr int32_t kSteadyTach = 50;
constexpr int32_t kSteadyFlowTenths = 5;
constexpr int64_t kGapMs = 30000;
constexpr int64_t kAverageMs = 1000;
constexpr double kExtremeStep = 15.0;
constexpr double kSwingMin = 30.0;
constexpr int64_t kPeriodMinMs = 20000;
constexpr int64_t kPeriodMaxMs = 150000;
constexpr int kSwingsForOscillation = 6;
constexpr double kRunawayRate = 30.0;
constexpr double kRunawayOthersRate = 10.0;
constexpr int64_t kRunawayMs = 60000;
constexpr double kRunawayRise = 50.0;
constexpr double kPreignitionEgtFall = 50.0;

std::string Whole(double value) {
  return NumberText(value, 0);
}

bool Earlier(const Finding& a, const Finding& b) {
  return a.startMs < b.startMs;
}

}  // namespace

const char* FindingSeverityName(FindingSeverity severity) {
  switch (severity) {
    case FindingSeverity::kInfo:
      return "info";
    case FindingSeverity::kCaution:
      return "caution";
    case FindingSeverity::kWarning:
      return "warning";
  }
  return "info";
}

std::optional<FindingSeverity> FindingSeverityFromName(std::string_view name) {
  for (FindingSeverity severity :
       {FindingSeverity::kInfo, FindingSeverity::kCaution, FindingSeverity::kWarning}) {
    if (name == FindingSeverityName(severity))
      return severity;
  }
  return std::nullopt;
}

std::string FindingKindTitle(const std::string& kind) {
  static const std::pair<const char*, const char*> kTitles[] = {
      {"probe_fault", "Probe fault"},         {"low_voltage", "Low voltage"},
      {"egt_oscillation", "EGT oscillation"}, {"egt_dropout", "EGT dropout"},
      {"mag_check", "Mag check"},             {"cht_runaway", "CHT runaway"},
      {"fast_cooling", "Fast cooling"},
  };
  for (const auto& [name, title] : kTitles) {
    if (kind == name)
      return title;
  }
  return kind;
}

FindingDetector::FindingDetector(EngineModel model)
    : chtCount_(ColumnSetFor(model).chtCount),
      egtCount_(ColumnSetFor(model).egtCount),
      hasVolt_(ModelHasColumn(model, {Field::kVolt, 0})),
      probes_(static_cast<size_t>(chtCount_ + egtCount_)),
      voltHistogram_(kVoltHistogramTenths + 1, 0),
      swinging_(static_cast<size_t>(egtCount_)),
      runaway_(static_cast<size_t>(chtCount_)),
      dropouts_(egtCount_),
      magChecks_(egtCount_) {}

void FindingDetector::Window::Add(int64_t ms, int32_t value, int64_t fromMs) {
  while (!high.empty() && high.back().second <= value)
    high.pop_back();
  high.emplace_back(ms, value);
  while (!low.empty() && low.back().second >= value)
    low.pop_back();
  low.emplace_back(ms, value);
  while (high.front().first < fromMs)
    high.pop_front();
  while (low.front().first < fromMs)
    low.pop_front();
}

int32_t FindingDetector::Window::Spread(int32_t value) const {
  return std::max(high.front().second - value, value - low.front().second);
}

void FindingDetector::Range::Reset(const Egts& now) {
  low = high = now;
}

inline void FindingDetector::Range::Widen(const Egts& now) {
  // Eight lanes, then the ninth.
  for (size_t i = 0; i < 8; ++i) {
    low[i] = std::min(low[i], now[i]);
    high[i] = std::max(high[i], now[i]);
  }
  low[8] = std::min(low[8], now[8]);
  high[8] = std::max(high[8], now[8]);
}

void FindingDetector::Swinging::Widen(Egts now) {
  sinceCandidate.Widen(now);
  sinceLast.Widen(now);
  sinceFirst.Widen(now);
}

double FindingDetector::Range::WidestOther(int count, int skip) const {
  int widest = 0;
  for (int c = 0; c < count; ++c) {
    if (c != skip)
      widest = std::max(widest, high[static_cast<size_t>(c)] - low[static_cast<size_t>(c)]);
  }
  return widest;
}

bool FindingDetector::Steady(int64_t ms, const EngineSample& s) {
  if (!started_) {
    started_ = true;
    startMs_ = ms;
    previousMs_ = ms;
  }
  const bool gap = ms - previousMs_ >= kGapMs;
  previousMs_ = ms;
  if (gap) {
    // A lost device: nothing before the gap says the power was steady.
    tach_ = Window();
    flow_ = Window();
  }
  const int32_t flowTenths = TenthsOf(s.flow);
  flowSeen_ = flowSeen_ || flowTenths != 0;
  tach_.Add(ms, s.tach, ms - kSteadyMs);
  flow_.Add(ms, flowTenths, ms - kSteadyMs);
  if (gap || ms - startMs_ < kSteadyMs)
    return false;
  // The window must reach back the whole 30 s, or a gap shortened it.
  return tach_.Spread(s.tach) <= kSteadyTach &&
         (!flowSeen_ || flow_.Spread(flowTenths) <= kSteadyFlowTenths);
}

void FindingDetector::AddSwings(int64_t ms, const EngineSample& s, bool steady) {
  if (egtCount_ < 2)
    return;
  const Egts egts = EgtsOf(s);
  lastSecond_.emplace_back(ms, egts);
  for (int c = 0; c < egtCount_; ++c)
    lastSecondSum_[static_cast<size_t>(c)] += s.egt[c];
  while (lastSecond_.front().first <= ms - kAverageMs) {
    for (int c = 0; c < egtCount_; ++c)
      lastSecondSum_[static_cast<size_t>(c)] -= lastSecond_.front().second[static_cast<size_t>(c)];
    lastSecond_.pop_front();
  }
  const double count = static_cast<double>(lastSecond_.size());
  for (int c = 0; c < egtCount_; ++c) {
    Swinging& w = swinging_[static_cast<size_t>(c)];
    if (!steady) {
      // Only a watch that has started holds anything; a fresh one stays as it is (building
      // one anew at every unsteady sample costs more than all the rest).
      if (w.started) {
        Close(w);
        w = Swinging();
      }
      continue;
    }
    const Extreme now{ms, lastSecondSum_[static_cast<size_t>(c)] / count};
    if (!w.started) {
      w.started = true;
      w.candidate = w.highest = now;
      w.sinceCandidate.Reset(egts);
      continue;
    }
    w.Widen(egts);
    bool moved = false;
    if (w.direction == 0) {
      if (now.value < w.candidate.value) {
        w.candidate = now;
      } else if (now.value > w.highest.value) {
        w.highest = now;
      }
      if (now.value - w.candidate.value >= kExtremeStep) {
        Confirm(c, w.candidate);
        w.direction = +1;
        w.candidate = now;
        moved = true;
      } else if (w.highest.value - now.value >= kExtremeStep) {
        Confirm(c, w.highest);
        w.direction = -1;
        w.candidate = now;
        moved = true;
      }
    } else if ((w.direction > 0) == (now.value > w.candidate.value)) {
      w.candidate = now;
      moved = true;
    } else if (std::abs(now.value - w.candidate.value) >= kExtremeStep) {
      Confirm(c, w.candidate);
      w.direction = -w.direction;
      w.candidate = now;
      moved = true;
    }
    if (moved)
      w.sinceCandidate.Reset(egts);
  }
}

void FindingDetector::Confirm(int egt, const Extreme& e) {
  Swinging& w = swinging_[static_cast<size_t>(egt)];
  const Range sinceLast = w.sinceLast;
  w.sinceLast = w.sinceCandidate;
  if (w.chain.empty()) {
    w.chain = {e};
    w.sinceFirst = w.sinceCandidate;
    return;
  }
  const Extreme last = w.chain.back();
  const double swing = std::abs(e.value - last.value);
  bool extends = swing >= kSwingMin;
  if (extends && w.chain.size() >= 2) {
    const int64_t period = e.ms - w.chain[w.chain.size() - 2].ms;
    extends = period >= kPeriodMinMs && period <= kPeriodMaxMs;
  }
  if (extends && w.swings + 1 >= kSwingsForOscillation &&
      w.sinceFirst.WidestOther(egtCount_, egt) >= (w.swingSum + swing) / (w.swings + 1) / 2.0)
    extends = false;
  if (extends) {
    if (w.chain.size() >= 3)
      w.chain.erase(w.chain.begin() + 1);
    w.chain.push_back(e);
    ++w.swings;
    w.swingSum += swing;
    if (w.swings >= kSwingsForOscillation) {
      w.qualified = true;
      w.found = OscillationFinding(egt, w);
    }
    return;
  }
  Close(w);
  w.qualified = false;
  if (swing >= kSwingMin) {
    w.chain = {last, e};
    w.swings = 1;
    w.swingSum = swing;
    w.sinceFirst = sinceLast;
  } else {
    w.chain = {e};
    w.swings = 0;
    w.swingSum = 0.0;
    w.sinceFirst = w.sinceCandidate;
  }
}

void FindingDetector::Close(Swinging& w) {
  if (w.qualified)
    oscillations_.push_back(w.found);
  w.qualified = false;
}

Finding FindingDetector::OscillationFinding(int egt, const Swinging& w) const {
  const SampleColumn column{Field::kEgt, egt};
  const int cycles = w.swings / 2;
  const double mean = w.swingSum / w.swings;
  const double period =
      static_cast<double>(w.chain.back().ms - w.chain.front().ms) / 1000.0 / (w.swings / 2.0);
  Finding f;
  f.kind = "egt_oscillation";
  f.column = column;
  f.startMs = w.chain.front().ms;
  f.endMs = w.chain.back().ms;
  f.severity = FindingSeverity::kCaution;
  f.evidence = {{"period_s", period}, {"peak_to_peak", mean}, {"cycles", cycles}};
  f.text = ColumnTitle(column) + " swings " + Whole(mean) + " F every " + Whole(period) +
           " s at steady power: a sign of a sticking or burning exhaust valve";
  return f;
}

void FindingDetector::Add(int64_t ms, const EngineSample& s) {
  AddProbes(ms, s);
  const bool steady = Steady(ms, s);
  AddSwings(ms, s, steady);
  dropouts_.Add(ms, s, steady);
  magChecks_.Add(ms, s);
  if (hasVolt_) {
    const int32_t tenths = TenthsOf(s.volt);
    ++voltHistogram_[static_cast<size_t>(std::clamp(tenths, 0, kVoltHistogramTenths))];
    if (s.tach >= kChargingTach) {
      for (auto [low, limit] : {std::pair{&low12_, kLowVolt12Tenths},
                                std::pair{&low24_, kLowVolt24Tenths}}) {
        if (tenths >= limit)
          continue;
        if (!low->any) {
          low->any = true;
          low->firstMs = ms;
          low->minTenths = tenths;
        }
        low->lastMs = ms;
        low->minTenths = std::min(low->minTenths, tenths);
      }
    }
  }
  AddCooling(ms, s, steady);
  before_ = last_;
  std::memcpy(last_.data(), s.cht, sizeof s.cht);
  std::memcpy(last_.data() + 6, s.egt, sizeof s.egt);
  lastMs_ = ms;
  seen_ = std::min(seen_ + 1, 2);
}

void FindingDetector::AddProbes(int64_t ms, const EngineSample& s) {
  for (int group = 0; group < 2; ++group) {
    const int count = group == 0 ? chtCount_ : egtCount_;
    const int16_t* now = group == 0 ? s.cht : s.egt;
    const int16_t* previous = last_.data() + (group == 0 ? 0 : 6);
    const int16_t* earlier = before_.data() + (group == 0 ? 0 : 6);
    const int offset = group == 0 ? 0 : chtCount_;
    // A probe reading 0 is a fault only while the others of its kind show a running engine.
    int good = 0;
    for (int c = 0; c < count; ++c)
      good += now[c] >= kProbeGood ? 1 : 0;
    for (int c = 0; c < count; ++c) {
      Probe& p = probes_[static_cast<size_t>(offset + c)];
      if (now[c] <= 0 && good == count - 1 && count > 1) {
        if (!p.anyZero) {
          p.anyZero = true;
          p.firstZeroMs = ms;
        }
        p.lastZeroMs = ms;
      }
      // The sample before this one stands 200 or more away from both its neighbours.
      if (seen_ >= 2 && std::abs(previous[c] - earlier[c]) >= kSpikeJump &&
          std::abs(previous[c] - now[c]) >= kSpikeJump) {
        if (p.spikes == 0)
          p.firstSpikeMs = lastMs_;
        p.lastSpikeMs = lastMs_;
        ++p.spikes;
      }
    }
  }
}

void FindingDetector::AddCooling(int64_t ms, const EngineSample& s, bool steady) {
  // The same pairs as the run's CHT rates: the latest sample at least 60 s older, when that
  // one is under 90 s old.
  while (recentCht_.size() >= 2 && recentCht_[1].ms <= ms - kRateBaseMs)
    recentCht_.pop_front();
  const bool paired = !recentCht_.empty() && recentCht_.front().ms <= ms - kRateBaseMs &&
                      ms - recentCht_.front().ms < kRateSpanMs;
  if (!paired || !steady || chtCount_ < 2) {
    for (int c = 0; c < chtCount_; ++c)
      CloseRunaway(c);
  }
  if (paired) {
    const ChtPoint& then = recentCht_.front();
    const double minutes = static_cast<double>(ms - then.ms) / 60000.0;
    // A rate is a division, dear at every sample: a head that rose by no more than 27 F a
    // minute (compared without dividing; its rounded rate is then well under 30) cannot be
    // running away, and when none rose that much every runaway ends, as the full test says.
    bool rising = false;
    const double runawayRise = 0.9 * kRunawayRate * minutes;
    for (int c = 0; c < chtCount_; ++c)
      rising |= s.cht[c] - then.cht[static_cast<size_t>(c)] > runawayRise;
    if (steady && chtCount_ >= 2 && !rising) {
      for (int c = 0; c < chtCount_; ++c)
        CloseRunaway(c);
    } else if (steady && chtCount_ >= 2) {
      std::array<double, 6> rate{};
      bool valid = true;
      for (int c = 0; c < chtCount_; ++c) {
        const size_t i = static_cast<size_t>(c);
        valid = valid && s.cht[c] > 0 && then.cht[i] > 0;
        rate[i] = (s.cht[c] - then.cht[i]) / minutes;
      }
      for (int c = 0; c < chtCount_; ++c) {
        bool alone = valid && rate[static_cast<size_t>(c)] >= kRunawayRate;
        for (int k = 0; k < chtCount_ && alone; ++k)
          alone = k == c || std::abs(rate[static_cast<size_t>(k)]) <= kRunawayOthersRate;
        if (!alone) {
          CloseRunaway(c);
          continue;
        }
        Runaway& r = runaway_[static_cast<size_t>(c)];
        const size_t i = static_cast<size_t>(c);
        if (!r.open) {
          r = Runaway();
          r.open = true;
          r.startMs = then.ms;
          r.startCht = then.cht[i];
          r.startEgt = then.egt[i];
        }
        r.endMs = ms;
        r.rate = std::max(r.rate, rate[i]);
        r.rise = s.cht[c] - r.startCht;
        r.egtChange = s.egt[c] - r.startEgt;
        r.qualified = r.endMs - r.startMs >= kRunawayMs && r.rise >= kRunawayRise;
      }
    }
    double fastest = 0.0;
    int fastestColumn = -1;
    uint32_t columns = 0;
    // As above: a fall of no more than 54 F a minute, compared without dividing, is not fast.
    const double coolingFall = 0.9 * kFastCoolingRate * minutes;
    for (int c = 0; c < chtCount_; ++c) {
      // A probe reading 0 at either end is a probe fault, not cooling.
      if (s.cht[c] <= 0 || then.cht[static_cast<size_t>(c)] <= 0 ||
          then.cht[static_cast<size_t>(c)] - s.cht[c] <= coolingFall)
        continue;
      const double drop = (then.cht[static_cast<size_t>(c)] - s.cht[c]) / minutes;
      if (drop > kFastCoolingRate) {
        columns |= 1u << c;
        if (drop > fastest) {
          fastest = drop;
          fastestColumn = c;
        }
      }
    }
    if (fastestColumn >= 0) {
      if (coolingOpen_ && ms - cooling_.back().endMs < kCoolingJoinMs) {
        Cooling& open = cooling_.back();
        open.endMs = ms;
        open.columns |= columns;
        if (fastest > open.rate) {
          open.rate = fastest;
          open.fastest = fastestColumn;
        }
      } else {
        cooling_.push_back({then.ms, ms, fastest, fastestColumn, columns});
        coolingOpen_ = true;
      }
    }
  }
  recentCht_.push_back(ChtPoint{ms, ChtsOf(s), EgtsOf(s)});
}

inline void FindingDetector::CloseRunaway(int cht) {
  Runaway& r = runaway_[static_cast<size_t>(cht)];
  if (!r.open)  // the common case, every sample without a runaway
    return;
  if (r.qualified)
    runaways_.push_back(RunawayFinding(cht, r));
  r.open = false;
  r.qualified = false;
}

Finding FindingDetector::RunawayFinding(int cht, const Runaway& r) const {
  const SampleColumn column{Field::kCht, cht};
  const bool preignition = r.egtChange <= -kPreignitionEgtFall;
  Finding f;
  f.kind = "cht_runaway";
  f.column = column;
  f.startMs = r.startMs;
  f.endMs = r.endMs;
  f.severity = FindingSeverity::kWarning;
  f.evidence = {{"rate", r.rate}, {"rise", r.rise}, {"egt_change", r.egtChange}};
  const std::string title = ColumnTitle(column);
  f.text = title + " climbs " + Whole(r.rise) + " F alone at steady power, up to " +
           Whole(r.rate) + " F a minute" +
           (preignition ? ", while its EGT falls " + Whole(-r.egtChange) +
                              ": pre-ignition; reduce power at once"
                        : ": detonation; reduce power and enrich at once");
  return f;
}

std::vector<Finding> FindingDetector::Findings() const {
  std::vector<Finding> out;
  ProbeFindings(out);
  VoltageFinding(out);
  dropouts_.Findings(out);
  magChecks_.Findings(out);
  for (const Cooling& c : cooling_)
    CoolingFinding(c, out);
  out.insert(out.end(), oscillations_.begin(), oscillations_.end());
  out.insert(out.end(), runaways_.begin(), runaways_.end());
  for (size_t c = 0; c < runaway_.size(); ++c) {
    if (runaway_[c].open && runaway_[c].qualified)
      out.push_back(RunawayFinding(static_cast<int>(c), runaway_[c]));
  }
  for (const Swinging& w : swinging_) {
    if (w.qualified)
      out.push_back(w.found);
  }
  std::stable_sort(out.begin(), out.end(), Earlier);
  return out;
}

void FindingDetector::ProbeFindings(std::vector<Finding>& out) const {
  for (size_t i = 0; i < probes_.size(); ++i) {
    const Probe& p = probes_[i];
    const bool zeros = p.anyZero && p.lastZeroMs - p.firstZeroMs >= kZeroForFaultMs;
    const bool spikes = p.spikes >= kSpikesForFault;
    if (!zeros && !spikes)
      continue;
    const int index = static_cast<int>(i);
    const SampleColumn column = index < chtCount_ ? SampleColumn{Field::kCht, index}
                                                  : SampleColumn{Field::kEgt, index - chtCount_};
    Finding f;
    f.kind = "probe_fault";
    f.column = column;
    f.severity = FindingSeverity::kCaution;
    f.startMs = zeros && spikes ? std::min(p.firstZeroMs, p.firstSpikeMs)
                                : (zeros ? p.firstZeroMs : p.firstSpikeMs);
    f.endMs = zeros && spikes ? std::max(p.lastZeroMs, p.lastSpikeMs)
                              : (zeros ? p.lastZeroMs : p.lastSpikeMs);
    const double zeroS = zeros ? static_cast<double>(p.lastZeroMs - p.firstZeroMs) / 1000.0 : 0.0;
    f.evidence = {{"zero_s", zeroS}, {"spikes", spikes ? p.spikes : 0}};
    const std::string title = ColumnTitle(column);
    if (zeros && spikes) {
      f.text = title + " reads 0 for " + NumberText(zeroS, 1) + " s and jumps for a single sample " +
               std::to_string(p.spikes) + " times: a failing probe or its wiring";
    } else if (zeros) {
      f.text = title + " reads 0 for " + NumberText(zeroS, 1) +
               " s while the others read normally: an open or shorted probe";
    } else {
      f.text = title + " jumps 200 or more for a single sample " + std::to_string(p.spikes) +
               " times: a loose or failing probe";
    }
    out.push_back(std::move(f));
  }
}

void FindingDetector::VoltageFinding(std::vector<Finding>& out) const {
  if (!hasVolt_)
    return;
  int64_t total = 0;
  for (int64_t n : voltHistogram_)
    total += n;
  if (total == 0)
    return;
  // The lower median, in tenths.
  int64_t below = 0;
  int32_t median = 0;
  for (size_t t = 0; t < voltHistogram_.size(); ++t) {
    below += voltHistogram_[t];
    if (2 * below >= total) {
      median = static_cast<int32_t>(t);
      break;
    }
  }
  const bool bus24 = median >= kBus24MedianTenths;
  const Voltage& low = bus24 ? low24_ : low12_;
  if (!low.any || low.lastMs - low.firstMs < kLowVoltMs)
    return;
  const double minVolt = low.minTenths / 10.0;
  const double durationS = static_cast<double>(low.lastMs - low.firstMs) / 1000.0;
  Finding f;
  f.kind = "low_voltage";
  f.column = SampleColumn{Field::kVolt, 0};
  f.startMs = low.firstMs;
  f.endMs = low.lastMs;
  f.severity = FindingSeverity::kWarning;
  f.evidence = {{"min", minVolt}, {"duration_s", durationS}};
  f.text = std::string("Volt stays below ") + (bus24 ? "26" : "13") + " for " +
           NumberText(durationS, 0) + " s with the engine at 1500 rpm or more, down to " +
           NumberText(minVolt, 1) + ": the alternator is not charging";
  out.push_back(std::move(f));
}

void FindingDetector::CoolingFinding(const Cooling& c, std::vector<Finding>& out) const {
  Finding f;
  f.kind = "fast_cooling";
  const uint32_t all = (1u << chtCount_) - 1u;
  if (c.columns != all)
    f.column = SampleColumn{Field::kCht, c.fastest};
  f.startMs = c.startMs;
  f.endMs = c.endMs;
  f.severity = FindingSeverity::kInfo;
  f.evidence = {{"rate", c.rate}};
  const std::string what = f.column ? ColumnTitle(*f.column) : std::string("Every CHT");
  f.text = what + (f.column ? " cools" : " cools, the fastest") + " at " + Whole(c.rate) +
           " a minute: cooling faster than 60 a minute strains the cylinder heads";
  out.push_back(std::move(f));
}

}  // namespace ovixlog
