#include "fuzz_input.h"

#include <cstdio>
#include <cstdlib>

namespace ovixlog::fuzz {

void Check(bool condition, const char* what) {
  if (condition)
    return;
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

}  // namespace ovixlog::fuzz
