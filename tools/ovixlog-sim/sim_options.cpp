#include "ovixlog-sim/sim_options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <optional>

#include "ovixlog-sim/flight_generator.h"

namespace ovixlog::sim {
namespace {

std::optional<uint64_t> ParseCount(const std::string& text, uint64_t max) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
    return {};
  errno = 0;
  const unsigned long long value = std::strtoull(text.c_str(), nullptr, 10);
  if (errno != 0 || value > max)
    return {};
  return value;
}

std::optional<double> ParseReal(const std::string& text, double low, double high) {
  if (text.empty())
    return {};
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(text.c_str(), &end);
  if (errno != 0 || *end != '\0' || !std::isfinite(value) || value < low || value > high) {
    return {};
  }
  return value;
}

ParsedCommandLine BadUsage(std::string error) {
  ParsedCommandLine result;
  result.outcome = ParsedCommandLine::Outcome::kBadUsage;
  result.error = std::move(error);
  return result;
}

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args) {
  ParsedCommandLine result;
  SimOptions& o = result.options;
  bool v39 = false;
  bool rateGiven = false;
  bool framesGiven = false;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    std::optional<std::string> inlineValue;
    if (const size_t eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
      inlineValue = name.substr(eq + 1);
      name.resize(eq);
    }
    const bool takesValue = name == "--model" || name == "--rate" || name == "--seed" ||
                            name == "--noise" || name == "--bad-checksum" || name == "--link" ||
                            name == "--capture" || name == "--demo-log" || name == "--frames" ||
                            name == "--scenario" || name == "--cylinder-offset";
    if (!takesValue && inlineValue)
      return BadUsage(name + " takes no value");
    std::string value;
    if (takesValue) {
      if (inlineValue) {
        value = *inlineValue;
      } else if (i + 1 < args.size()) {
        value = args[++i];
      } else {
        return BadUsage(name + " needs a value");
      }
    }

    if (name == "--help" || name == "-h") {
      result.outcome = ParsedCommandLine::Outcome::kHelp;
      return result;
    } else if (name == "--print-truth") {
      o.printTruth = true;
    } else if (name == "--scenario") {
      const auto scenario = ScenarioFromName(value);
      if (!scenario)
        return BadUsage("--scenario must be one of " + ScenarioNames());
      o.stream.scenario = *scenario;
    } else if (name == "--v39") {
      v39 = true;
    } else if (name == "--model") {
      const auto model = ModelFromNumber(value);
      if (!model)
        return BadUsage("--model must be 3100, 5100, 7100 or 8100");
      o.stream.model = *model;
    } else if (name == "--rate") {
      rateGiven = true;
      if (value == "max") {
        o.rate = 0.0;
      } else {
        const auto rate = ParseReal(value, 0.01, 100000.0);
        if (!rate)
          return BadUsage("--rate must be 'max' or a number from 0.01 to 100000");
        o.rate = *rate;
      }
    } else if (name == "--seed") {
      const auto seed = ParseCount(value, 0xFFFFFFFFu);
      if (!seed)
        return BadUsage("--seed must be a whole number from 0 to 4294967295");
      o.stream.seed = static_cast<uint32_t>(*seed);
    } else if (name == "--noise" || name == "--bad-checksum") {
      const auto p = ParseReal(value, 0.0, 1.0);
      if (!p)
        return BadUsage(name + " must be a probability from 0 to 1");
      (name == "--noise" ? o.stream.noise : o.stream.badChecksum) = *p;
    } else if (name == "--cylinder-offset") {
      // N:EGT or N:EGT:CHT
      const size_t first = value.find(':');
      const size_t second = first == std::string::npos ? first : value.find(':', first + 1);
      const auto cylinder = ParseCount(value.substr(0, first), 6);
      const auto egt = first == std::string::npos
                           ? std::nullopt
                           : ParseReal(value.substr(first + 1, second - first - 1), -500.0, 500.0);
      const auto cht = second == std::string::npos
                           ? std::optional<double>(0.0)
                           : ParseReal(value.substr(second + 1), -200.0, 200.0);
      if (!cylinder || *cylinder == 0 || !egt || !cht)
        return BadUsage(
            "--cylinder-offset must be CYLINDER:EGT or CYLINDER:EGT:CHT, a cylinder from 1 to 6, "
            "EGT from -500 to 500 and CHT from -200 to 200 degrees");
      o.stream.offsetCylinder = static_cast<int>(*cylinder);
      o.stream.egtOffset = *egt;
      o.stream.chtOffset = *cht;
    } else if (name == "--frames") {
      const auto frames = ParseCount(value, 1'000'000'000'000ull);
      if (!frames || *frames == 0)
        return BadUsage("--frames must be a positive whole number");
      o.frames = *frames;
      framesGiven = true;
    } else if (name == "--link" || name == "--capture" || name == "--demo-log") {
      if (value.empty())
        return BadUsage(name + " needs a path");
      (name == "--link" ? o.link : name == "--capture" ? o.capture : o.demoLog) = value;
    } else {
      return BadUsage("unknown argument '" + args[i] + "'");
    }
  }

  const int cylinders = o.stream.model == kModel3100 ? 2 : o.stream.model == kModel5100 ? 4 : 6;
  if (o.stream.offsetCylinder > cylinders)
    return BadUsage("--cylinder-offset names cylinder " + std::to_string(o.stream.offsetCylinder) +
                    "; this model has " + std::to_string(cylinders));
  if (v39) {
    if (o.stream.model != kModel5100)
      return BadUsage("--v39 applies to model 5100 only");
    o.stream.altFrameFormat = 1;
  }
  const bool toFile = !o.capture.empty() || !o.demoLog.empty();
  if (!o.capture.empty() && !o.demoLog.empty()) {
    return BadUsage("--capture and --demo-log cannot be combined");
  }
  if (toFile && !o.link.empty())
    return BadUsage("--link applies to a terminal, not a file");
  if (toFile && rateGiven)
    return BadUsage("--rate applies to a terminal, not a file");
  if (o.printTruth && o.stream.scenario != Scenario::kLeanTest &&
      !HasFindingTruth(o.stream.scenario))
    return BadUsage("--print-truth goes with --scenario lean-test or a finding's flight");
  if (toFile && !framesGiven) {
    o.frames = o.stream.scenario == Scenario::kNone
                   ? kDefaultFileFrames
                   : static_cast<uint64_t>(
                         FlightGenerator(o.stream.model, 0, o.stream.scenario).ScenarioSeconds()) *
                         FlightGenerator::kFramesPerSecond;
  }
  return result;
}

