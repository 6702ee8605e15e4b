#include "analysis/run_accumulator.h"

#include <algorithm>
#include <cstring>

#include "format/column_set.h"

namespace ovixlog {
namespace {

constexpr int kAirborneSpeed = 50;
constexpr int kOilPressureTach = 1000;
constexpr int64_t kStepMs = 30000;  // longer steps add neither airborne time nor fuel
constexpr int64_t kMinExceedanceMs = 5000;
constexpr int64_t kRateBaseMs = 60000;
constexpr int64_t kRateSpanMs = 90000;

using Field = SampleColumn::Field;

bool Beyond(const ColumnLimit& limit, const EngineSample& s, double value) {
  if (limit.kind == LimitKind::kMax)
    return value > limit.value;
  if (limit.column.field == Field::kOilP && s.tach < kOilPressureTach)
    return false;
  return value < limit.value;
}

void Raise(std::optional<double>& current, double value) {
  if (!current || value > *current)
    current = value;
}

void Lower(std::optional<double>& current, double value) {
  if (!current || value < *current)
    current = value;
}

bool EarlierStart(const Exceedance& a, const Exceedance& b) {
  return a.startMs < b.startMs;
}

}  // namespace

std::pair<int, double> RunSummary::HottestCht() const {
  std::pair<int, double> best{0, 0.0};
  for (const ColumnExtreme& e : max) {
    if (e.column.field == Field::kCht && e.value && (best.first == 0 || *e.value > best.second))
      best = {e.column.index + 1, *e.value};
  }
  return best;
}

std::optional<double> RunSummary::Max(SampleColumn column) const {
  for (const ColumnExtreme& e : max) {
    if (e.column == column)
      return e.value;
  }
  return std::nullopt;
}

std::optional<double> RunSummary::Min(SampleColumn column) const {
  for (const ColumnExtreme& e : min) {
    if (e.column == column)
      return e.value;
  }
  return std::nullopt;
}

RunAccumulator::RunAccumulator(EngineModel model, const std::vector<ColumnLimit>& limits)
    : model_(model),
      chtCount_(ColumnSetFor(model).chtCount),
      egtCount_(ColumnSetFor(model).egtCount),
      leanSweeps_(true, ColumnSetFor(model).egtCount),
      richSweeps_(false, ColumnSetFor(model).egtCount),
      findings_(model) {
  summary_.model = model;
  summary_.max.push_back({{Field::kTach, 0}, {}});
  for (int i = 0; i < chtCount_; ++i)
    summary_.max.push_back({{Field::kCht, i}, {}});
  for (int i = 0; i < egtCount_; ++i)
    summary_.max.push_back({{Field::kEgt, i}, {}});
  for (Field f : {Field::kOilT, Field::kAlt, Field::kAspd, Field::kVolt})
    summary_.max.push_back({{f, 0}, {}});
  summary_.min.push_back({{Field::kOilP, 0}, {}});
  summary_.min.push_back({{Field::kVolt, 0}, {}});
  for (const ColumnExtreme& e : summary_.max)
    maxSlots_.push_back(ColumnSlot(e.column));
  for (const ColumnLimit& limit : limits)
    watches_.push_back({limit, ColumnSlot(limit.column)});
}

void RunAccumulator::Add(int64_t ms, const EngineSample& s) {
  RunSummary& r = summary_;
  if (r.samples == 0)
    r.startMs = ms;
  r.endMs = ms;
  ++r.samples;

  double values[kColumnSlots];
  ColumnValues(s, values);
  const bool airborne = s.aspd >= kAirborneSpeed;
  const double flow = values[ColumnSlot({Field::kFlow, 0})];
  if (havePrevious_) {
    const int64_t step = ms - previousMs_;
    if (step < kStepMs) {
      if (airborne && previousAirborne_)
        r.airborneMs += step;
      r.fuelUsed += previousFlow_ * static_cast<double>(step) / 3'600'000.0;
    }
  }
  havePrevious_ = true;
  previousMs_ = ms;
  previousAirborne_ = airborne;
  previousFlow_ = flow;
  if (airborne) {
    if (!r.takeoffMs)
      r.takeoffMs = ms;
    r.landingMs = ms;
  }

  for (size_t i = 0; i < r.max.size(); ++i)
    Raise(r.max[i].value, values[maxSlots_[i]]);
  if (s.tach >= kOilPressureTach)
    Lower(r.min[0].value, values[ColumnSlot(r.min[0].column)]);
  Lower(r.min[1].value, values[ColumnSlot(r.min[1].column)]);

  if (chtCount_ > 0) {
    const auto [chtLow, chtHigh] = std::minmax_element(s.cht, s.cht + chtCount_);
    r.chtSpreadMax = std::max(r.chtSpreadMax, static_cast<double>(*chtHigh - *chtLow));
  }
  if (egtCount_ > 0) {
    const auto [egtLow, egtHigh] = std::minmax_element(s.egt, s.egt + egtCount_);
    r.egtSpreadMax = std::max(r.egtSpreadMax, static_cast<double>(*egtHigh - *egtLow));
  }

  // The rate against the latest sample at least 60 s older, when that one is under 90 s old.
  while (recentCht_.size() >= 2 && recentCht_[1].ms <= ms - kRateBaseMs)
    recentCht_.pop_front();
  if (!recentCht_.empty() && recentCht_.front().ms <= ms - kRateBaseMs &&
      ms - recentCht_.front().ms < kRateSpanMs) {
    const ChtPoint& then = recentCht_.front();
    const double minutes = static_cast<double>(ms - then.ms) / 60000.0;
    for (int c = 0; c < chtCount_; ++c) {
      const double rate = (s.cht[c] - then.cht[c]) / minutes;
      // A run whose heads only warmed has a largest drop of 0, and the other way round.
      Raise(r.chtRateMaxRise, std::max(rate, 0.0));
      Raise(r.chtRateMaxDrop, std::max(-rate, 0.0));
    }
  }
  ChtPoint point{ms, {}};
  std::memcpy(point.cht, s.cht, sizeof s.cht);
  recentCht_.push_back(point);

  for (Watch& w : watches_) {
    const double value = values[w.slot];
    if (Beyond(w.limit, s, value)) {
      if (!w.open) {
        w.open = true;
        w.startMs = ms;
        w.peak = value;
      } else {
        w.peak =
            w.limit.kind == LimitKind::kMax ? std::max(w.peak, value) : std::min(w.peak, value);
      }
      w.lastMs = ms;
    } else if (w.open) {
      CloseWatch(w, r.exceedances);
      w.open = false;
    }
  }

  const int32_t flowTenths = TenthsOf(s.flow);
  leanSweeps_.Add(ms, flowTenths, s, r.leanTests);
  richSweeps_.Add(ms, flowTenths, s, r.leanTests);
  findings_.Add(ms, s);
}

void RunAccumulator::CloseWatch(const Watch& w, std::vector<Exceedance>& out) {
  if (w.lastMs - w.startMs >= kMinExceedanceMs)
    out.push_back({w.limit.column, w.limit.kind, w.limit.value, w.startMs, w.lastMs, w.peak});
}

RunSummary RunAccumulator::Snapshot() const {
  RunSummary r = summary_;
  for (const Watch& w : watches_) {
    if (w.open)
      CloseWatch(w, r.exceedances);
  }
  std::stable_sort(r.exceedances.begin(), r.exceedances.end(), EarlierStart);
  std::stable_sort(r.leanTests.begin(), r.leanTests.end(),
                   [](const LeanTest& a, const LeanTest& b) { return a.startMs < b.startMs; });
  r.findings = findings_.Findings();
  return r;
}

RunSummary RunAccumulator::Finish() {
  leanSweeps_.Finish(summary_.leanTests);
  richSweeps_.Finish(summary_.leanTests);
  RunSummary r = Snapshot();
  r.finished = true;
  return r;
}

}  // namespace ovixlog
