// A lean test as curves against flow, the GAMI verdict and the test in words.
#include "analysis/lean_test_curves.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "analysis_fixture.h"

namespace ovixlog {
namespace {

TEST(LeanTestCurves, JudgesTheSpreadAsShown) {
  const struct {
    double spread;
    GamiBalance balance;
  } cases[] = {{0.0, GamiBalance::kWellBalanced},  {0.5, GamiBalance::kWellBalanced},
               {0.504, GamiBalance::kWellBalanced}, {0.506, GamiBalance::kAcceptable},
               {1.0, GamiBalance::kAcceptable},     {1.0049, GamiBalance::kAcceptable},
               {1.01, GamiBalance::kUnbalanced},    {2.4, GamiBalance::kUnbalanced}};
  for (const auto& c : cases)
    EXPECT_EQ(BalanceOf(c.spread), c.balance) << c.spread;
  EXPECT_STREQ(BalanceWords(GamiBalance::kWellBalanced), "well balanced");
  EXPECT_STREQ(BalanceWords(GamiBalance::kAcceptable), "acceptable");
  EXPECT_STREQ(BalanceWords(GamiBalance::kUnbalanced), "unbalanced");
}

TEST(LeanTestCurves, SaysTheTestInWords) {
  LeanTest lean;
  lean.complete = true;
  lean.peakFlow = {9.1, 8.8, 9.4, 8.9};
  lean.order = {3, 1, 4, 2};
  lean.gamiSpread = 0.6;
  EXPECT_EQ(LeanTestWords(lean), "lean, 0.6 gph spread, order 3-1-4-2");
  LeanTest rich = lean;
  rich.lean = false;
  rich.order = {2, 4, 1, 3};
  rich.gamiSpread = 0.25;
  EXPECT_EQ(LeanTestWords(rich), "rich, 0.3 gph spread, order 2-4-1-3");
  LeanTest partial = lean;
  partial.complete = false;
  partial.peakFlow = {9.1, std::nullopt, 9.4, 8.9};
  partial.order = {3, 1, 4};
  partial.gamiSpread = 0.5;
  EXPECT_EQ(LeanTestWords(partial), "lean, 3 of 4 peaked, 0.5 gph spread, order 3-1-4");
  LeanTest none;
  none.peakFlow = {std::nullopt, std::nullopt};
  EXPECT_EQ(LeanTestWords(none), "lean, 0 of 2 peaked");
}

TEST(LeanTestCurves, DrawsEverySampleAndTheFitNearThePeak) {
  // Flow 10.0 down to 8.0 by tenths; EGT1 = 1500 - 100 (F - 9.0)^2 in whole degrees, EGT2 flat.
  std::vector<EngineSample> samples;
  for (int tenths = 100; tenths >= 80; --tenths) {
    EngineSample s = test::Plain(static_cast<uint32_t>(100 - tenths) * 6000);
    s.flow = static_cast<float>(tenths) * 0.1f;
    const int k = tenths - 90;
    s.egt[0] = static_cast<int16_t>(1500 - k * k);
    s.egt[1] = 1300;
    samples.push_back(s);
  }
  std::vector<const EngineSample*> pointers;
  for (const EngineSample& s : samples)
    pointers.push_back(&s);
  LeanTest test;
  test.peakFlow = {9.0, std::nullopt};
  test.peakEgt = {1500.0, std::nullopt};
  test.order = {1};
  test.gamiSpread = 0.0;

  const LeanTestCurves curves = BuildLeanTestCurves(test, pointers, 2);
  ASSERT_EQ(curves.cylinders.size(), 2u);
  EXPECT_TRUE(curves.lean);
  EXPECT_EQ(curves.order, std::vector<int>{1});
  EXPECT_NEAR(curves.lowFlow, 8.0, 1e-6);
  EXPECT_NEAR(curves.highFlow, 10.0, 1e-6);
  EXPECT_EQ(curves.lowEgt, 1300.0);
  EXPECT_EQ(curves.highEgt, 1500.0);

  const LeanCurve& first = curves.cylinders[0];
  EXPECT_EQ(first.cylinder, 1);
  ASSERT_EQ(first.flow.size(), 21u);
  EXPECT_EQ(first.egt.front(), 1400.0);
  EXPECT_EQ(first.egt[10], 1500.0);
  ASSERT_TRUE(first.fit.has_value());
  // Fitted over 8.5 .. 9.5, where the EGT is within 30 of its highest.
  EXPECT_NEAR(first.fitLowFlow, 8.5, 1e-6);
  EXPECT_NEAR(first.fitHighFlow, 9.5, 1e-6);
  EXPECT_NEAR(first.fit->At(9.0), 1500.0, 1e-3);
  EXPECT_NEAR(first.fit->At(8.6), 1484.0, 1e-3);
  EXPECT_EQ(first.peakFlow, std::optional<double>(9.0));
  EXPECT_EQ(first.peakEgt, std::optional<double>(1500.0));

  const LeanCurve& second = curves.cylinders[1];
  EXPECT_EQ(second.cylinder, 2);
  EXPECT_EQ(second.egt, std::vector<double>(21, 1300.0));
  EXPECT_FALSE(second.fit.has_value());
  EXPECT_FALSE(second.peakFlow.has_value());
}

TEST(LeanTestCurves, NoSamplesGiveEmptyCurves) {
  LeanTest test;
  test.peakFlow = {9.0, 8.8, 9.1, 9.2};
  const LeanTestCurves curves = BuildLeanTestCurves(test, {}, 4);
  ASSERT_EQ(curves.cylinders.size(), 4u);
  for (const LeanCurve& c : curves.cylinders) {
    EXPECT_TRUE(c.flow.empty());
    EXPECT_FALSE(c.fit.has_value());
  }
  EXPECT_EQ(curves.highFlow, 0.0);
}

}  // namespace
}  // namespace ovixlog
