#include "analysis/limits.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>

#include "format/column_set.h"

namespace ovixlog {
namespace {

std::string_view Trim(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos)
    return {};
  const size_t last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

bool IsGroup(std::string_view key) {
  return key == "CHT" || key == "EGT";
}

bool KnownKey(std::string_view key) {
  return IsGroup(key) || ColumnFromTitle(key).has_value();
}

std::string MapKey(std::string_view column, LimitKind kind) {
  return std::string(column) + "." + std::string(LimitKindName(kind));
}

std::optional<double> ParseNumber(std::string_view text) {
  const std::string copy(text);
  if (copy.empty())
    return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(copy.c_str(), &end);
  if (errno != 0 || *end != '\0' || !std::isfinite(value))
    return std::nullopt;
  return value;
}

// The first control character of `line` (tabs and carriage returns are white space), if any.
std::optional<size_t> ControlCharacterAt(std::string_view line) {
  for (size_t i = 0; i < line.size(); ++i) {
    const auto byte = static_cast<unsigned char>(line[i]);
    if ((byte < 0x20 && byte != '\t' && byte != '\r') || byte == 0x7f)
      return i;
  }
  return std::nullopt;
}

}  // namespace

std::string ExactNumberText(double value) {
  // A double has at most 17 significant digits, but a small one needs more decimals than that;
  // 330 holds any double in plain decimals.
  char buffer[400];
  for (int decimals = 0; decimals <= 340; ++decimals) {
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    if (std::strtod(buffer, nullptr) == value)
      break;
  }
  std::string text = buffer;
  if (text == "-0")
    text = "0";
  return text;
}

std::string_view LimitKindName(LimitKind kind) {
  return kind == LimitKind::kMax ? "max" : "min";
}

Limits Limits::Defaults() {
  Limits limits;
  limits.Set("CHT", LimitKind::kMax, 435);
  limits.Set("EGT", LimitKind::kMax, 1650);
  limits.Set("OilT", LimitKind::kMax, 245);
  limits.Set("OilP", LimitKind::kMin, 25);
  limits.Set("Volt", LimitKind::kMin, 12.0);
  limits.Set("Volt", LimitKind::kMax, 15.0);
  return limits;
}

bool Limits::Set(const std::string& key, LimitKind kind, std::optional<double> value) {
  if (!KnownKey(key))
    return false;
  if (value)
    values_[MapKey(key, kind)] = *value;
  else
    values_.erase(MapKey(key, kind));
  return true;
}

std::optional<double> Limits::Get(const std::string& key, LimitKind kind) const {
  const auto found = values_.find(MapKey(key, kind));
  if (found == values_.end())
    return std::nullopt;
  return found->second;
}

bool Limits::Apply(std::string_view text, const std::string& name, std::string& error) {
  Limits result = *this;
  std::set<std::string> seen;
  bool inSection = false;
  int lineNumber = 0;
  size_t pos = 0;
  // Many editors begin a UTF-8 file with a byte-order mark.
  if (text.substr(0, 3) == "\xEF\xBB\xBF")
    pos = 3;
  while (pos <= text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos)
      end = text.size();
    const std::string_view line = Trim(text.substr(pos, end - pos));
    pos = end + 1;
    ++lineNumber;
    const auto fail = [&](const std::string& why) {
      error = name + ":" + std::to_string(lineNumber) + ": " + why;
      return false;
    };
    if (const std::optional<size_t> at = ControlCharacterAt(line)) {
      char code[8];
      std::snprintf(code, sizeof code, "0x%02X", static_cast<unsigned char>(line[*at]));
      return fail(std::string("a control character (") + code + ") at column " +
                  std::to_string(*at + 1) + "; the file must be plain text");
    }
    if (line.empty() || line[0] == '#' || line[0] == ';')
      continue;
    if (line.front() == '[') {
      if (line != "[limits]")
        return fail("unknown section " + std::string(line) + " (only [limits])");
      inSection = true;
      continue;
    }
    if (!inSection)
      return fail("a limit before the [limits] line");
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos)
      return fail("expected COLUMN.max = VALUE or COLUMN.min = VALUE");
    const std::string_view key = Trim(line.substr(0, equals));
    std::string_view valueText = line.substr(equals + 1);
    // A comment may follow the value.
    valueText = Trim(valueText.substr(0, valueText.find_first_of("#;")));
    const size_t dot = key.rfind('.');
    if (dot == std::string_view::npos)
      return fail("expected COLUMN.max or COLUMN.min before '='");
    const std::string_view column = key.substr(0, dot);
    const std::string_view kindText = key.substr(dot + 1);
    if (kindText != "max" && kindText != "min")
      return fail("the kind must be max or min, not '" + std::string(kindText) + "'");
    if (!KnownKey(column))
      return fail("unknown column '" + std::string(column) + "'");
    if (!seen.insert(std::string(key)).second)
      return fail(std::string(key) + " is set twice");
    const LimitKind kind = kindText == "max" ? LimitKind::kMax : LimitKind::kMin;
    if (valueText == "off") {
      result.Set(std::string(column), kind, std::nullopt);
      continue;
    }
    const std::optional<double> value = ParseNumber(valueText);
    if (!value)
      return fail("'" + std::string(valueText) + "' is not a number (or off)");
    if (std::fabs(*value) > kLargestLimit)
      return fail("'" + std::string(valueText) + "' is out of range (-100000 to 100000)");
    result.Set(std::string(column), kind, *value);
  }
  *this = std::move(result);
  return true;
}

