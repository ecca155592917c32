#!/usr/bin/env bash
# Installs each wheel into a fresh virtual environment and reads the shipped sample statement with it:
#   x86_64 wheels with this machine's interpreter of the wheel's version (pyenv's, python3.X on PATH, pypy3);
#   aarch64 wheels under qemu-aarch64, with Debian's arm64 interpreters unpacked into ~/.cache/quorlane/qemu/
#   (outside the source tree, whose walk for the sdist would follow their links): CPython 3.9 (bullseye), 3.11
#   (bookworm), 3.13 (trixie) and PyPy 3.9 (bookworm). Debian has no 3.10 or 3.12: those wheels are only
#   checked by auditwheel.
#
#   tools/check_wheels.sh [--suite] [WHEEL...]        (default: dist/*.whl)
#
# Prints one line per wheel: the platform tag auditwheel gives it, whether the stub package is inside, and what
# was run. --suite also runs the pytest suite against the installed wheel (pytest, Hypothesis and mypy come from
# PyPI; for aarch64 their arm64 wheels are fetched on this machine). Fails when any check fails.
# Needs qemu-user for aarch64 and network access to PyPI and Debian's packages.
set -euo pipefail
cd "$(dirname "$0")/.."

suite=0
if [ "${1:-}" = --suite ]; then suite=1; shift; fi
wheels=("$@")
[ ${#wheels[@]} -gt 0 ] || wheels=(dist/*.whl)
repo="$PWD"
sample="$repo/quorlane/data/sample_statement.txt"
work="$repo/build/wheel-check"
qemu_roots="${XDG_CACHE_HOME:-$HOME/.cache}/quorlane/qemu"
mkdir -p "$work"
export PIP_DISABLE_PIP_VERSION_CHECK=1 PIP_ROOT_USER_ACTION=ignore

tools="$repo/build/wheel/tools"
[ -x "$tools/bin/python" ] || python3 -m venv "$tools"
"$tools/bin/python" -c 'import auditwheel' 2>/dev/null || "$tools/bin/python" -m pip install --quiet auditwheel

# What the installed module makes of the sample; the same line on every interpreter.
read_sample='
import platform, sys, quorlane_py
s = quorlane_py.parse(open(sys.argv[1], "rb").read())
print("%s %s %s: read the sample (%s, %d accounts, %d documents, %d warning(s))" % (
    platform.python_implementation(), platform.python_version(), platform.machine(),
    s.encoding, len(s.accounts), len(s.documents), len(s.warnings)))
'

# An x86_64 interpreter for a wheel's Python tag (cp311, pp39).
host_python() {
  local tag="$1" minor="${1:3}"
  case "$tag" in
    cp3*) ls -d "${PYENV_ROOT:-$HOME/.pyenv}"/versions/3."$minor".*/bin/python3."$minor" 2>/dev/null | sort -V |
            tail -n 1 | grep . || command -v python3."$minor" ;;
    pp3*) command -v pypy3 ;;
  esac
}

