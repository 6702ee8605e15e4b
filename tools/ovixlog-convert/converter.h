// The batch converter: imports a raw serial capture or an EFIS DEMO recording through the
// sample log document, exactly as the window does, and writes the table as text or CSV.
#pragma once

#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

namespace ovixlog {

// Exit statuses of the converter.
inline constexpr int kConvertOk = 0;
inline constexpr int kConvertFailed = 1;
inline constexpr int kConvertUsage = 2;

std::string ConverterUsage();

// Runs the converter on `args` (without the program name). The table goes to `out` when no
// output file is named; messages go to `err`. Returns the exit status.
int RunConverter(const std::vector<std::string>& args, std::FILE* out, std::ostream& err);

}  // namespace ovixlog
