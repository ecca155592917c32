#!/usr/bin/env bash
# Builds the core and its GoogleTest suite with sanitizers and runs the suite. Any report fails the run.
#   run_sanitized_core.sh          AddressSanitizer + UndefinedBehaviorSanitizer (LeakSanitizer comes with
#                                  AddressSanitizer on Linux)
#   run_sanitized_core.sh thread   ThreadSanitizer: a large statement is read on two threads
# Needs Debian's libgtest-dev and a compiler with the sanitizer runtimes (g++ brings them; for clang also
# libclang-rt-14-dev). The compiler can be chosen with CC/CXX; the build directory with BUILD_DIR.
set -euo pipefail
cd "$(dirname "$0")/.."

mode="${1:-address}"
case "$mode" in
  address) option=-DQUORLANE_SANITIZE=ON; build="${BUILD_DIR:-build/sanitize}" ;;
  thread) option=-DQUORLANE_TSAN=ON; build="${BUILD_DIR:-build/tsan}" ;;
  *) echo "usage: $0 [address|thread]" >&2; exit 2 ;;
esac
jobs="$(nproc)"

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$option" -DQUORLANE_PYTHON=OFF \
  -DQUORLANE_TESTS=ON -DQUORLANE_FUZZ=OFF -DQUORLANE_BENCH=OFF >/dev/null
cmake --build "$build" -j "$jobs"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
ctest --test-dir "$build" --output-on-failure -j "$jobs"
