#include "analysis/summary_writer.h"

#include <cmath>
#include <cstdio>

namespace ovixlog {
namespace {

std::string Seconds(int64_t ms) {
  return NumberText(static_cast<double>(ms) / 1000.0);
}

std::string OptionalSeconds(const std::optional<int64_t>& ms) {
  return ms ? Seconds(*ms) : "null";
}

std::string OptionalNumber(const std::optional<double>& value) {
  return value ? NumberText(*value) : "null";
}

std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

std::string ExtremesJson(const std::vector<ColumnExtreme>& extremes) {
  std::string out = "{";
  for (size_t i = 0; i < extremes.size(); ++i) {
    if (i > 0)
      out += ", ";
    out += Quoted(ColumnTitle(extremes[i].column)) + ": " + OptionalNumber(extremes[i].value);
  }
  return out + "}";
}

std::string PerCylinderJson(const std::vector<std::optional<double>>& values) {
  std::string out = "{";
  for (size_t i = 0; i < values.size(); ++i) {
    if (i > 0)
      out += ", ";
    out += "\"EGT" + std::to_string(i + 1) + "\": " + OptionalNumber(values[i]);
  }
  return out + "}";
}

std::string RunJson(const RunSummary& r) {
  std::string out = "{";
  out += "\"start_s\": " + Seconds(r.startMs);
  out += ", \"end_s\": " + Seconds(r.endMs);
  out += ", \"duration_s\": " + Seconds(r.DurationMs());
  out += ", \"samples\": " + std::to_string(r.samples);
  out += ", \"airborne_s\": " + Seconds(r.airborneMs);
  out += ", \"takeoff_s\": " + OptionalSeconds(r.takeoffMs);
  out += ", \"landing_s\": " + OptionalSeconds(r.landingMs);
  out += ", \"fuel_used\": " + NumberText(r.fuelUsed);
  out += ", \"max\": " + ExtremesJson(r.max);
  out += ", \"min\": " + ExtremesJson(r.min);
  out += ", \"cht_spread_max\": " + NumberText(r.chtSpreadMax);
  out += ", \"egt_spread_max\": " + NumberText(r.egtSpreadMax);
  out += ", \"cht_rate_max_rise\": " + OptionalNumber(r.chtRateMaxRise);
  out += ", \"cht_rate_max_drop\": " + OptionalNumber(r.chtRateMaxDrop);
  out += ", \"exceedances\": [";
  for (size_t i = 0; i < r.exceedances.size(); ++i) {
    const Exceedance& e = r.exceedances[i];
    out += i > 0 ? ", {" : "{";
    out += "\"column\": " + Quoted(ColumnTitle(e.column));
    out += ", \"kind\": " + Quoted(std::string(LimitKindName(e.kind)));
    out += ", \"limit\": " + ExactNumberText(e.limit);
    out += ", \"start_s\": " + Seconds(e.startMs);
    out += ", \"end_s\": " + Seconds(e.endMs);
    out += ", \"peak\": " + NumberText(e.peak) + "}";
  }
  out += "], \"lean_tests\": [";
  for (size_t i = 0; i < r.leanTests.size(); ++i) {
    const LeanTest& t = r.leanTests[i];
    out += i > 0 ? ", {" : "{";
    out += "\"start_s\": " + Seconds(t.startMs);
    out += ", \"end_s\": " + Seconds(t.endMs);
    out += std::string(", \"direction\": ") + (t.lean ? "\"lean\"" : "\"rich\"");
    out += std::string(", \"complete\": ") + (t.complete ? "true" : "false");
    out += ", \"peak_flow\": " + PerCylinderJson(t.peakFlow);
    out += ", \"peak_egt\": " + PerCylinderJson(t.peakEgt);
    out += ", \"order\": [";
    for (size_t k = 0; k < t.order.size(); ++k)
      out += (k > 0 ? ", " : "") + std::to_string(t.order[k]);
    out += "], \"gami_spread\": " + OptionalNumber(t.gamiSpread) + "}";
  }
  out += "], \"findings\": [";
  for (size_t i = 0; i < r.findings.size(); ++i)
    out += (i > 0 ? ", " : "") + FindingJson(r.findings[i]);
  return out + "]}";
}

std::string ExtremesText(const std::vector<ColumnExtreme>& extremes) {
  std::string out;
  for (const ColumnExtreme& e : extremes) {
    if (!e.value)
      continue;
    out += (out.empty() ? "" : ", ") + ColumnTitle(e.column) + " " + NumberText(*e.value);
  }
  return out.empty() ? "none" : out;
}

std::string RunText(const RunSummary& r, size_t number, size_t count) {
  std::string out = "Run " + std::to_string(number) + " of " + std::to_string(count) + ": " +
                    ClockText(r.startMs) + " to " + ClockText(r.endMs) + ", " +
                    ClockText(r.DurationMs()) + " (" + std::to_string(r.samples) + " samples)\n";
  out += "  Airborne " + ClockText(r.airborneMs);
  if (r.takeoffMs)
    out += ", take-off " + ClockText(*r.takeoffMs) + ", landing " + ClockText(*r.landingMs);
  out += "\n  Fuel used " + NumberText(r.fuelUsed, 2) + "\n";
  out += "  Highest: " + ExtremesText(r.max) + "\n";
  out += "  Lowest: " + ExtremesText(r.min) + " (OilP at Tach 1000 and up)\n";
  const auto [cylinder, hottest] = r.HottestCht();
  if (cylinder > 0)
    out += "  Hottest CHT: CHT" + std::to_string(cylinder) + " " + NumberText(hottest) + "\n";
  out += "  Largest spread: CHT " + NumberText(r.chtSpreadMax) + ", EGT " +
         NumberText(r.egtSpreadMax) + "\n";
  if (r.chtRateMaxRise) {
    out += "  CHT rate: rise up to " + NumberText(*r.chtRateMaxRise, 1) + "/min, drop up to " +
           NumberText(*r.chtRateMaxDrop, 1) + "/min\n";
  }
  out += "  Exceedances: " + std::to_string(r.exceedances.size()) + "\n";
  for (const Exceedance& e : r.exceedances) {
    out += "    " + ColumnTitle(e.column) + (e.kind == LimitKind::kMax ? " above " : " below ") +
           ExactNumberText(e.limit) + " from " + ClockText(e.startMs) + " to " + ClockText(e.endMs) +
           " (" + NumberText(static_cast<double>(e.endMs - e.startMs) / 1000.0, 1) + " s), peak " +
           NumberText(e.peak) + "\n";
  }
  out += "  Lean tests: " + std::to_string(r.leanTests.size()) + "\n";
  for (const LeanTest& t : r.leanTests) {
    out += std::string("    ") + (t.lean ? "Lean" : "Rich") + " sweep " + ClockText(t.startMs) +
           " to " + ClockText(t.endMs) + (t.complete ? "" : ", incomplete");
    if (t.gamiSpread)
      out += ", spread " + NumberText(*t.gamiSpread, 2);
    out += "\n      peak flow:";
    for (size_t c = 0; c < t.peakFlow.size(); ++c) {
      out += " EGT" + std::to_string(c + 1) + " " +
             (t.peakFlow[c] ? NumberText(*t.peakFlow[c], 2) : std::string("-"));
    }
    out += "\n      order:";
    for (int c : t.order)
      out += " " + std::to_string(c);
    out += "\n";
  }
  out += "  Findings: " + std::to_string(r.findings.size()) + "\n";
  for (const Finding& f : r.findings)
    out += "    " + FindingText(f) + "\n";
  return out;
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\')
      out += '\\';
    out += c;
  }
  return out + "\"";
}

}  // namespace

