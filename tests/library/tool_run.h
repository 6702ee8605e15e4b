// Runs ovixlog-library's entry point in the test's process against one database, keeping what
// it writes to standard output and standard error.
#pragma once

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "library_tool.h"

namespace ovixlog::test {

struct ToolResult {
  int status = -1;
  std::string out;
  std::string err;
};

inline ToolResult RunTool(const std::string& db, std::vector<std::string> args) {
  args.insert(args.begin(), {"--db", db});
  std::FILE* out = std::tmpfile();
  std::ostringstream err;
  ToolResult result;
  result.status = RunLibraryTool(args, out, err);
  std::rewind(out);
  char block[4096];
  size_t n = 0;
  while ((n = std::fread(block, 1, sizeof block, out)) > 0)
    result.out.append(block, n);
  std::fclose(out);
  result.err = err.str();
  return result;
}

}  // namespace ovixlog::test
