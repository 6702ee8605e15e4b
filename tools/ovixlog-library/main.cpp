// ovixlog-library: every flight of the user's files in one searchable library.
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "library_tool.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  return ovixlog::RunLibraryTool(args, stdout, std::cerr);
}
