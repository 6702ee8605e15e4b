// ovixlog-library: every flight of the user's files in one searchable library.
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "library_tool.h"

int main(int argc, char** argv) {
  // Past a file-size limit a write fails with "File too large" and is reported; the signal's
  // default would kill the program part way through a transaction.
  std::signal(SIGXFSZ, SIG_IGN);
  const std::vector<std::string> args(argv + 1, argv + argc);
  return ovixlog::RunLibraryTool(args, stdout, std::cerr);
}
