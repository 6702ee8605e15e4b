#include "analysis/egt_dropout.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "analysis/sample_column.h"
#include "analysis/summary_writer.h"

namespace ovixlog {
namespace {

constexpr int64_t kFallMs = 3000;
constexpr int kFallDepth = 150;
constexpr int64_t kDownMs = 1000;
constexpr int kBackWithin = 50;
constexpr int64_t kBackMs = 30000;
constexpr int kOthersStill = 30;

}  // namespace

EgtDropoutWatch::EgtDropoutWatch(int egtCount)
    : egtCount_(std::clamp(egtCount, 0, 9)),
      highs_(static_cast<size_t>(egtCount_)),
      falls_(static_cast<size_t>(egtCount_)) {}

void EgtDropoutWatch::Restart(int egt, int64_t ms, int16_t value) {
  falls_[static_cast<size_t>(egt)] = Fall();
  auto& highs = highs_[static_cast<size_t>(egt)];
  highs.clear();
  highs.emplace_back(ms, value);
}

bool EgtDropoutWatch::OthersStill(const Fall& f, int egt) const {
  for (int c = 0; c < egtCount_; ++c) {
    const size_t i = static_cast<size_t>(c);
    if (c != egt && f.high[i] - f.low[i] >= kOthersStill)
      return false;
  }
  return true;
}

void EgtDropoutWatch::Add(int64_t ms, const EngineSample& s, bool steady) {
  if (egtCount_ < 2)
    return;
  if (!steady) {
    // A power change moves every EGT: nothing carries across it.
    recent_.clear();
    for (auto& highs : highs_)
      highs.clear();
    std::fill(falls_.begin(), falls_.end(), Fall());
    return;
  }
  const Egts now = EgtsOf(s);
  recent_.emplace_back(ms, now);
  while (recent_.front().first < ms - kFallMs)
    recent_.pop_front();

  for (int c = 0; c < egtCount_; ++c) {
    const size_t i = static_cast<size_t>(c);
    const int16_t value = s.egt[c];
    Fall& f = falls_[i];
    if (f.open) {
      for (int k = 0; k < egtCount_; ++k) {
        const size_t j = static_cast<size_t>(k);
        f.low[j] = std::min(f.low[j], now[j]);
        f.high[j] = std::max(f.high[j], now[j]);
      }
      // A reading of 0 is the probe, not the valve; the others moving is the engine.
      if (value <= 0 || ms - f.startMs > kBackMs || !OthersStill(f, c)) {
        Restart(c, ms, value);
        continue;
      }
      f.lowest = std::min(f.lowest, value);
      if (f.down) {
        if (f.startValue - value >= kFallDepth) {
          f.lastDownMs = ms;
        } else {
          f.down = false;
          if (f.lastDownMs - f.firstDownMs < kDownMs) {
            Restart(c, ms, value);
            continue;
          }
        }
      }
      if (!f.down && std::abs(value - f.startValue) <= kBackWithin) {
        const SampleColumn column{SampleColumn::Field::kEgt, c};
        const double drop = f.startValue - f.lowest;
        const double durationS = static_cast<double>(ms - f.startMs) / 1000.0;
        Finding found;
        found.kind = "egt_dropout";
        found.column = column;
        found.startMs = f.startMs;
        found.endMs = ms;
        found.severity = FindingSeverity::kCaution;
        found.evidence = {{"drop", drop}, {"duration_s", durationS}};
        found.text = ColumnTitle(column) + " drops " + NumberText(drop, 0) + " F for " +
                     NumberText(durationS, 0) +
                     " s at steady power and comes back: an exhaust valve sticking open for a "
                     "moment";
        found_.push_back(std::move(found));
        Restart(c, ms, value);
      }
      continue;
    }
    auto& highs = highs_[i];
    while (!highs.empty() && highs.back().second <= value)
      highs.pop_back();
    highs.emplace_back(ms, value);
    while (highs.front().first < ms - kFallMs)
      highs.pop_front();
    const auto [fromMs, fromValue] = highs.front();
    if (value <= 0 || fromValue - value < kFallDepth)
      continue;
    Fall fall;
    fall.open = true;
    fall.startMs = fromMs;
    fall.startValue = fromValue;
    fall.firstDownMs = fall.lastDownMs = ms;
    fall.lowest = value;
    fall.low = fall.high = now;
    for (const auto& [t, egts] : recent_) {
      if (t < fromMs)
        continue;
      for (int k = 0; k < egtCount_; ++k) {
        const size_t j = static_cast<size_t>(k);
        fall.low[j] = std::min(fall.low[j], egts[j]);
        fall.high[j] = std::max(fall.high[j], egts[j]);
      }
    }
    if (OthersStill(fall, c))
      f = fall;
  }
}

void EgtDropoutWatch::Findings(std::vector<Finding>& out) const {
  out.insert(out.end(), found_.begin(), found_.end());
}

}  // namespace ovixlog
