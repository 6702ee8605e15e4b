#include "library/trend_rows.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string_view>

namespace ovixlog {
namespace {

// A strict JSON scanner for one flight's stored figures. The trend reads ten thousand of them
// at a time, so it walks the text once without building a tree or copying it, telling the
// reader only what it needs: objects and arrays opened and closed, keys and numbers. Anything
// that is not JSON (bad escapes, bytes that are not UTF-8, numbers out of range) makes the
// whole text unreadable, as a JSON parser would; so does nesting deeper than any figures go,
// which would otherwise run the scan's recursion out of stack.
class FigureScanner {
 public:
  explicit FigureScanner(std::string_view text) : p_(text.data()), end_(text.data() + text.size()) {}

  // Scans one value; what follows it is not looked at. False if the text is not JSON or the
  // reader stops.
  template <typename Reader>
  bool Value(Reader& reader) {
    SkipSpace();
    if (p_ == end_) return false;
    if (*p_ == '{' || *p_ == '[') {
      if (nesting_ == kMaxNesting) return false;
      ++nesting_;
      const bool read = Container(reader);
      --nesting_;
      return read;
    }
    switch (*p_) {
      case '"':
        return String(nullptr);
      case 't':
        return Word("true");
      case 'f':
        return Word("false");
      case 'n':
        return Word("null");
      default: {
        double value = 0.0;
        return Number(value) && reader.Number(value);
      }
    }
  }

 private:
  static constexpr int kMaxNesting = 256;

  // An object or an array at p_.
  template <typename Reader>
  bool Container(Reader& reader) {
    switch (*p_) {
      case '{': {
        ++p_;
        if (!reader.StartObject()) return false;
        SkipSpace();
        if (p_ != end_ && *p_ == '}') {
          ++p_;
          return reader.EndObject();
        }
        for (;;) {
          SkipSpace();
          if (!String(&key_)) return false;
          reader.Key(key_);
          SkipSpace();
          if (p_ == end_ || *p_ != ':') return false;
          ++p_;
          if (!Value(reader)) return false;
          SkipSpace();
          if (p_ == end_) return false;
          if (*p_ == '}') {
            ++p_;
            return reader.EndObject();
          }
          if (*p_++ != ',') return false;
        }
      }
      case '[': {
        ++p_;
        if (!reader.StartArray()) return false;
        SkipSpace();
        if (p_ != end_ && *p_ == ']') {
          ++p_;
          return reader.EndArray();
        }
        for (;;) {
          if (!Value(reader)) return false;
          SkipSpace();
          if (p_ == end_) return false;
          if (*p_ == ']') {
            ++p_;
            return reader.EndArray();
          }
          if (*p_++ != ',') return false;
        }
      }
      default:
        return false;
    }
  }

  void SkipSpace() {
    while (p_ != end_ && (*p_ == ' ' || *p_ == '\n' || *p_ == '\r' || *p_ == '\t')) ++p_;
  }

  bool Word(std::string_view word) {
    if (static_cast<std::size_t>(end_ - p_) < word.size() ||
        std::string_view(p_, word.size()) != word) {
      return false;
    }
    p_ += word.size();
    return true;
  }

  static int Hex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  }

  bool Hex4(unsigned& code) {
    if (end_ - p_ < 4) return false;
    code = 0;
    for (int i = 0; i < 4; ++i) {
      const int digit = Hex(*p_++);
      if (digit < 0) return false;
      code = code * 16 + static_cast<unsigned>(digit);
    }
    return true;
  }

  static void AppendUtf8(std::string& out, unsigned code) {
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (code >> 18));
      out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }

  // One UTF-8 sequence of two to four bytes starting at p_ (a byte of 0x80 or more), checked
  // as RFC 3629 defines it: no overlong forms, no surrogates, nothing past U+10FFFF.
  bool Utf8(std::string* out) {
    const auto byte = [this](std::ptrdiff_t i) { return static_cast<unsigned char>(p_[i]); };
    const unsigned char lead = byte(0);
    int length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (end_ - p_ < length || byte(1) < low || byte(1) > high) return false;
    for (int i = 2; i < length; ++i) {
      if (byte(i) < 0x80 || byte(i) > 0xBF) return false;
    }
    if (out != nullptr) out->append(p_, static_cast<std::size_t>(length));
    p_ += length;
    return true;
  }

  // A string at p_; its text decoded into `out` when one is given.
  bool String(std::string* out) {
    if (p_ == end_ || *p_ != '"') return false;
    ++p_;
    if (out != nullptr) out->clear();
    for (;;) {
      // The plain run up to the next quote, escape, control byte or non-ASCII byte.
      const char* run = p_;
      while (p_ != end_ && *p_ != '"' && *p_ != '\\' &&
             static_cast<unsigned char>(*p_) >= 0x20 && static_cast<unsigned char>(*p_) < 0x80) {
        ++p_;
      }
      if (out != nullptr) out->append(run, static_cast<std::size_t>(p_ - run));
      if (p_ == end_) return false;
      const auto c = static_cast<unsigned char>(*p_);
      if (c == '"') {
        ++p_;
        return true;
      }
      if (c < 0x20) return false;
      if (c >= 0x80) {
        if (!Utf8(out)) return false;
        continue;
      }
      // An escape.
      if (++p_ == end_) return false;
      const char escaped = *p_++;
      char plain = 0;
      switch (escaped) {
        case '"': plain = '"'; break;
        case '\\': plain = '\\'; break;
        case '/': plain = '/'; break;
        case 'b': plain = '\b'; break;
        case 'f': plain = '\f'; break;
        case 'n': plain = '\n'; break;
        case 'r': plain = '\r'; break;
        case 't': plain = '\t'; break;
        case 'u': {
          unsigned code = 0;
          if (!Hex4(code)) return false;
          if (code >= 0xDC00 && code <= 0xDFFF) return false;  // a low surrogate alone
          if (code >= 0xD800 && code <= 0xDBFF) {
            unsigned second = 0;
            if (end_ - p_ < 2 || p_[0] != '\\' || p_[1] != 'u') return false;
            p_ += 2;
            if (!Hex4(second) || second < 0xDC00 || second > 0xDFFF) return false;
            code = 0x10000 + ((code - 0xD800) << 10) + (second - 0xDC00);
          }
          if (out != nullptr) AppendUtf8(*out, code);
          continue;
        }
        default:
          return false;
      }
      if (out != nullptr) *out += plain;
    }
  }

