#!/usr/bin/env bash
# Builds the core's GoogleTest suite for other platforms with Zig's cross compilers and runs it there:
#   aarch64   aarch64-linux-musl, static, under qemu-aarch64 (Debian's qemu-user)
#   x86       x86-linux-musl (32-bit), static, run directly (the kernel runs 32-bit programs)
#   windows   x86_64-windows-gnu, under wine (Debian's wine and wine64)
#
#   tools/run_cross_tests.sh [aarch64|x86|windows ...]     (default: all three)
#
# Prints one line per target, "TARGET: N passed, M failed, K skipped" (or why it did not run), and fails when
# any target failed to build or run or any test failed. GoogleTest is built from Debian's sources in
# /usr/src/googletest with the same compiler. Missing Debian packages are installed when run as root; Zig
# comes from PyPI into a virtual environment under build/cross/. The first build for a target also builds
# Zig's C and C++ libraries for it (a few minutes; kept in Zig's cache, ~/.cache/zig, for later runs).
set -euo pipefail
cd "$(dirname "$0")/.."

targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(aarch64 x86 windows)
root="$PWD/build/cross"
jobs="${JOBS:-2}"
mkdir -p "$root"

apt_install() {
  [ "$(id -u)" = 0 ] || { echo "missing Debian packages: $* (run as root to install them)" >&2; return 1; }
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$@" >/dev/null
}
[ -f /usr/src/googletest/CMakeLists.txt ] || apt_install libgtest-dev

if [ ! -x "$root/venv/bin/python" ]; then
  python3 -m venv "$root/venv"
fi
"$root/venv/bin/python" -c 'import ziglang' 2>/dev/null || "$root/venv/bin/python" -m pip install --quiet ziglang

# Builds GoogleTest and the core's suite for one Zig target (every step checked: `set -e` does not reach a
# function called as a condition).
build_suite() {
  local target="$1" dir="$root/$1" toolchain
  toolchain="$(ZIG_PYTHON="$root/venv/bin/python" tools/zig_toolchain.sh "$target" "$dir/zig")" || return 1
  if [ ! -f "$dir/gtest/.installed" ]; then
    cmake -S /usr/src/googletest -B "$dir/gtest-build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
      -DCMAKE_BUILD_TYPE=Release -DBUILD_GMOCK=OFF -DINSTALL_GTEST=ON -DCMAKE_INSTALL_PREFIX="$dir/gtest" &&
      cmake --build "$dir/gtest-build" -j "$jobs" &&
      cmake --install "$dir/gtest-build" &&
      touch "$dir/gtest/.installed" || return 1
  fi
  cmake -S . -B "$dir/core" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_FIND_ROOT_PATH="$dir/gtest" \
    -DCMAKE_BUILD_TYPE=Release -DQUORLANE_PYTHON=OFF -DQUORLANE_TESTS=ON &&
    cmake --build "$dir/core" --target core_tests -j "$jobs"
}

# Runs the suite with the given runner; prints the result line from GoogleTest's summary.
run_suite() {
  local name="$1" log="$root/$1.log"
  shift
  local status=0
  "$@" "$program" --gtest_color=no >"$log" 2>&1 || status=$?
  local passed failed skipped
  passed="$(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\?\..*/\1/p' "$log" | tail -n 1)"
  failed="$(sed -n 's/^\[  FAILED  \] \([0-9]*\) tests\?, listed below:.*/\1/p' "$log" | tail -n 1)"
  skipped="$(sed -n 's/^\[  SKIPPED \] \([0-9]*\) tests\?, listed below:.*/\1/p' "$log" | tail -n 1)"
  if [ -z "$passed" ]; then
    echo "$name: did not finish (exit $status; log: $log)"
    return 1
  fi
  echo "$name: ${passed} passed, ${failed:-0} failed, ${skipped:-0} skipped"
  [ "$status" = 0 ] && [ "${failed:-0}" = 0 ]
}

overall=0
for name in "${targets[@]}"; do
  case "$name" in
    aarch64)
      target=aarch64-linux-musl
      command -v qemu-aarch64 >/dev/null || apt_install qemu-user
      runner=(qemu-aarch64)
      ;;
    x86) target=x86-linux-musl; runner=(env) ;;
    windows)
      target=x86_64-windows-gnu
      command -v wine >/dev/null || apt_install wine wine64
      # A prefix of our own, made once, outside the source tree: its drive Z: links to /, which a walk of the
      # tree (the sdist's) would follow. No debugger pops up for a crash, and wine's own chatter is off.
      export WINEPREFIX="${XDG_CACHE_HOME:-$HOME/.cache}/quorlane/wine" WINEDEBUG=-all
      # Wine makes the prefix itself, but not the folders above it, which a new machine does not have.
      mkdir -p "$(dirname "$WINEPREFIX")"
      runner=(wine)
      ;;
    *) echo "unknown target $name (aarch64, x86 or windows)" >&2; exit 2 ;;
  esac
  if ! build_suite "$target" >"$root/$name-build.log" 2>&1; then
    echo "$name: build failed (log: $root/$name-build.log)"
    tail -n 30 "$root/$name-build.log" >&2
    overall=1
    continue
  fi
  program="$root/$target/core/tests/core/core_tests"
  [ -f "$program" ] || program="$program.exe"
  run_suite "$name" "${runner[@]}" || overall=1
done
exit "$overall"