std::string UsageText() {
  return R"(Usage: ovixlog-sim [OPTION]...
Simulates an engine monitor: serves its serial stream on a new pseudo-terminal, whose device
path is printed on the first line of the output, or writes the stream to a file.

Stream:
  --model 3100|5100|7100|8100  the monitor model (default 5100)
  --v39                    the 77-byte alternate frame format (model 5100 only)
  --seed N                 seed of the flight and the faults (default 1); the same seed
                           always gives the same bytes
  --noise P                chance (0 to 1) of 1 to 16 random bytes before a frame
  --bad-checksum P         chance (0 to 1) of a frame with a wrong checksum
  --scenario NAME          a test flight instead of the ordinary one: hot-cylinder (one
                           CHT past 435 for a minute in the climb), shock-cooling (CHTs
                           fall 80 degrees a minute in a power-off descent), lean-test (a
                           lean and a rich sweep in cruise), two-flights (ten minutes
                           parked between them), ground-run (a run without flying),
                           alternator (the bus sinks below 13 V through the cruise),
                           bad-probe (EGT2 reads 0 for 20 s in the cruise),
                           exhaust-valve (EGT3 swings 60 degrees every 55 s in the cruise),
                           detonation (CHT2 climbs 100 alone in the cruise), preignition
                           (the same while EGT2 falls 100), stuck-valve (EGT3 falls 220
                           for a few seconds in the cruise), bad-plug (in the run-up's
                           mag check EGT2 cools on one magneto); every flight made for
                           a finding but hot-cylinder has a mag check in its run-up
  --cylinder-offset N:EGT[:CHT]  cylinder N runs EGT (and CHT) degrees F hotter (or
                           colder, below zero) while the engine turns
  --print-truth            with --scenario lean-test: print each cylinder's peak flow and
                           EGT and the spread; with a finding's flight (hot-cylinder,
                           alternator, bad-probe, exhaust-valve, detonation,
                           preignition, stuck-valve, bad-plug): what the analysis must
                           find, one 'KIND COLUMN SEVERITY' a line; and exit

Terminal (the default):
  --rate N|max             frames a second (default 12); 'max' writes as fast as the
                           reader takes them
  --link PATH              also make PATH a symbolic link to the terminal; removed at exit
  --frames N               stop after N frames (default: run until interrupted)

Files:
  --capture FILE           write the raw byte stream to FILE
  --demo-log FILE          write an EFIS DEMO recording to FILE
  --frames N               frames to write (default 43200, an hour; with --scenario,
                           the scenario once)

  -h, --help               show this text and exit

Exit status: 0 on success, 1 when the terminal or file cannot be made, 2 on bad usage.
)";
}

}  // namespace ovixlog::sim
