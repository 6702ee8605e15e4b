// `ovixlog-library trend` over fleets of dated recordings the simulator made of one engine: a
// cylinder that starts running hotter is found on the right flight, a clean fleet shows
// nothing, and the bands are the percentiles of the flights listed before.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "library_tool.h"
#include "recording/recording_format.h"
#include "support/temp_folder.h"
#include "tool_run.h"

namespace ovixlog {
namespace {

using test::ToolResult;

// 1 June 2026 09:00 UTC; the recordings' clocks run two hours ahead.
constexpr int64_t kFirstDayUtcMs = 1'780'304'400'000;
constexpr int64_t kDayMs = 86'400'000;
constexpr int kUtcOffsetSeconds = 7200;
// Each flight's cylinder 3, degrees F from the engine's own: flight to flight variation well
// below the 50 F of a change.
const std::vector<int> kWander = {0, 20, -15, 25, -20, 10, -25, 15, -10, 20, -5, 0};
constexpr int kStepFlight = 8;  // 1-based: the first flight of the stepped fleet running hotter
constexpr int kStep = 80;

class TrendTool : public ::testing::Test {
 protected:
  ToolResult Run(std::vector<std::string> args) { return test::RunTool(db_, std::move(args)); }

  // A recording of the simulator's engine (always seed 5, so always the same engine) with
  // cylinder 3 `egtOffset` hotter, its clock set to `day` days after the first.
  std::string Flight(const std::string& name, int egtOffset, std::optional<int> day) {
    const std::string path = folder_ / name;
    const std::string command = std::string(OVIXLOG_SIM_EXE) +
                                " --seed 5 --frames 13000 --cylinder-offset 3:" +
                                std::to_string(egtOffset) + " --demo-log '" + path + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    if (day) {
      WallClockAnchor anchor;
      anchor.epochMs = kFirstDayUtcMs + *day * kDayMs;
      anchor.utcOffsetSeconds = kUtcOffsetSeconds;
      InsertClock(path, anchor);
    }
    return path;
  }

  // Puts a wall-clock record after the settings that open the file, as a recording has.
  static void InsertClock(const std::string& path, const WallClockAnchor& anchor) {
    const std::string bytes = test::ReadWholeFile(path);
    size_t at = 0;
    while (at + kRecordHeaderSize <= bytes.size() &&
           static_cast<uint8_t>(bytes[at]) == kSettingRecord) {
      const auto* header = reinterpret_cast<const uint8_t*>(bytes.data() + at);
      at += kRecordHeaderSize + ReadBigEndian32(header + 5);
    }
    ASSERT_GT(at, 0u) << path;
    std::vector<uint8_t> record;
    const std::vector<uint8_t> payload = WallClockPayload(anchor);
    AppendRecord(record, kWallClockRecord, 0, payload.data(), payload.size());
    test::WriteWholeFile(path, bytes.substr(0, at) + std::string(record.begin(), record.end()) +
                                   bytes.substr(at));
  }

  // Adds a fleet of dated flights, one a day, cylinder 3 `step` hotter from flight
  // kStepFlight on; the files are named so that they are added in the order flown.
  void AddFleet(const std::string& aircraft, int step) {
    std::vector<std::string> paths;
    for (size_t i = 0; i < kWander.size(); ++i) {
      char name[64];
      std::snprintf(name, sizeof name, "%s-%02zu.log", aircraft.c_str(), i + 1);
      const int offset = kWander[i] + (static_cast<int>(i) + 1 >= kStepFlight ? step : 0);
      paths.push_back(Flight(name, offset, static_cast<int>(i)));
    }
    std::vector<std::string> args = {"add", "--aircraft", aircraft};
    args.insert(args.end(), paths.begin(), paths.end());
    const ToolResult add = Run(args);
    ASSERT_EQ(add.status, 0) << add.err;
  }

  // Whether the library dated the flights from the recordings' clocks; flights without a date
  // take no part in bands and changes.
  bool Dated(const std::string& aircraft) {
    const nlohmann::json listed = Listed(aircraft);
    return !listed.empty() && listed[0]["start"].is_string();
  }

