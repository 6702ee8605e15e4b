#include "format/row_formatter.h"

#include "format/column_set.h"

namespace ovixlog {
namespace {

// The display header, group by group; the CSV header is the same with every run of spaces
// turned into one comma.
void DisplayHeader(RowSettings settings, RowBuffer& out) {
  const ColumnSet columns = ColumnSetFor(settings.model);
  if (settings.showSystemTime)
    out.Text("Sys-Time     ");
  out.Text("Flt-Time Tach");
  for (int i = 1; i <= columns.chtCount; ++i) {
    out.Text(" CHT");
    out.Int(i, 0);
  }
  for (int i = 1; i <= columns.egtCount; ++i) {
    out.Text(" EGT");
    out.Int(i, 0);
  }
  out.Text(" OilT OilP OAT Volt Unit Flow Fuel Hours");
  if (columns.carb)
    out.Text(" Carb");
  out.Text(" Cool");
  for (int i = 1; i <= columns.auxCount; ++i) {
    out.Text(" Aux");
    out.Int(i, 0);
  }
  out.Text(" Aspd   Alt   VSI  Baro");
}

}  // namespace

void RowFormatter::Header(RowStyle style, RowSettings settings, RowBuffer& out) {
  out.Clear();
  if (style == RowStyle::kDisplay) {
    DisplayHeader(settings, out);
    return;
  }
  RowBuffer display;
  DisplayHeader(settings, display);
  bool inSpaces = false;
  for (char c : display.view()) {
    if (c == ' ') {
      if (!inSpaces)
        out.Char(',');
      inSpaces = true;
    } else {
      out.Char(c);
      inSpaces = false;
    }
  }
}

void RowFormatter::Rule(EngineModel model, RowBuffer& out) {
  const ColumnSet columns = ColumnSetFor(model);
  const int width = 13 + 5 * (columns.chtCount + columns.egtCount) + 40 + (columns.carb ? 5 : 0) +
                    5 + 5 * columns.auxCount + 23;
  out.Clear();
  for (int i = 0; i < width; ++i)
    out.Char('-');
}

void RowFormatter::Sample(RowStyle style, RowSettings settings, const EngineSample& s,
                          RowBuffer& out) {
  const ColumnSet columns = ColumnSetFor(settings.model);
  const char sep = style == RowStyle::kDisplay ? ' ' : ',';
  auto field = [&](int64_t value, int width) {
    out.Char(sep);
    out.Int(value, width);
  };
  auto real = [&](float value, int width, int precision, bool zeroPad = false) {
    out.Char(sep);
    out.Fixed(value, width, precision, zeroPad);
  };

  out.Clear();
  if (settings.showSystemTime) {
    out.Int(s.localTime.hour, 2, true);
    out.Char(':');
    out.Int(s.localTime.minute, 2, true);
    out.Char(':');
    out.Int(s.localTime.second, 2, true);
    out.Char('.');
    out.Int(s.localTime.milliseconds, 3, true);
    out.Char(sep);
  }
  out.Int(s.fltHours, 2, true);
  out.Char(':');
  out.Int(s.fltMinutes, 2, true);
  out.Char(':');
  out.Int(s.fltSeconds, 2, true);
  field(s.tach, 4);
  for (int i = 0; i < columns.chtCount; ++i)
    field(s.cht[i], 4);
  for (int i = 0; i < columns.egtCount; ++i)
    field(s.egt[i], 4);
  field(s.oilT, 4);
  field(s.oilP, 4);
  field(s.oat, 3);
  real(s.volt, 4, 1);
  field(s.unit, 4);
  real(s.flow, 4, 1);
  real(s.fuel, 4, 1);
  real(s.hours, 5, 1);
  if (columns.carb)
    field(s.carb, 4);
  field(s.cool, 4);
  for (int i = 0; i < columns.auxCount; ++i)
    field(s.aux[i], 4);
  field(s.aspd, 4);
  field(s.alt, 5);
  real(s.vsi, 5, 0);
  real(s.baro, 5, 2, true);
}

}  // namespace ovixlog
