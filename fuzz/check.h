// The fuzz targets' invariant check: names the failed invariant before stopping, since traps of different
// checks may be merged into one by the compiler.
#pragma once

#include <cstdio>

#define check(condition)                                                                       \
  do {                                                                                         \
    if (!(condition)) {                                                                        \
      std::fprintf(stderr, "invariant failed at %s:%d: %s\n", __FILE__, __LINE__, #condition); \
      __builtin_trap();                                                                        \
    }                                                                                          \
  } while (false)
