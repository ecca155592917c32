#!/usr/bin/env bash
# Builds the core and its GoogleTest suite with AddressSanitizer and UndefinedBehaviorSanitizer (LeakSanitizer
# comes with AddressSanitizer on Linux) and runs the suite. Any report fails the run.
# Needs Debian's libgtest-dev and a compiler with the sanitizer runtimes (g++ brings them; for clang also
# libclang-rt-14-dev). The compiler can be chosen with CC/CXX; the build directory with BUILD_DIR.
set -euo pipefail
cd "$(dirname "$0")/.."

build="${BUILD_DIR:-build/sanitize}"
jobs="$(nproc)"

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORLANE_SANITIZE=ON -DQUORLANE_PYTHON=OFF \
  -DQUORLANE_TESTS=ON -DQUORLANE_FUZZ=OFF -DQUORLANE_BENCH=OFF >/dev/null
cmake --build "$build" -j "$jobs"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
ctest --test-dir "$build" --output-on-failure -j "$jobs"
