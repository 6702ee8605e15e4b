#include "analysis/mag_check.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <cstddef>
#include <string>

#include "analysis/sample_column.h"
#include "analysis/summary_writer.h"

namespace ovixlog {
namespace {

constexpr int kGroundSpeed = 30;
constexpr int kRunUpLow = 1500;
constexpr int kRunUpHigh = 2200;
constexpr int kRunUpBand = 50;
constexpr int64_t kRunUpMs = 10000;
constexpr int kDipDepth = 25;
constexpr int64_t kDipMinMs = 2000;
constexpr int64_t kDipMaxMs = 30000;
constexpr int64_t kBeforeMs = 2000;
constexpr int64_t kLastSecondMs = 1000;
constexpr int64_t kGapMs = 30000;
constexpr double kDeadPlugRise = 20.0;
constexpr double kOthersRise = 40.0;
constexpr double kLargestDrop = 175.0;
constexpr double kDropsApart = 50.0;

std::string Whole(double value) {
  return NumberText(value, 0);
}

// "a drop of 100 rpm", "drops of 100 and 110 rpm", "drops of 90, 100 and 110 rpm".
std::string DropsText(const std::vector<MagDip>& dips) {
  if (dips.size() == 1)
    return "a drop of " + Whole(dips[0].rpmDrop) + " rpm";
  std::string text = "drops of ";
  for (size_t d = 0; d < dips.size(); ++d) {
    text += (d == 0 ? "" : d + 1 == dips.size() ? " and " : ", ") + Whole(dips[d].rpmDrop);
  }
  return text + " rpm";
}

}  // namespace

MagCheckWatch::MagCheckWatch(int egtCount) : egtCount_(std::clamp(egtCount, 0, 9)) {}

void MagCheckWatch::Add(int64_t ms, const EngineSample& s) {
  if (seen_ && ms - previousMs_ >= kGapMs) {
    // A lost device: neither a run-up nor a dip runs across the gap.
    End(lastInMs_);
    hold_.clear();
    holdHigh_.clear();
    holdLow_.clear();
    recent_.clear();
  }
  seen_ = true;
  previousMs_ = ms;
  recent_.emplace_back(ms, EgtsOf(s));
  while (recent_.front().first < ms - kBeforeMs)
    recent_.pop_front();

  // A model without an airspeed reads 0 throughout: all of its run counts as the ground.
  if (s.aspd >= kGroundSpeed) {
    End(lastInMs_);
    hold_.clear();
    holdHigh_.clear();
    holdLow_.clear();
    return;
  }
  if (inRunUp_)
    RunUp(ms, s.tach);
  if (!inRunUp_)
    Hold(ms, s.tach);
}

void MagCheckWatch::Hold(int64_t ms, int16_t tach) {
  if (tach < kRunUpLow - kRunUpBand || tach > kRunUpHigh + kRunUpBand) {
    hold_.clear();
    holdHigh_.clear();
    holdLow_.clear();
    return;
  }
  hold_.emplace_back(ms, tach);
  while (!holdHigh_.empty() && holdHigh_.back().second <= tach)
    holdHigh_.pop_back();
  holdHigh_.emplace_back(ms, tach);
  while (!holdLow_.empty() && holdLow_.back().second >= tach)
    holdLow_.pop_back();
  holdLow_.emplace_back(ms, tach);
  // Only a stretch whose Tach stays within 50 of one rpm can hold a run-up.
  while (holdHigh_.front().second - holdLow_.front().second > 2 * kRunUpBand) {
    const int64_t dropped = hold_.front().first;
    hold_.pop_front();
    if (holdHigh_.front().first <= dropped)
      holdHigh_.pop_front();
    if (holdLow_.front().first <= dropped)
      holdLow_.pop_front();
  }
  if (ms - hold_.front().first < kRunUpMs)
    return;
  // The rpm: the stretch's median (the lower one), so that the last moments of the climb to
  // the run-up's rpm do not pull it down. Samples at the start more than 50 from it are
  // dropped, and the stretch must again last 10 s.
  std::vector<int16_t> tachs;
  tachs.reserve(hold_.size());
  for (const auto& sample : hold_)
    tachs.push_back(sample.second);
  const auto middle = tachs.begin() + static_cast<std::ptrdiff_t>((tachs.size() - 1) / 2);
  std::nth_element(tachs.begin(), middle, tachs.end());
  const int rpm = std::clamp(static_cast<int>(*middle), kRunUpLow, kRunUpHigh);
  const auto apart = [rpm](int16_t value) { return std::abs(value - rpm) > kRunUpBand; };
  if (apart(holdHigh_.front().second) || apart(holdLow_.front().second)) {
    while (!hold_.empty() && (apart(holdHigh_.front().second) || apart(holdLow_.front().second))) {
      const int64_t dropped = hold_.front().first;
      hold_.pop_front();
      if (holdHigh_.front().first <= dropped)
        holdHigh_.pop_front();
      if (holdLow_.front().first <= dropped)
        holdLow_.pop_front();
    }
    return;
  }
  inRunUp_ = true;
  rpm_ = rpm;
  startMs_ = hold_.front().first;
  lastInMs_ = ms;
  dips_.clear();
  below_ = false;
  hold_.clear();
  holdHigh_.clear();
  holdLow_.clear();
}

MagCheckWatch::Means MagCheckWatch::MeanSince(int64_t fromMs, int64_t beforeMs) const {
  Means sum{};
  int count = 0;
  std::array<bool, 9> probeFault{};
  const auto add = [&](const Egts& egts) {
    ++count;
    for (int c = 0; c < egtCount_; ++c) {
      const size_t i = static_cast<size_t>(c);
      sum[i] += egts[i];
      probeFault[i] = probeFault[i] || egts[i] <= 0;
    }
  };
  for (const auto& [t, egts] : recent_) {
    if (t >= fromMs && t < beforeMs)
      add(egts);
  }
  // With no sample before the dip, its first sample stands in.
  if (count == 0)
    add(recent_.back().second);
  for (int c = 0; c < egtCount_; ++c) {
    const size_t i = static_cast<size_t>(c);
    // A probe reading 0 says nothing of its cylinder: left out.
    sum[i] = probeFault[i] ? std::numeric_limits<double>::quiet_NaN() : sum[i] / count;
  }
  return sum;
}

void MagCheckWatch::RunUp(int64_t ms, int16_t tach) {
  const bool dipping = tach < rpm_ - kDipDepth;
  const bool within = tach >= rpm_ - kRunUpBand && tach <= rpm_ + kRunUpBand;
  if (!below_) {
    if (dipping) {
      below_ = true;
      tooLong_ = false;
      beyond_ = false;
      belowFirstMs_ = belowLastMs_ = ms;
      lowest_ = tach;
      before_ = MeanSince(ms - kBeforeMs, ms);
    } else if (!within) {
      End(lastInMs_);
      return;
    }
    if (within)
      lastInMs_ = ms;
    if (!dipping)
      return;
  } else if (dipping) {
    if (tooLong_) {
      // Lingering just under the rpm is still the run-up; deeper ends it.
      if (!within) {
        End(lastInMs_);
        return;
      }
      lastInMs_ = ms;
      return;
    }
    belowLastMs_ = ms;
    lowest_ = std::min(lowest_, static_cast<int>(tach));
  } else {
    // The stretch is over: a dip when it lasted 2 to 30 s and came back within 50.
    below_ = false;
    if (!tooLong_ && within && belowLastMs_ - belowFirstMs_ >= kDipMinMs) {
      MagDip dip;
      dip.startMs = belowFirstMs_;
      dip.rpmDrop = rpm_ - lowest_;
      for (int c = 0; c < egtCount_; ++c) {
        const size_t i = static_cast<size_t>(c);
        const double change = lastSecond_[i] - before_[i];
        if (!std::isnan(change))
          dip.egtChange.emplace_back(SampleColumn{SampleColumn::Field::kEgt, c}, change);
      }
      dips_.push_back(std::move(dip));
      lastInMs_ = ms;
      return;
    }
    if (beyond_ || !within) {
      End(beyond_ ? endIfNoDipMs_ : lastInMs_);
      return;
    }
    lastInMs_ = ms;
    return;
  }
  // In the stretch: its last second so far, and where the run-up ended if it is no dip.
  if (within) {
    lastInMs_ = ms;
  } else if (!beyond_) {
    beyond_ = true;
    endIfNoDipMs_ = lastInMs_;
  }
  lastSecond_ = MeanSince(ms - kLastSecondMs + 1, ms + 1);
  if (belowLastMs_ - belowFirstMs_ > kDipMaxMs) {
    tooLong_ = true;
    if (beyond_)
      End(endIfNoDipMs_);
  }
}

void MagCheckWatch::End(int64_t lastInMs) {
  if (inRunUp_ && !dips_.empty())
    found_.push_back(MakeFinding(lastInMs));
  inRunUp_ = false;
  below_ = false;
  dips_.clear();
}

Finding MagCheckWatch::MakeFinding(int64_t endMs) const {
  Finding f;
  f.kind = "mag_check";
  f.startMs = startMs_;
  f.endMs = endMs;
  f.evidence = {{"rpm", rpm_}};
  f.dips = dips_;
  // A cylinder that stays cold on one magneto while the others warm: its other plug is not
  // firing. The coldest such cylinder is named.
  int dead = -1;
  double deadChange = 0.0;
  double othersMean = 0.0;
  for (const MagDip& dip : dips_) {
    const size_t n = dip.egtChange.size();
    if (n < 2)
      continue;
    double sum = 0.0;
    for (const auto& [column, change] : dip.egtChange)
      sum += change;
    for (size_t c = 0; c < n; ++c) {
      const double change = dip.egtChange[c].second;
      const double others = (sum - change) / static_cast<double>(n - 1);
      if (change < kDeadPlugRise && others >= kOthersRise && (dead < 0 || change < deadChange)) {
        dead = dip.egtChange[c].first.index;
        deadChange = change;
        othersMean = others;
      }
    }
  }
  double largest = 0.0;
  double smallest = 0.0;
  for (size_t d = 0; d < dips_.size(); ++d) {
    largest = d == 0 ? dips_[d].rpmDrop : std::max(largest, dips_[d].rpmDrop);
    smallest = d == 0 ? dips_[d].rpmDrop : std::min(smallest, dips_[d].rpmDrop);
  }
  const std::string check = "Mag check at " + std::to_string(rpm_) + " rpm: " + DropsText(dips_);
  if (dead >= 0) {
    const SampleColumn column{SampleColumn::Field::kEgt, dead};
    f.column = column;
    f.severity = FindingSeverity::kWarning;
    f.text = ColumnTitle(column) + " changes " + Whole(deadChange) +
             " F on one magneto while the other EGTs rise " + Whole(othersMean) +
             " F: a fouled plug or a bad lead on that cylinder";
  } else if (largest > kLargestDrop) {
    f.severity = FindingSeverity::kCaution;
    f.text = check + ", more than 175: have the magnetos and plugs looked at";
  } else if (largest - smallest > kDropsApart) {
    f.severity = FindingSeverity::kCaution;
    f.text = check + ", " + Whole(largest - smallest) +
             " apart, more than 50: have the magnetos and plugs looked at";
  } else {
    f.severity = FindingSeverity::kInfo;
    f.text = check + ", within limits";
  }
  return f;
}

void MagCheckWatch::Findings(std::vector<Finding>& out) const {
  out.insert(out.end(), found_.begin(), found_.end());
  if (inRunUp_ && !dips_.empty())
    out.push_back(MakeFinding(lastInMs_));
}

}  // namespace ovixlog
