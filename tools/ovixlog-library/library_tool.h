// The flight library's command line: add, scan, list, show, export, trend, check and
// label.
#pragma once

#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

namespace ovixlog {

inline constexpr int kLibraryOk = 0;
inline constexpr int kLibraryFailed = 1;
inline constexpr int kLibraryUsage = 2;

// Runs the tool on `args` (without the program name); results go to `out`, messages and
// the progress bar to `err`. Returns the exit status.
int RunLibraryTool(const std::vector<std::string>& args, std::FILE* out, std::ostream& err);

}  // namespace ovixlog
