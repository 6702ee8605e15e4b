// Tells from decoded readings whether the chosen monitor model fits the data: plausible readings
// in cylinder slots the model does not show point to a model with more cylinders, and impossible
// values in most samples to frames read with the wrong layout. Complements the layout detector,
// which judges the bytes: the long layout is shared by three models that bytes cannot tell apart.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "acquisition/engine_sample.h"

namespace ovixlog {

struct ContentSuggestion {
  enum class Kind {
    kOtherModel,   // `model` shows readings the chosen one hides
    kImplausible,  // most samples hold impossible values: the layout or format is wrong
  };
  Kind kind = Kind::kOtherModel;
  EngineModel model = kModel5100;  // for kOtherModel
  // What was seen, for the message: "readings in CHT5-6 and EGT5-6", "EGT4 14080".
  std::string evidence;
  // The whole sentence: "These readings look like Model 7100: readings in CHT5-6 and EGT5-6".
  std::string Text(EngineModel chosen) const;
};

class ContentHint {
 public:
  // No verdict on fewer samples than this.
  static constexpr uint64_t kMinSamples = 3;

  explicit ContentHint(EngineModel chosen = kModel5100) : chosen_(chosen) {}
  // Starts over, judging against `chosen`.
  void Reset(EngineModel chosen);
  EngineModel chosen() const { return chosen_; }
  // A sample decoded under the chosen model.
  void Add(const EngineSample& sample);
  uint64_t samples() const { return samples_; }

  // The other model the readings point to, or the layout mismatch, or nothing while the chosen
  // model fits (or too little was seen).
  std::optional<ContentSuggestion> Suggestion() const;

 private:
  std::optional<ContentSuggestion> OtherModel() const;

  EngineModel chosen_;
  uint64_t samples_ = 0;
  uint64_t sixCylinders_ = 0;    // CHT5-6 and EGT5-6 all hold plausible readings
  uint64_t egtInChtSlots_ = 0;   // CHT4-6 slots hold exhaust temperatures (EGT7-9)
  uint64_t implausible_ = 0;     // a shown column holds an impossible value
  std::string firstImplausible_;
};

}  // namespace ovixlog
