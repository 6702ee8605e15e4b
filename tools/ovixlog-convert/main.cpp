// ovixlog-convert: converts engine monitor recordings to text or CSV tables.
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "converter.h"

int main(int argc, char** argv) {
  static char buffer[1 << 16];
  std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
  const std::vector<std::string> args(argv + 1, argv + argc);
  return ovixlog::RunConverter(args, stdout, std::cerr);
}
