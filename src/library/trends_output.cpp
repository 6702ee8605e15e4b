#include "library/trends_output.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <map>

namespace ovixlog {
namespace {

void AppendJsonString(std::string& out, const std::string& text) {
  out += '"';
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

}  // namespace

std::string TrendNumber(double value) {
  std::string out;
  AppendNumber(out, value);
  return out;
}

std::string TrendsJson(const Trends& trends) {
  std::string out = "{\"aircraft\": [";
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
