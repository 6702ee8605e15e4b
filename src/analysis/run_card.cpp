#include "analysis/run_card.h"

#include "analysis/limits.h"
#include "analysis/summary_writer.h"

namespace ovixlog {
namespace {

const char* const kDegrees = "\u00b0F";

std::string Plural(size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string Extremes(const std::vector<ColumnExtreme>& extremes) {
  std::string out;
  for (const ColumnExtreme& e : extremes) {
    if (e.value)
      out += (out.empty() ? "" : ", ") + ReadingText(e.column, *e.value);
  }
  return out.empty() ? "none" : out;
}

std::string Seconds(int64_t ms) {
  return NumberText(static_cast<double>(ms) / 1000.0, 1) + " s";
}

}  // namespace

std::string ColumnUnit(SampleColumn column) {
  switch (column.field) {
    case SampleColumn::Field::kTach:
      return "rpm";
    case SampleColumn::Field::kCht:
    case SampleColumn::Field::kEgt:
    case SampleColumn::Field::kOilT:
    case SampleColumn::Field::kOat:
      return kDegrees;
    case SampleColumn::Field::kOilP:
      return "psi";
    case SampleColumn::Field::kVolt:
      return "V";
    case SampleColumn::Field::kFlow:
      return "gph";
    case SampleColumn::Field::kAspd:
      return "kt";
    case SampleColumn::Field::kAlt:
      return "ft";
  }
  return std::string();
}

std::string ReadingText(SampleColumn column, double value) {
  const bool tenths =
      column.field == SampleColumn::Field::kVolt || column.field == SampleColumn::Field::kFlow;
  return ColumnTitle(column) + " " + NumberText(value, tenths ? 1 : 0) + " " + ColumnUnit(column);
}

std::vector<std::string> RunCardLines(const RunSummary& r, size_t number, size_t count) {
  std::vector<std::string> lines;
  lines.push_back("Run " + std::to_string(number) + " of " + std::to_string(count) + ": from " +
                  ClockText(r.startMs) + " to " + ClockText(r.endMs) + ", " +
                  ClockText(r.DurationMs()) + " of engine running (" +
                  Plural(static_cast<size_t>(r.samples), "sample", "samples") + ")" +
                  (r.finished ? "" : ", still running"));
  if (r.takeoffMs && r.landingMs) {
    lines.push_back("Airborne " + ClockText(r.airborneMs) + ": take-off at " +
                    ClockText(*r.takeoffMs) + ", landing at " + ClockText(*r.landingMs));
  } else {
    lines.push_back("Airborne " + ClockText(r.airborneMs));
  }
  lines.push_back("Fuel used: " + NumberText(r.fuelUsed, 2) + " gal");
  lines.push_back("Highest: " + Extremes(r.max));
  lines.push_back("Lowest: " + Extremes(r.min) + " (oil pressure counted at 1000 rpm and up)");
  const auto [cylinder, hottest] = r.HottestCht();
  if (cylinder > 0) {
    lines.push_back("Hottest cylinder head: cylinder " + std::to_string(cylinder) + " at " +
                    NumberText(hottest) + " " + kDegrees);
  }
  lines.push_back("Largest spread between cylinders: CHT " + NumberText(r.chtSpreadMax) + " " +
                  kDegrees + ", EGT " + NumberText(r.egtSpreadMax) + " " + kDegrees);
  if (r.chtRateMaxRise && r.chtRateMaxDrop) {
    lines.push_back("Cylinder heads warmed by up to " + NumberText(*r.chtRateMaxRise, 1) + " " +
                    kDegrees + " a minute and cooled by up to " +
                    NumberText(*r.chtRateMaxDrop, 1) + " " + kDegrees + " a minute");
  }
  lines.push_back(r.exceedances.empty() ? std::string("No exceedances")
                                        : Plural(r.exceedances.size(), "exceedance:",
                                                 "exceedances:"));
  for (const Exceedance& e : r.exceedances) {
    lines.push_back("  " + ColumnTitle(e.column) +
                    (e.kind == LimitKind::kMax ? " above " : " below ") +
                    ExactNumberText(e.limit) + " " + ColumnUnit(e.column) + " from " +
                    ClockText(e.startMs) + " to " + ClockText(e.endMs) + " (" +
                    Seconds(e.endMs - e.startMs) + "), " +
                    (e.kind == LimitKind::kMax ? "peaking at " : "down to ") +
                    ReadingText(e.column, e.peak));
  }
  lines.push_back(r.leanTests.empty() ? std::string("No lean tests")
                                      : Plural(r.leanTests.size(), "lean test:", "lean tests:"));
  for (const LeanTest& t : r.leanTests) {
    std::string head = std::string("  ") + (t.lean ? "Leaning" : "Richening") + " from " +
                       ClockText(t.startMs) + " to " + ClockText(t.endMs);
    if (t.gamiSpread)
      head += ": peaks " + NumberText(*t.gamiSpread, 2) + " gph apart";
    if (!t.complete)
      head += " (not every cylinder peaked)";
    lines.push_back(head);
    for (size_t c = 0; c < t.peakFlow.size(); ++c) {
      std::string line = "    Cylinder " + std::to_string(c + 1) + ": ";
      if (t.peakFlow[c] && c < t.peakEgt.size() && t.peakEgt[c]) {
        line += "peak EGT " + NumberText(*t.peakEgt[c]) + " " + kDegrees + " at " +
                NumberText(*t.peakFlow[c], 2) + " gph";
      } else {
        line += "no peak";
      }
      lines.push_back(line);
    }
    if (!t.order.empty()) {
      std::string order;
      for (int c : t.order)
        order += (order.empty() ? "" : "-") + std::to_string(c);
      lines.push_back("    Order of peaking: " + order);
    }
  }
  lines.push_back(r.findings.empty() ? std::string("No findings")
                                     : Plural(r.findings.size(), "finding:", "findings:"));
  for (const Finding& f : r.findings)
    lines.push_back("  " + FindingKindTitle(f.kind) + ", " + FindingText(f));
  return lines;
}

}  // namespace ovixlog
