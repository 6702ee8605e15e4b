#include "library/trends_output.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>

namespace ovixlog {
namespace {

void AppendJsonString(std::string& out, const std::string& text) {
  out += '"';
  // Figure names and dates need no escaping: copied whole.
  if (std::none_of(text.begin(), text.end(), [](char c) {
        return c == '"' || c == '\\' || static_cast<unsigned char>(c) < 0x20;
      })) {
    out += text;
    out += '"';
    return;
  }
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(byte));
      out += escaped;
    } else {
      out += c;
    }
  }
  out += '"';
}

void AppendOptionalJsonString(std::string& out, const std::optional<std::string>& text) {
  if (text) {
    AppendJsonString(out, *text);
  } else {
    out += "null";
  }
}

void AppendNumber(std::string& out, double value) {
  if (value == 0.0) {
    out += '0';  // also for -0
    return;
  }
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  out.append(text, result.ptr);
}

void AppendInteger(std::string& out, int64_t value) {
  char text[24];
  const auto result = std::to_chars(text, text + sizeof text, value);
  out.append(text, result.ptr);
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string FlightNamed(const AircraftTrend& aircraft, int64_t id) {
  std::string text = "flight " + std::to_string(id);
  for (const TrendFlight& flight : aircraft.flights) {
    if (flight.id == id && flight.start && flight.start->size() >= 10) {
      text += " (" + flight.start->substr(0, 10) + ")";
    }
  }
  return text;
}

// A figure's name in a sentence: "cruise EGT3", "EGT spread", "highest CHT".
std::string FigureTitle(const std::string& name) {
  if (name.rfind("cruise_", 0) == 0) return "cruise " + name.substr(7);
  if (name == "egt_spread_cruise") return "EGT spread";
  if (name == "cht_spread_cruise") return "CHT spread";
  if (name == "max_CHT") return "highest CHT";
  if (name == "gami_spread") return "GAMI spread";
  return name;
}

}  // namespace

std::string TrendChangeSentence(const TrendChange& change, const AircraftTrend& aircraft) {
  const bool up = change.shift > 0.0;
  const double size = std::fabs(change.shift);
  std::string what;
  if (change.kind == "egt_shift" || change.kind == "cht_shift") {
    what = change.column + " runs " + std::to_string(std::lround(size)) + " F " +
           (up ? "hotter" : "cooler") + " than the other cylinders";
  } else if (change.kind == "oil_pressure_drop") {
    what = "Oil pressure is " + std::to_string(std::lround(size)) + " psi " +
           (up ? "higher" : "lower");
  } else if (change.kind == "gami_shift") {
    char tenths[32];
    std::snprintf(tenths, sizeof tenths, "%.1f", size);
    what = std::string("The GAMI spread is ") + tenths + " gph " + (up ? "wider" : "narrower");
  } else {
    what = change.column + " shifted by " + TrendNumber(change.shift);
  }
  return what + " since " + FlightNamed(aircraft, change.fromId) + ", confirmed on " +
         FlightNamed(aircraft, change.confirmedId);
}

std::vector<std::string> TrendComparisonLines(const AircraftTrend& aircraft, int64_t id) {
  std::vector<std::string> lines;
  const auto flight = std::find_if(aircraft.flights.begin(), aircraft.flights.end(),
                                   [id](const TrendFlight& f) { return f.id == id; });
  if (flight == aircraft.flights.end() || flight->figures.empty()) return lines;
  // Whole numbers, except where the figure is small (volts, flow, the GAMI spread).
  auto shown = [](double value) {
    char text[32];
    std::snprintf(text, sizeof text, std::fabs(value) < 20.0 ? "%.1f" : "%.0f", value);
    return std::string(text);
  };
  for (const auto& [name, band] : flight->band) {
    const std::optional<double> value = FindFigure(*flight, name);
    if (!value || (*value >= band.p10 && *value <= band.p90)) continue;
    lines.push_back(FigureTitle(name) + " " + shown(*value) + (*value > band.p90 ? ", above" : ", below") +
                    " its normal " + shown(band.p10) + " to " + shown(band.p90));
  }
  if (flight->band.empty()) {
    lines.push_back("Not enough flights yet for a normal");
  } else if (lines.empty()) {
    lines.push_back("Within its normal on every figure");
  }
  for (const TrendChange& change : aircraft.changes) {
    if (change.confirmedId == id) lines.push_back(TrendChangeSentence(change, aircraft));
  }
  return lines;
}

