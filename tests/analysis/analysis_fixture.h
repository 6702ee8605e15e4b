// Hand-made sample sequences for the analysis tests: a plain cruise sample changed field by
// field, placed at a chosen millisecond.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "acquisition/engine_sample.h"

namespace ovixlog::test {

// Tach 2400, CHTs 350, EGTs 1300, OilT 180, OilP 60, Volt 14.0, Flow 9.0, Aspd 100, Alt 3000.
inline EngineSample Plain(uint32_t ms) {
  EngineSample s;
  s.tickMs = ms;
  s.tach = 2400;
  for (auto& c : s.cht)
    c = 350;
  for (auto& e : s.egt)
    e = 1300;
  s.oilT = 180;
  s.oilP = 60;
  s.volt = 14.0f;
  s.flow = 9.0f;
  s.aspd = 100;
  s.alt = 3000;
  return s;
}

// Plain samples every second from `fromS` to `toS` inclusive, each passed through `change`.
inline std::vector<EngineSample> Seconds(
    int fromS, int toS, const std::function<void(EngineSample&, int)>& change = {}) {
  std::vector<EngineSample> out;
  for (int t = fromS; t <= toS; ++t) {
    EngineSample s = Plain(static_cast<uint32_t>(t) * 1000u);
    if (change)
      change(s, t);
    out.push_back(s);
  }
  return out;
}

}  // namespace ovixlog::test
