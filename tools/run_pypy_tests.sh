#!/usr/bin/env bash
# Builds the module for PyPy (Debian's pypy3 and pypy3-dev, installed here when missing) and runs the whole
# pytest suite on it, in a PyPy venv of its own. Fails when any test fails.
#
#   tools/run_pypy_tests.sh [pytest arguments...]
#
# Environment: VENV (default build/venv-pypy).
set -euo pipefail
cd "$(dirname "$0")/.."

VENV=${VENV:-build/venv-pypy}

if ! command -v pypy3 >/dev/null || [ ! -e /usr/include/pypy3.9/Python.h ]; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends pypy3 pypy3-dev >/dev/null
fi
[ -x "$VENV/bin/python" ] || pypy3 -m venv "$VENV"
"$VENV/bin/python" -m pip install --quiet pytest hypothesis
"$VENV/bin/python" -m pip install --quiet .
"$VENV/bin/python" -m pytest -q "$@"
