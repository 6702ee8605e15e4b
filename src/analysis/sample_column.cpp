#include "analysis/sample_column.h"

#include <cmath>

#include "format/column_set.h"

namespace ovixlog {
namespace {

struct Named {
  const char* title;
  SampleColumn::Field field;
};

constexpr Named kSingles[] = {
    {"Tach", SampleColumn::Field::kTach}, {"OilT", SampleColumn::Field::kOilT},
    {"OilP", SampleColumn::Field::kOilP}, {"OAT", SampleColumn::Field::kOat},
    {"Volt", SampleColumn::Field::kVolt}, {"Flow", SampleColumn::Field::kFlow},
    {"Aspd", SampleColumn::Field::kAspd}, {"Alt", SampleColumn::Field::kAlt},
};

double Tenths(float value) {
  return TenthsOf(value) / 10.0;
}

}  // namespace

int32_t TenthsOf(float value) {
  const double scaled = static_cast<double>(value) * 10.0;
  // Saturates rather than overflow on values no frame can carry.
  if (!(scaled > -2e9 && scaled < 2e9))
    return scaled > 0 ? 2000000000 : -2000000000;
  return static_cast<int32_t>(scaled + (scaled >= 0 ? 0.5 : -0.5));
}

int ColumnSlot(SampleColumn column) {
  switch (column.field) {
    case SampleColumn::Field::kTach:
      return 0;
    case SampleColumn::Field::kCht:
      return 1 + column.index;
    case SampleColumn::Field::kEgt:
      return 7 + column.index;
    case SampleColumn::Field::kOilT:
      return 16;
    case SampleColumn::Field::kOilP:
      return 17;
    case SampleColumn::Field::kOat:
      return 18;
    case SampleColumn::Field::kVolt:
      return 19;
    case SampleColumn::Field::kFlow:
      return 20;
    case SampleColumn::Field::kAspd:
      return 21;
    case SampleColumn::Field::kAlt:
      return 22;
  }
  return 0;
}

void ColumnValues(const EngineSample& s, double (&v)[kColumnSlots]) {
  v[0] = s.tach;
  for (int i = 0; i < 6; ++i)
    v[1 + i] = s.cht[i];
  for (int i = 0; i < 9; ++i)
    v[7 + i] = s.egt[i];
  v[16] = s.oilT;
  v[17] = s.oilP;
  v[18] = s.oat;
  v[19] = Tenths(s.volt);
  v[20] = Tenths(s.flow);
  v[21] = s.aspd;
  v[22] = s.alt;
}

std::string ColumnTitle(SampleColumn column) {
  if (column.field == SampleColumn::Field::kCht)
    return "CHT" + std::to_string(column.index + 1);
  if (column.field == SampleColumn::Field::kEgt)
    return "EGT" + std::to_string(column.index + 1);
  for (const Named& n : kSingles) {
    if (n.field == column.field)
      return n.title;
  }
  return {};
}

std::optional<SampleColumn> ColumnFromTitle(std::string_view title) {
  for (const Named& n : kSingles) {
    if (title == n.title)
      return SampleColumn{n.field, 0};
  }
  struct Group {
    std::string_view prefix;
    SampleColumn::Field field;
    int count;
  };
  for (const Group& g :
       {Group{"CHT", SampleColumn::Field::kCht, 6}, Group{"EGT", SampleColumn::Field::kEgt, 9}}) {
    if (title.size() == 4 && title.substr(0, 3) == g.prefix && title[3] >= '1' &&
        title[3] < '1' + g.count) {
      return SampleColumn{g.field, title[3] - '1'};
    }
  }
  return std::nullopt;
}

bool ModelHasColumn(EngineModel model, SampleColumn column) {
  const ColumnSet set = ColumnSetFor(model);
  if (column.field == SampleColumn::Field::kCht)
    return column.index < set.chtCount;
  if (column.field == SampleColumn::Field::kEgt)
    return column.index < set.egtCount;
  return true;
}

double ColumnValue(const EngineSample& s, SampleColumn column) {
  switch (column.field) {
    case SampleColumn::Field::kTach:
      return s.tach;
    case SampleColumn::Field::kCht:
      return s.cht[column.index];
    case SampleColumn::Field::kEgt:
      return s.egt[column.index];
    case SampleColumn::Field::kOilT:
      return s.oilT;
    case SampleColumn::Field::kOilP:
      return s.oilP;
    case SampleColumn::Field::kOat:
      return s.oat;
    case SampleColumn::Field::kVolt:
      return Tenths(s.volt);
    case SampleColumn::Field::kFlow:
      return Tenths(s.flow);
    case SampleColumn::Field::kAspd:
      return s.aspd;
    case SampleColumn::Field::kAlt:
      return s.alt;
  }
  return 0.0;
}

}  // namespace ovixlog