std::optional<Limits> Limits::Load(const std::string& path, bool required, std::string& error) {
  Limits limits = Defaults();
  std::error_code ignored;
  if (!required && !std::filesystem::exists(path, ignored))
    return limits;
  // Opened without blocking, so that a FIFO named as the file cannot hang the program, and
  // checked before a byte is read: a folder or a device is no limits file.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    error = path + ": cannot be read";
    return std::nullopt;
  }
  struct stat st {};
  const bool statted = ::fstat(fd, &st) == 0;
  const auto fail = [&](const std::string& why) {
    ::close(fd);
    error = path + ": " + why;
    return std::nullopt;
  };
  if (!statted || !S_ISREG(st.st_mode))
    return fail("not a regular file");
  if (static_cast<uint64_t>(st.st_size) > kLargestLimitsFile)
    return fail("larger than 1 MB, not a limits file");
  std::string text;
  char buffer[8192];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      return fail("cannot be read");
    if (n == 0)
      break;
    text.append(buffer, static_cast<size_t>(n));
    if (text.size() > kLargestLimitsFile)
      return fail("larger than 1 MB, not a limits file");
  }
  ::close(fd);
  if (!limits.Apply(text, path, error))
    return std::nullopt;
  return limits;
}

std::string Limits::DefaultPath() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::string base;
  if (config != nullptr && config[0] == '/') {
    base = config;
  } else {
    const char* home = std::getenv("HOME");
    base = std::string(home != nullptr ? home : "") + "/.config";
  }
  return base + "/ovixlog/limits.ini";
}

std::vector<ColumnLimit> Limits::ForModel(EngineModel model) const {
  const ColumnSet set = ColumnSetFor(model);
  std::vector<ColumnLimit> out;
  const auto add = [&](SampleColumn column, const std::string& group) {
    for (LimitKind kind : {LimitKind::kMax, LimitKind::kMin}) {
      std::optional<double> value = Get(ColumnTitle(column), kind);
      if (!value && !group.empty())
        value = Get(group, kind);
      if (value)
        out.push_back({column, kind, *value});
    }
  };
  add({SampleColumn::Field::kTach, 0}, "");
  for (int i = 0; i < set.chtCount; ++i)
    add({SampleColumn::Field::kCht, i}, "CHT");
  for (int i = 0; i < set.egtCount; ++i)
    add({SampleColumn::Field::kEgt, i}, "EGT");
  for (SampleColumn::Field field :
       {SampleColumn::Field::kOilT, SampleColumn::Field::kOilP, SampleColumn::Field::kOat,
        SampleColumn::Field::kVolt, SampleColumn::Field::kFlow, SampleColumn::Field::kAspd,
        SampleColumn::Field::kAlt}) {
    add({field, 0}, "");
  }
  return out;
}

std::string Limits::ToIni() const {
  std::string text = "[limits]\n";
  for (const auto& [key, value] : values_)
    text += key + " = " + ExactNumberText(value) + "\n";
  for (const auto& [key, value] : Defaults().values_) {
    if (values_.count(key) == 0)
      text += key + " = off\n";
  }
  return text;
}

}  // namespace ovixlog
