#include "acquisition/frame_layout.h"

namespace ovixlog {
namespace {

template <auto Member>
SampleFieldRef Ref(EngineSample& s) {
  return &(s.*Member);
}

template <auto Member, int Index>
SampleFieldRef Elem(EngineSample& s) {
  return &(s.*Member)[Index];
}

constexpr Signedness kS = Signedness::kSigned;
constexpr Signedness kU = Signedness::kUnsigned;
constexpr float kTenth = 0.1f;
constexpr float kHundredth = 0.01f;

using S = EngineSample;

// 48 bytes: sync header 0-2, bytes 40-41 and 44-46 unused, checksum 47.
constexpr FrameField kShortFields[] = {
    {"tach", 3, 2, kS, 1.0f, 0, Ref<&S::tach>},
    {"cht1", 5, 2, kS, 1.0f, 0, Elem<&S::cht, 0>},
    {"cht2", 7, 2, kS, 1.0f, 0, Elem<&S::cht, 1>},
    {"egt1", 9, 2, kS, 1.0f, 0, Elem<&S::egt, 0>},
    {"egt2", 11, 2, kS, 1.0f, 0, Elem<&S::egt, 1>},
    {"aspd", 13, 2, kS, 1.0f, 0, Ref<&S::aspd>},
    {"alt", 15, 2, kS, 10.0f, 0, Ref<&S::alt>},
    {"volt", 17, 2, kU, kTenth, 0, Ref<&S::volt>},
    {"flow", 19, 2, kU, kTenth, 0, Ref<&S::flow>},
    {"unit", 21, 1, kS, 1.0f, 0, Ref<&S::unit>},
    {"vsi", 22, 1, kS, 100.0f, 0, Ref<&S::vsi>},
    {"oat", 23, 1, kU, 1.0f, 0, Ref<&S::oat>},
    {"cool", 24, 2, kS, 1.0f, 0, Ref<&S::cool>},
    {"oilT", 26, 2, kS, 1.0f, 0, Ref<&S::oilT>},
    {"oilP", 28, 1, kU, 1.0f, 0, Ref<&S::oilP>},
    {"aux1", 29, 2, kS, 1.0f, 0, Elem<&S::aux, 0>},
    {"aux2", 31, 2, kS, 1.0f, 0, Elem<&S::aux, 1>},
    {"hours", 33, 2, kU, kTenth, 0, Ref<&S::hours>},
    {"fuel", 35, 2, kU, kTenth, 0, Ref<&S::fuel>},
    {"fltHours", 37, 1, kS, 1.0f, 0, Ref<&S::fltHours>},
    {"fltMinutes", 38, 1, kS, 1.0f, 0, Ref<&S::fltMinutes>},
    {"fltSeconds", 39, 1, kS, 1.0f, 0, Ref<&S::fltSeconds>},
    {"baro", 42, 2, kU, kHundredth, 0, Ref<&S::baro>},
};

// 73 bytes (77 in the alternate format): sync header 0-2, bytes 65-66 and 69 on unused, checksum
// last. The last two aux values come right after the EGT block, the first four after oilP.
constexpr FrameField kLongFields[] = {
    {"tach", 3, 2, kS, 1.0f, 0, Ref<&S::tach>},
    {"cht1", 5, 2, kS, 1.0f, 0, Elem<&S::cht, 0>},
    {"cht2", 7, 2, kS, 1.0f, 0, Elem<&S::cht, 1>},
    {"cht3", 9, 2, kS, 1.0f, 0, Elem<&S::cht, 2>},
    {"cht4", 11, 2, kS, 1.0f, 0, Elem<&S::cht, 3>},
    {"cht5", 13, 2, kS, 1.0f, 0, Elem<&S::cht, 4>},
    {"cht6", 15, 2, kS, 1.0f, 0, Elem<&S::cht, 5>},
    {"egt1", 17, 2, kS, 1.0f, 0, Elem<&S::egt, 0>},
    {"egt2", 19, 2, kS, 1.0f, 0, Elem<&S::egt, 1>},
    {"egt3", 21, 2, kS, 1.0f, 0, Elem<&S::egt, 2>},
    {"egt4", 23, 2, kS, 1.0f, 0, Elem<&S::egt, 3>},
    {"egt5", 25, 2, kS, 1.0f, 0, Elem<&S::egt, 4>},
    {"egt6", 27, 2, kS, 1.0f, 0, Elem<&S::egt, 5>},
    {"aux5", 29, 2, kS, 1.0f, 0, Elem<&S::aux, 4>},
    {"aux6", 31, 2, kS, 1.0f, 0, Elem<&S::aux, 5>},
    {"aspd", 33, 2, kS, 1.0f, 0, Ref<&S::aspd>},
    {"alt", 35, 2, kS, 10.0f, 0, Ref<&S::alt>},
    {"volt", 37, 2, kU, kTenth, 0, Ref<&S::volt>},
    {"flow", 39, 2, kU, kTenth, 0, Ref<&S::flow>},
    {"unit", 41, 1, kS, 1.0f, 0, Ref<&S::unit>},
    {"carb", 42, 1, kS, 1.0f, 0, Ref<&S::carb>},
    {"vsi", 43, 1, kS, 100.0f, 0, Ref<&S::vsi>},
    {"oat", 44, 1, kU, 1.0f, -50, Ref<&S::oat>},
    {"oilT", 45, 2, kS, 1.0f, 0, Ref<&S::oilT>},
    {"oilP", 47, 1, kU, 1.0f, 0, Ref<&S::oilP>},
    {"aux1", 48, 2, kS, 1.0f, 0, Elem<&S::aux, 0>},
    {"aux2", 50, 2, kS, 1.0f, 0, Elem<&S::aux, 1>},
    {"aux3", 52, 2, kS, 1.0f, 0, Elem<&S::aux, 2>},
    {"aux4", 54, 2, kS, 1.0f, 0, Elem<&S::aux, 3>},
    {"cool", 56, 2, kS, 1.0f, 0, Ref<&S::cool>},
    {"hours", 58, 2, kU, kTenth, 0, Ref<&S::hours>},
    {"fuel", 60, 2, kU, kTenth, 0, Ref<&S::fuel>},
    {"fltHours", 62, 1, kS, 1.0f, 0, Ref<&S::fltHours>},
    {"fltMinutes", 63, 1, kS, 1.0f, 0, Ref<&S::fltMinutes>},
    {"fltSeconds", 64, 1, kS, 1.0f, 0, Ref<&S::fltSeconds>},
    {"baro", 67, 2, kU, kHundredth, 0, Ref<&S::baro>},
};

// The long frame has no EGT slots 7 to 9; the monitor reports them in CHT slots 4 to 6.
constexpr FieldCopy kLongCopies[] = {
    {"egt7", Elem<&S::cht, 3>, Elem<&S::egt, 6>},
    {"egt8", Elem<&S::cht, 4>, Elem<&S::egt, 7>},
    {"egt9", Elem<&S::cht, 5>, Elem<&S::egt, 8>},
};

constexpr FrameLayout kShortLayout{kShortFields, {}};
constexpr FrameLayout kLongLayout{kLongFields, kLongCopies};

}  // namespace

const FrameLayout& FrameLayoutFor(EngineModel model) {
  return model == kModel3100 ? kShortLayout : kLongLayout;
}

}  // namespace ovixlog
