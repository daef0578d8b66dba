// The one way a fuzz target reports a broken promise: it names the check
// and its line, then traps, so libFuzzer keeps the input as a crash.
#pragma once

#include <cstdio>

namespace mailsift::fuzz {

[[noreturn]] inline void failAt(const char* file, int line, const char* check) {
  std::fprintf(stderr, "%s:%d: broken: %s\n", file, line, check);
  __builtin_trap();
}

}  // namespace mailsift::fuzz

// Fails the run when `condition` holds.
#define FUZZ_FAIL_IF(condition)                                              \
  do {                                                                       \
    if (condition) ::mailsift::fuzz::failAt(__FILE__, __LINE__, #condition); \
  } while (false)
