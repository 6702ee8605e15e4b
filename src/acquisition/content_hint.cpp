#include "acquisition/content_hint.h"

#include <string>

namespace ovixlog {
namespace {

// Temperatures in F or C. A cylinder slot that a monitor does not fill reads 0.
constexpr int kMinTemperature = -60;
constexpr int kMaxCht = 900;
constexpr int kMaxEgt = 2200;
constexpr int kMaxOilT = 400;
// A reading only an exhaust gives: no cylinder head gets this hot.
constexpr int kMinExhaustOnly = 800;
constexpr int kMaxTach = 4000;
constexpr float kMaxVolt = 40.0f;
constexpr float kMaxFlow = 100.0f;
constexpr float kMaxFuel = 500.0f;

bool PlausibleCht(int16_t value) {
  return value != 0 && value >= kMinTemperature && value <= kMaxCht;
}
bool PlausibleEgt(int16_t value) {
  return value != 0 && value >= kMinTemperature && value <= kMaxEgt;
}
bool InRange(int value, int low, int high) {
  return value >= low && value <= high;
}

// The cylinders whose CHT and EGT columns a model shows.
struct Shown {
  int cht;
  int egt;
};
Shown ShownBy(EngineModel model) {
  switch (model) {
    case kModel3100:
      return {2, 2};
    case kModel7100:
      return {6, 6};
    case kModel8100:
      return {3, 9};
    default:
      return {4, 4};
  }
}

std::string Reading(const char* name, int index, long value) {
  std::string text = name;
  if (index > 0)
    text += std::to_string(index);
  return text + " " + std::to_string(value);
}

// The first impossible value among the columns `model` shows, as "EGT4 14080"; empty when all
// are possible.
std::string FirstImplausible(const EngineSample& s, EngineModel model) {
  const Shown shown = ShownBy(model);
  if (!InRange(s.tach, 0, kMaxTach))
    return Reading("Tach", 0, s.tach);
  for (int i = 0; i < shown.cht; ++i) {
    if (!InRange(s.cht[i], kMinTemperature, kMaxCht))
      return Reading("CHT", i + 1, s.cht[i]);
  }
  for (int i = 0; i < shown.egt; ++i) {
    if (!InRange(s.egt[i], kMinTemperature, kMaxEgt))
      return Reading("EGT", i + 1, s.egt[i]);
  }
  if (!InRange(s.oilT, kMinTemperature, kMaxOilT))
    return Reading("OilT", 0, s.oilT);
  if (!(s.volt >= 0.0f && s.volt <= kMaxVolt))
    return Reading("Volt", 0, static_cast<long>(s.volt));
  if (!(s.flow >= 0.0f && s.flow <= kMaxFlow))
    return Reading("Flow", 0, static_cast<long>(s.flow));
  if (!(s.fuel >= 0.0f && s.fuel <= kMaxFuel))
    return Reading("Fuel", 0, static_cast<long>(s.fuel));
  return std::string();
}

}  // namespace

std::string ContentSuggestion::Text(EngineModel chosen) const {
  const std::string chosenName = "Model " + std::to_string(ModelNumber(chosen));
  if (kind == Kind::kImplausible) {
    return "Most frames read as " + chosenName + " hold impossible values (" + evidence +
           "): the model or format is wrong";
  }
  return "These readings look like Model " + std::to_string(ModelNumber(model)) + ", not " +
         chosenName + ": " + evidence;
}

void ContentHint::Reset(EngineModel chosen) {
  *this = ContentHint(chosen);
}

void ContentHint::Add(const EngineSample& s) {
  ++samples_;
  if (PlausibleCht(s.cht[4]) && PlausibleCht(s.cht[5]) && PlausibleEgt(s.egt[4]) &&
      PlausibleEgt(s.egt[5])) {
    ++sixCylinders_;
  }
  bool exhaust = true;
  for (int i = 3; i < 6; ++i)
    exhaust = exhaust && s.cht[i] >= kMinExhaustOnly && s.cht[i] <= kMaxEgt;
  if (exhaust)
    ++egtInChtSlots_;
  const std::string wrong = FirstImplausible(s, chosen_);
  if (!wrong.empty()) {
    ++implausible_;
    if (firstImplausible_.empty())
      firstImplausible_ = wrong;
  }
}

std::optional<ContentSuggestion> ContentHint::Suggestion() const {
  if (samples_ < kMinSamples)
    return std::nullopt;
  // The short layout has no slots past the second cylinder: nothing hides there. Another
  // model's readings come first: an 8100's exhaust temperatures are impossible as a 7100's
  // CHT4-6, and the other model explains them.
  if (chosen_ != kModel3100) {
    if (const std::optional<ContentSuggestion> other = OtherModel())
      return other;
  }
  if (implausible_ * 2 > samples_)
    return ContentSuggestion{ContentSuggestion::Kind::kImplausible, chosen_, firstImplausible_};
  return std::nullopt;
}

std::optional<ContentSuggestion> ContentHint::OtherModel() const {
  // A lean test is a few minutes of a flight: a twentieth of the samples is plenty, and no
  // cylinder head ever reads like an exhaust.
  if (chosen_ != kModel8100 && egtInChtSlots_ >= kMinSamples && egtInChtSlots_ * 20 >= samples_)
    return ContentSuggestion{ContentSuggestion::Kind::kOtherModel, kModel8100,
                             "exhaust temperatures in the EGT7-9 slots"};
  if (chosen_ == kModel5100 && sixCylinders_ * 2 >= samples_)
    return ContentSuggestion{ContentSuggestion::Kind::kOtherModel, kModel7100,
                             "readings in CHT5-6 and EGT5-6"};
  return std::nullopt;
}

}  // namespace ovixlog