std::string FindingJson(const Finding& f) {
  std::string out = "{\"kind\": " + JsonString(f.kind);
  out += ", \"column\": " + (f.column ? Quoted(ColumnTitle(*f.column)) : std::string("null"));
  out += ", \"start_s\": " + Seconds(f.startMs);
  out += ", \"end_s\": " + Seconds(f.endMs);
  out += ", \"severity\": " + Quoted(FindingSeverityName(f.severity));
  out += ", \"evidence\": {";
  for (size_t i = 0; i < f.evidence.size(); ++i) {
    out += (i > 0 ? ", " : "") + JsonString(f.evidence[i].first) + ": " +
           NumberText(f.evidence[i].second);
  }
  if (!f.dips.empty()) {
    out += std::string(f.evidence.empty() ? "" : ", ") + "\"dips\": [";
    for (size_t d = 0; d < f.dips.size(); ++d) {
      const MagDip& dip = f.dips[d];
      out += std::string(d > 0 ? ", " : "") + "{\"start_s\": " + Seconds(dip.startMs) +
             ", \"rpm_drop\": " + NumberText(dip.rpmDrop) + ", \"egt_change\": {";
      for (size_t c = 0; c < dip.egtChange.size(); ++c) {
        out += (c > 0 ? ", " : "") + Quoted(ColumnTitle(dip.egtChange[c].first)) + ": " +
               NumberText(dip.egtChange[c].second);
      }
      out += "}}";
    }
    out += "]";
  }
  out += "}, \"text\": " + JsonString(f.text) + "}";
  return out;
}

std::string FindingText(const Finding& f) {
  return std::string(FindingSeverityName(f.severity)) + ": " + f.text + " (" +
         ClockText(f.startMs) + " to " + ClockText(f.endMs) + ")";
}

std::string ClockText(int64_t ms) {
  const int64_t seconds = ms / 1000;
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
  return buffer;
}

std::string NumberText(double value, int decimals) {
  // Room for any double in fixed notation (up to 309 integer digits), so none is ever cut.
  char buffer[400];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  std::string text = buffer;
  if (text.find('.') != std::string::npos) {
    while (text.back() == '0')
      text.pop_back();
    if (text.back() == '.')
      text.pop_back();
  }
  if (text == "-0")
    text = "0";
  return text;
}

std::string SummaryText(const std::vector<RunSummary>& runs) {
  if (runs.empty())
    return "No engine runs.\n";
  std::string out;
  for (size_t i = 0; i < runs.size(); ++i) {
    if (i > 0)
      out += "\n";
    out += RunText(runs[i], i + 1, runs.size());
  }
  return out;
}

std::string SummaryJson(const std::vector<RunSummary>& runs) {
  std::string out = "{\"runs\": [";
  for (size_t i = 0; i < runs.size(); ++i)
    out += (i > 0 ? ",\n  " : "\n  ") + RunJson(runs[i]);
  return out + (runs.empty() ? "]}\n" : "\n]}\n");
}

}  // namespace ovixlog