  // A number as JSON writes them: -? (0 | [1-9][0-9]*) (. [0-9]+)? ([eE] [+-]? [0-9]+)?,
  // finite once read.
  bool Number(double& value) {
    const char* start = p_;
    const auto digits = [this] {
      const char* from = p_;
      while (p_ != end_ && *p_ >= '0' && *p_ <= '9') ++p_;
      return p_ != from;
    };
    if (p_ != end_ && *p_ == '-') ++p_;
    if (p_ == end_) return false;
    if (*p_ == '0') {
      ++p_;
    } else if (!digits()) {
      return false;
    }
    if (p_ != end_ && *p_ == '.') {
      ++p_;
      if (!digits()) return false;
    }
    if (p_ != end_ && (*p_ == 'e' || *p_ == 'E')) {
      ++p_;
      if (p_ != end_ && (*p_ == '+' || *p_ == '-')) ++p_;
      if (!digits()) return false;
    }
    const auto result = std::from_chars(start, p_, value);
    if (result.ec == std::errc::result_out_of_range) {
      // Too large is an error; too small reads as the nearest number there is, zero at least.
      const std::string copy(start, p_);
      value = std::strtod(copy.c_str(), nullptr);
    } else if (result.ec != std::errc() || result.ptr != p_) {
      return false;
    }
    value += 0.0;  // -0 reads as 0
    return std::isfinite(value);
  }

  const char* p_;
  const char* end_;
  int nesting_ = 0;
  std::string key_;
};

// Picks out of a flight's stored figures the numbers of the top-level "cruise" object (as
// cruise_NAME, straight into the row), the top-level spreads and the CHT maxima. Everything
// else (the run's lists, other objects) is skipped as it streams past.
class FigureReader {
 public:
  explicit FigureReader(TrendFlightRow& row) : row_(row) {}

  bool sawCruise = false;
  std::vector<std::pair<std::string, double>> spreads;
  std::optional<double> highestCht;

  bool StartObject() {
    if (depth_ == 1 && key_ == "cruise") {
      sawCruise = true;
      inCruise_ = true;
    } else if (depth_ == 1 && key_ == "max") {
      inMax_ = true;
    }
    ++depth_;
    return true;
  }
  bool EndObject() {
    --depth_;
    if (depth_ == 1) inCruise_ = inMax_ = false;
    return true;
  }
  bool StartArray() {
    if (depth_ == 0) return false;  // not an object at all
    ++depth_;
    return true;
  }
  bool EndArray() {
    --depth_;
    return true;
  }
  void Key(const std::string& name) { key_ = name; }

  bool Number(double value) {
    if (depth_ == 2 && inCruise_) {
      // The cruise's place and length, speed and height are no trend figures.
      if (key_.rfind("EGT", 0) == 0 || key_.rfind("CHT", 0) == 0 || key_ == "OilT" ||
          key_ == "OilP" || key_ == "Volt" || key_ == "Flow") {
        row_.figures.emplace_back("cruise_" + key_, value);
      }
    } else if (depth_ == 2 && inMax_ && key_.rfind("CHT", 0) == 0) {
      highestCht = std::max(highestCht.value_or(value), value);
    } else if (depth_ == 1 && (key_ == "egt_spread_cruise" || key_ == "cht_spread_cruise" ||
                               key_ == "gami_spread")) {
      spreads.emplace_back(key_, value);
    }
    return depth_ > 0;  // a bare number is no object
  }

 private:
  TrendFlightRow& row_;
  int depth_ = 0;
  bool inCruise_ = false;
  bool inMax_ = false;
  std::string key_;
};

}  // namespace

TrendFlightRow TrendRowFromFigures(int64_t id, const std::optional<std::string>& aircraft,
                                   const std::optional<std::string>& start, int64_t position,
                                   const std::string& figuresJson) {
  TrendFlightRow row;
  row.id = id;
  row.aircraft = aircraft;
  row.order = id;
  if (start) {
    row.startUtcMs = position;
    row.start = *start;
  }
  FigureReader reader(row);
  const bool parsed = FigureScanner(figuresJson).Value(reader);
  if (!parsed || !reader.sawCruise) {
    row.hasCruise = false;
    row.figures.clear();
    return row;
  }
  row.hasCruise = true;
  for (auto& [name, value] : reader.spreads) row.figures.emplace_back(std::move(name), value);
  // The highest CHT of the run: the greatest of the cylinders' maxima.
  if (reader.highestCht) row.figures.emplace_back("max_CHT", *reader.highestCht);
  return row;
}

std::vector<TrendFlightRow> TrendRowsFromLibrary(const std::vector<FlightRow>& flights) {
  std::vector<TrendFlightRow> rows;
  rows.reserve(flights.size());
  int64_t position = 0;
  for (const FlightRow& flight : flights) {
    rows.push_back(
        TrendRowFromFigures(flight.id, flight.aircraft, flight.start, position++, flight.figures));
  }
  return rows;
}

}  // namespace ovixlog
