#!/usr/bin/env bash
# Builds the core and its GoogleTest suite with ThreadSanitizer and runs the suite: a large statement is read
# on two threads, and the tests of that reading must show no data race. Any report fails the run.
# Needs Debian's libgtest-dev and g++ (or CC/CXX naming another compiler with the ThreadSanitizer runtime).
set -euo pipefail
cd "$(dirname "$0")/.."

build="${BUILD_DIR:-build/tsan}"
jobs="$(nproc)"

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORLANE_TSAN=ON -DQUORLANE_PYTHON=OFF \
  -DQUORLANE_TESTS=ON -DQUORLANE_FUZZ=OFF -DQUORLANE_BENCH=OFF >/dev/null
cmake --build "$build" -j "$jobs"

export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
ctest --test-dir "$build" --output-on-failure -j "$jobs"