# Debian's arm64 interpreter for a wheel's Python tag, unpacked once into $qemu_roots/<release>-<package>;
# prints the folder and the interpreter's path in it.
# Returns 2 for a tag that Debian has no interpreter for.
arm64_python() {
  local release package program pip_wheel=python3-pip-whl
  case "$1" in
    cp39) release=bullseye package=python3.9-venv program=python3.9 pip_wheel=python-pip-whl ;;
    cp311) release=bookworm package=python3.11-venv program=python3.11 ;;
    cp313) release=trixie package=python3.13-venv program=python3.13 ;;
    pp39) release=bookworm package=pypy3 program=pypy3 ;;
    *) return 2 ;;
  esac
  local root="$qemu_roots/$release-$package"
  if [ ! -f "$root/.unpacked" ]; then
    # A private apt state for the release's arm64 packages: nothing of this machine's own apt is changed.
    local apt="$qemu_roots/apt-$release"
    if [ ! -f "$apt/apt.conf" ]; then
      mkdir -p "$apt/etc/apt/apt.conf.d" "$apt/etc/apt/preferences.d" "$apt/state/lists/partial" "$apt/status"
      touch "$apt/status/status"
      echo "deb [arch=arm64 signed-by=/usr/share/keyrings/debian-archive-keyring.gpg]" \
        "http://deb.debian.org/debian $release main" >"$apt/etc/apt/sources.list"
      printf '%s\n' "Dir::Etc \"$apt/etc/apt\";" "Dir::State \"$apt/state\";" \
        "Dir::State::status \"$apt/status/status\";" "Dir::Cache \"$apt/cache\";" \
        'APT::Architecture "arm64";' 'APT::Architectures { "arm64"; };' >"$apt/apt.conf"
      APT_CONFIG="$apt/apt.conf" apt-get update -qq >&2 || return 1
    fi
    rm -rf "$root" && mkdir -p "$root/debs/partial"
    APT_CONFIG="$apt/apt.conf" apt-get install -qq -y --download-only --no-install-recommends \
      -o Dir::Cache::archives="$root/debs" -o Debug::NoLocking=1 "$package" "$pip_wheel" >&2 || return 1
    for deb in "$root"/debs/*.deb; do dpkg-deb -x "$deb" "$root" || return 1; done
    # Releases with a merged /usr ship their files under usr/ only; base-files, which is not unpacked here,
    # would make the links.
    for dir in bin sbin lib; do
      [ -e "$root/$dir" ] || ln -s "usr/$dir" "$root/$dir"
    done
    touch "$root/.unpacked"
  fi
  echo "$root" "$root/usr/bin/$program"
}

# Runs the interpreter (host or under qemu) with the given arguments.
run_python() { "${runner[@]}" "$@"; }

check_one() {
  local wheel="$1" name tag arch
  name="$(basename "$wheel")"
  tag="$(echo "$name" | cut -d- -f3)"
  case "$name" in
    *_x86_64.whl) arch=x86_64 ;;
    *_aarch64.whl) arch=aarch64 ;;
    *) printf "%s: unknown platform;" "$name"; return 1 ;;
  esac

  local platform stubs
  platform="$("$tools/bin/auditwheel" show "$wheel" 2>/dev/null | tr '\n' ' ' |
    sed -n 's/.*following platform tag: *"\([^"]*\)".*/\1/p')"
  local listing
  listing="$(unzip -l "$wheel")"
  stubs="no stubs"
  grep -q ' quorlane_py-stubs/__init__.pyi$' <<<"$listing" && stubs="stubs inside"
  printf '%s: %s, %s; ' "$name" "${platform:-not manylinux}" "$stubs"
  [ -n "$platform" ] && [ "$stubs" = "stubs inside" ] || return 1

  local python venv="$work/$arch-$tag" runner=()
  rm -rf "$venv"
  if [ "$arch" = "$(uname -m)" ]; then
    python="$(host_python "$tag")" || { echo "no $tag interpreter here: install not checked"; return 0; }
    "$python" -m venv "$venv" >&2 || return 1
    run_python "$venv/bin/python" -m pip install --quiet --no-index --no-deps "$wheel" >&2 || return 1
    if [ "$suite" = 1 ]; then
      run_python "$venv/bin/python" -m pip install --quiet pytest hypothesis mypy >&2 || return 1
    fi
  else
    local root found
    local status=0
    found="$(arm64_python "$tag")" || status=$?
    case "$status" in
      0) ;;
      2) echo "no arm64 $tag interpreter in Debian: install not checked"; return 0 ;;
      *) return 1 ;;
    esac
    read -r root python <<<"$found"
    command -v "qemu-$arch" >/dev/null || { echo "qemu-$arch missing: install not checked"; return 1; }
    runner=("qemu-$arch" -L "$root")
    # venv's own pip would be installed by a child process, which cannot be started outside qemu; pip runs from
    # Debian's wheel of it instead.
    run_python "$python" -m venv --without-pip "$venv" >&2 || return 1
    local pip
    pip="$(ls "$root"/usr/share/python-wheels/pip-*.whl)/pip"
    run_python "$venv/bin/python" "$pip" install --quiet --no-index --no-deps "$wheel" >&2 || return 1
    if [ "$suite" = 1 ]; then
      local deps="$work/deps-$arch-$tag" version
      version="$(run_python "$venv/bin/python" -c 'import sys; print("%d.%d" % sys.version_info[:2])')"
      # The last three are dependencies below 3.11 only, which pip leaves out here: it reads the markers for
      # the interpreter it runs on.
      "$tools/bin/python" -m pip download --quiet --only-binary=:all: --platform "manylinux2014_$arch" \
        --python-version "$version" --implementation "${tag:0:2}" -d "$deps" pytest hypothesis mypy \
        exceptiongroup tomli typing_extensions >&2 || return 1
      run_python "$venv/bin/python" "$pip" install --quiet --no-index --find-links "$deps" \
        pytest hypothesis mypy >&2 || return 1
    fi
  fi
  (cd "$work" && run_python "$venv/bin/python" -c "$read_sample" "$sample") | tr -d '\n' || return 1
  if [ "$suite" = 1 ]; then
    local summary deselect=()
    # Under qemu-user a child process cannot start another aarch64 program (that needs binfmt_misc, which is
    # not set up here), so the tests that run the interpreter as a child process are left out.
    [ ${#runner[@]} -eq 0 ] ||
      deselect=(--deselect tests/python/test_example.py --deselect tests/python/test_stub.py)
    summary="$(cd "$repo" && run_python "$venv/bin/python" -m pytest -q -p no:cacheprovider "${deselect[@]}" \
      tests/python 2>&1 | tail -n 1)" || { printf '; pytest: %s' "$summary"; return 1; }
    printf '; pytest: %s' "$summary"
  fi
  echo
}

failed=0
for wheel in "${wheels[@]}"; do
  check_one "$wheel" 2>>"$work/check.log" || { echo " FAILED (log: $work/check.log)"; failed=1; }
done
exit "$failed"
