#!/usr/bin/env bash
# Makes a CMake toolchain for one Zig target: Zig's clang with its own libc++ (linked statically) and, for
# *-linux-gnu.X.Y, the glibc symbol versions of that release, so the binaries run on any glibc from X.Y on.
#
#   tools/zig_toolchain.sh TARGET DIR    e.g. aarch64-linux-gnu.2.17, x86-linux-musl, x86_64-windows-gnu
#
# Writes DIR/c++, DIR/cc, DIR/ar, DIR/ranlib and DIR/toolchain.cmake and prints the toolchain's path. Zig comes
# from PyPI's `ziglang`, imported by $ZIG_PYTHON (default python3), which must already have it installed.
set -euo pipefail

target="$1"
dir="$(mkdir -p "$2" && cd "$2" && pwd)"
find_zig='import os, ziglang; print(os.path.join(os.path.dirname(ziglang.__file__), "zig"))'
zig="$("${ZIG_PYTHON:-python3}" -c "$find_zig")"
[ -x "$zig" ] || { echo "no zig binary at $zig" >&2; exit 1; }

arch="${target%%-*}"
os="$(echo "$target" | cut -d- -f2)"
case "$arch" in
  x86) processor=i686 ;;
  *) processor="$arch" ;;
esac
case "$os" in
  linux) system=Linux ;;
  windows) system=Windows ;;
  *) echo "unknown system in $target" >&2; exit 2 ;;
esac

# -mcpu=baseline: no instructions beyond the architecture's first level, whatever this machine has.
for tool in c++ cc; do
  printf '#!/bin/sh\nexec "%s" %s -target %s -mcpu=baseline "$@"\n' "$zig" "$tool" "$target" >"$dir/$tool"
done
for tool in ar ranlib; do
  printf '#!/bin/sh\nexec "%s" %s "$@"\n' "$zig" "$tool" >"$dir/$tool"
done
chmod +x "$dir/c++" "$dir/cc" "$dir/ar" "$dir/ranlib"

{
  # Naming the system makes CMake treat the build as a cross build even for this machine's own
  # architecture: nothing it builds is run during configuration, and no library or header of this machine
  # is found by find_* (dependencies come through CMAKE_FIND_ROOT_PATH or as given paths).
  echo "set(CMAKE_SYSTEM_NAME $system)"
  echo "set(CMAKE_SYSTEM_PROCESSOR $processor)"
  echo "set(CMAKE_C_COMPILER \"$dir/cc\")"
  echo "set(CMAKE_CXX_COMPILER \"$dir/c++\")"
  echo "set(CMAKE_AR \"$dir/ar\" CACHE FILEPATH \"\")"
  echo "set(CMAKE_RANLIB \"$dir/ranlib\" CACHE FILEPATH \"\")"
  # No C++ modules here, and CMake would look for a clang-scan-deps that Zig does not ship.
  echo 'set(CMAKE_CXX_SCAN_FOR_MODULES OFF)'
  echo 'set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)'
  echo 'set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)'
  echo 'set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)'
  echo 'set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)'
} >"$dir/toolchain.cmake"
echo "$dir/toolchain.cmake"