std::string TrendNumber(double value) {
  std::string out;
  AppendNumber(out, value);
  return out;
}

std::string TrendsJson(const Trends& trends) {
  std::string out;
  std::size_t flights = 0;
  for (const AircraftTrend& aircraft : trends.aircraft) flights += aircraft.flights.size();
  out.reserve(256 + flights * 2048);  // a six-cylinder flight with its band is about 2 KB
  out += "{\"aircraft\": [";
  for (std::size_t a = 0; a < trends.aircraft.size(); ++a) {
    const AircraftTrend& aircraft = trends.aircraft[a];
    out += a == 0 ? "\n" : ",\n";
    out += "  {\"name\": ";
    AppendOptionalJsonString(out, aircraft.name);
    out += ", \"flights\": [";
    for (std::size_t f = 0; f < aircraft.flights.size(); ++f) {
      const TrendFlight& flight = aircraft.flights[f];
      out += f == 0 ? "\n    {\"id\": " : ",\n    {\"id\": ";
      AppendInteger(out, flight.id);
      out += ", \"start\": ";
      AppendOptionalJsonString(out, flight.start);
      out += ", \"figures\": {";
      for (std::size_t i = 0; i < flight.figures.size(); ++i) {
        if (i > 0) out += ", ";
        AppendJsonString(out, flight.figures[i].first);
        out += ": ";
        AppendNumber(out, flight.figures[i].second);
      }
      out += "}, \"band\": {";
      for (std::size_t i = 0; i < flight.band.size(); ++i) {
        const TrendBand& band = flight.band[i].second;
        if (i > 0) out += ", ";
        AppendJsonString(out, flight.band[i].first);
        out += ": [";
        AppendNumber(out, band.p10);
        out += ", ";
        AppendNumber(out, band.p50);
        out += ", ";
        AppendNumber(out, band.p90);
        out += ']';
      }
      out += "}}";
    }
    out += aircraft.flights.empty() ? "], \"changes\": [" : "\n  ], \"changes\": [";
    for (std::size_t c = 0; c < aircraft.changes.size(); ++c) {
      const TrendChange& change = aircraft.changes[c];
      out += c == 0 ? "\n    {\"kind\": " : ",\n    {\"kind\": ";
      AppendJsonString(out, change.kind);
      out += ", \"column\": ";
      AppendJsonString(out, change.column);
      out += ", \"from_id\": ";
      AppendInteger(out, change.fromId);
      out += ", \"confirmed_id\": ";
      AppendInteger(out, change.confirmedId);
      out += ", \"shift\": ";
      AppendNumber(out, change.shift);
      out += '}';
    }
    out += aircraft.changes.empty() ? "]}" : "\n  ]}";
  }
  out += trends.aircraft.empty() ? "]}\n" : "\n]}\n";
  return out;
}

std::string TrendsCsv(const Trends& trends) {
  std::map<int, std::string> columns;  // by figure order
  for (const AircraftTrend& aircraft : trends.aircraft) {
    for (const TrendFlight& flight : aircraft.flights) {
      for (const auto& figure : flight.figures) {
        if (auto rank = TrendFigureRank(figure.first)) columns.emplace(*rank, figure.first);
      }
    }
  }
  std::string out = "aircraft,id,start";
  for (const auto& column : columns) out += "," + column.second;
  out += "\n";
  for (const AircraftTrend& aircraft : trends.aircraft) {
    for (const TrendFlight& flight : aircraft.flights) {
      out += CsvField(aircraft.name.value_or("")) + "," + std::to_string(flight.id) + "," +
             CsvField(flight.start.value_or(""));
      for (const auto& column : columns) {
        out += ",";
        if (auto value = FindFigure(flight, column.second)) AppendNumber(out, *value);
      }
      out += "\n";
    }
  }
  return out;
}

}  // namespace ovixlog