  nlohmann::json Trend(std::vector<std::string> args) {
    args.insert(args.begin(), {"trend", "--json"});
    const ToolResult trend = Run(args);
    EXPECT_EQ(trend.status, 0) << trend.err;
    return nlohmann::json::parse(trend.out);
  }

  // The flights `list --json` gives for `aircraft`, oldest first.
  nlohmann::json Listed(const std::string& aircraft) {
    const ToolResult list = Run({"list", "--json", "--aircraft", aircraft});
    EXPECT_EQ(list.status, 0) << list.err;
    return nlohmann::json::parse(list.out)["flights"];
  }

  test::TempFolder folder_;
  std::string db_ = folder_ / "library.sqlite";
};

// Cylinder 3's cruise EGT minus the mean of the other cylinders', from a listed flight.
double RelativeEgt3(const nlohmann::json& flight) {
  const nlohmann::json& cruise = flight["cruise"];
  double others = 0.0;
  for (const char* name : {"EGT1", "EGT2", "EGT4"})
    others += cruise[name].get<double>();
  return cruise["EGT3"].get<double>() - others / 3.0;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

TEST_F(TrendTool, HotterCylinderFoundOnTheRightFlightAndNothingOnTheCleanFleet) {
  AddFleet("N-STEP", kStep);
  AddFleet("N-CLEAN", 0);
  ASSERT_TRUE(Dated("N-STEP")) << "the flights took no date from the recordings' clock";

  const nlohmann::json all = Trend({});
  ASSERT_EQ(all["aircraft"].size(), 2u);
  EXPECT_EQ(all["aircraft"][0]["name"], "N-CLEAN");
  EXPECT_EQ(all["aircraft"][0]["changes"], nlohmann::json::array());
  EXPECT_EQ(all["aircraft"][1]["name"], "N-STEP");

  const nlohmann::json listed = Listed("N-STEP");
  ASSERT_EQ(listed.size(), kWander.size());
  const nlohmann::json stepped = Trend({"--aircraft", "N-STEP"})["aircraft"];
  ASSERT_EQ(stepped.size(), 1u);
  EXPECT_EQ(stepped[0], all["aircraft"][1]);
  const nlohmann::json& flights = stepped[0]["flights"];
  ASSERT_EQ(flights.size(), kWander.size());
  for (size_t i = 0; i < flights.size(); ++i) {
    EXPECT_EQ(flights[i]["id"], listed[i]["id"]);
    ASSERT_TRUE(listed[i]["start"].is_string()) << "flight " << i << " has no clock";
    EXPECT_EQ(flights[i]["start"], listed[i]["start"]);
    EXPECT_EQ(flights[i]["figures"]["cruise_EGT3"], listed[i]["cruise"]["EGT3"]);
  }

  // Worked out here from the listed figures: the baseline is the median of the seven flights
  // before the step, the shift the mean of the first three stepped flights' differences.
  std::vector<double> before;
  for (int i = 0; i < kStepFlight - 1; ++i)
    before.push_back(RelativeEgt3(listed[static_cast<size_t>(i)]));
  const double baseline = Median(before);
  double sum = 0.0;
  for (int i = kStepFlight - 1; i < kStepFlight + 2; ++i)
    sum += RelativeEgt3(listed[static_cast<size_t>(i)]) - baseline;
  const nlohmann::json expected = {
      {{"kind", "egt_shift"},
       {"column", "EGT3"},
       {"from_id", listed[kStepFlight - 1]["id"]},
       {"confirmed_id", listed[kStepFlight + 1]["id"]},
       {"shift", sum / 3.0}}};
  EXPECT_EQ(stepped[0]["changes"], expected);
  EXPECT_GT(sum / 3.0, kStep - 30);

  const ToolResult text = Run({"trend", "--aircraft", "N-STEP"});
  EXPECT_EQ(text.out.substr(0, text.out.find(" since ")),
            "N-STEP: 12 flights, 12 with a cruise\n  EGT3 runs " +
                std::to_string(std::lround(sum / 3.0)) + " F hotter than the other cylinders");
}

TEST_F(TrendTool, BandsArePercentilesOfTheEarlierFlights) {
  AddFleet("N-CLEAN", 0);
  ASSERT_TRUE(Dated("N-CLEAN")) << "the flights took no date from the recordings' clock";
  const nlohmann::json listed = Listed("N-CLEAN");
  const nlohmann::json flights = Trend({})["aircraft"][0]["flights"];
  ASSERT_EQ(flights.size(), listed.size());
  for (size_t i = 0; i < flights.size(); ++i) {
    if (i < 5) {
      EXPECT_EQ(flights[i]["band"], nlohmann::json::object()) << "flight " << i;
      continue;
    }
    // p10, p50 and p90 of the earlier flights' values, by the rank p x (n - 1).
    std::vector<double> earlier;
    for (size_t e = 0; e < i; ++e)
      earlier.push_back(listed[e]["cruise"]["CHT2"].get<double>());
    std::sort(earlier.begin(), earlier.end());
    nlohmann::json band = nlohmann::json::array();
    for (double p : {0.1, 0.5, 0.9}) {
      const double rank = p * static_cast<double>(earlier.size() - 1);
      const auto low = static_cast<size_t>(rank);
      const double fraction = rank - static_cast<double>(low);
      band.push_back(low + 1 < earlier.size()
                         ? earlier[low] + fraction * (earlier[low + 1] - earlier[low])
                         : earlier[low]);
    }
    for (size_t k = 0; k < 3; ++k) {
      EXPECT_NEAR(flights[i]["band"]["cruise_CHT2"][k].get<double>(), band[k].get<double>(),
                  1e-9)
          << "flight " << i << " percentile " << k;
    }
  }
}

TEST_F(TrendTool, UndatedFlightComesLastWithoutBandAndCsvHasEveryFlight) {
  AddFleet("N-CLEAN", 0);
  const std::string undated = Flight("undated.log", 0, std::nullopt);
  ASSERT_EQ(Run({"add", "--aircraft", "N-CLEAN", undated}).status, 0);
  const nlohmann::json flights = Trend({})["aircraft"][0]["flights"];
  ASSERT_EQ(flights.size(), kWander.size() + 1);
  EXPECT_EQ(flights.back()["start"], nullptr);
  EXPECT_EQ(flights.back()["band"], nlohmann::json::object());
  EXPECT_EQ(flights.back()["figures"].size(), 15u);

  const ToolResult csv = Run({"trend", "--csv"});
  EXPECT_EQ(csv.status, 0);
  EXPECT_EQ(csv.out.substr(0, csv.out.find('\n')),
            "aircraft,id,start,cruise_EGT1,cruise_EGT2,cruise_EGT3,cruise_EGT4,cruise_CHT1,"
            "cruise_CHT2,cruise_CHT3,cruise_CHT4,cruise_OilT,cruise_OilP,cruise_Volt,"
            "cruise_Flow,egt_spread_cruise,cht_spread_cruise,max_CHT");
  EXPECT_EQ(std::count(csv.out.begin(), csv.out.end(), '\n'),
            static_cast<long>(kWander.size()) + 2);
  EXPECT_EQ(csv.out.substr(csv.out.rfind('\n', csv.out.size() - 2) + 1, 12),
            "N-CLEAN," + flights.back()["id"].dump() + ",,");
}

TEST_F(TrendTool, FewFlightsAreNotEnoughAndJsonAndCsvExcludeEachOther) {
  ASSERT_EQ(Run({"add", "--aircraft", "N1", Flight("one.log", 0, 0)}).status, 0);
  EXPECT_EQ(Run({"trend"}).out, "N1: 1 flight, 1 with a cruise\n  not enough flights yet\n");
  EXPECT_EQ(Run({"trend", "--aircraft", "nobody", "--json"}).out, "{\"aircraft\": []}\n");
  EXPECT_EQ(Run({"trend", "--json", "--csv"}).status, kLibraryUsage);
}

}  // namespace
}  // namespace ovixlog
