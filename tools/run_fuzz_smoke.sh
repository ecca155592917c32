#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer) and runs each
# for SECONDS seconds (first argument, default 60) starting from its kept corpus: fuzz/corpus/<name>/ for the
# target fuzz_<name>.
# A crash, a failed invariant, a leak, a timeout or running out of memory fails the run; the input that did
# it is left in build/fuzz-smoke/artifacts/. The kept corpus is only read: new inputs go to a scratch folder.
# Needs clang and libclang-rt-14-dev (Debian's clang 14 packages); CC/CXX choose another clang.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
build="${BUILD_DIR:-build/fuzz-smoke}"
export CC="${CC:-clang}" CXX="${CXX:-clang++}"

cmake -S . -B "$build" -DQUORLANE_FUZZ=ON -DQUORLANE_PYTHON=OFF -DQUORLANE_TESTS=OFF -DQUORLANE_BENCH=OFF \
  >/dev/null
cmake --build "$build" -j "$(nproc)"

targets="$(sed -n 's/^set(QUORLANE_FUZZ_TARGETS \(.*\))$/\1/p' fuzz/CMakeLists.txt)"
[ -n "$targets" ] || { echo "no fuzz targets found in fuzz/CMakeLists.txt" >&2; exit 1; }
mkdir -p "$build/artifacts"
status=0
for target in $targets; do
  corpus="fuzz/corpus/${target#fuzz_}"
  [ -d "$corpus" ] || { echo "no corpus $corpus for $target" >&2; status=1; continue; }
  scratch="$(mktemp -d)"
  echo "== $target: ${seconds}s from $corpus"
  if ! "$build/fuzz/$target" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=4096 -timeout=60 \
      -dict=fuzz/statement.dict -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" \
      "$scratch" "$corpus" >"$build/$target.log" 2>&1; then
    echo "FAILED: $target (log: $build/$target.log)" >&2
    tail -n 60 "$build/$target.log" >&2
    status=1
  else
    grep -E '^(stat::number_of_executed_units|Done )' "$build/$target.log" || true
  fi
  rm -rf "$scratch"
done
exit "$status"
