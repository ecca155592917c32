#!/usr/bin/env bash
# Builds the module for PyPy (Debian's pypy3, pypy3-dev and pypy3-venv, installed here when missing) and runs the
# whole pytest suite on it, in a PyPy venv of its own. Fails when any test fails.
#
#   tools/run_pypy_tests.sh [pytest arguments...]
#
# Environment: VENV (default build/venv-pypy).
set -euo pipefail
cd "$(dirname "$0")/.."

VENV=${VENV:-build/venv-pypy}

# pypy3-venv brings the pip wheel that `pypy3 -m venv` puts into a new venv.
if ! dpkg -s pypy3 pypy3-dev pypy3-venv >/dev/null 2>&1; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends pypy3 pypy3-dev pypy3-venv >/dev/null
fi
[ -x "$VENV/bin/python" ] || pypy3 -m venv "$VENV"
"$VENV/bin/python" -m pip install --quiet pytest hypothesis
"$VENV/bin/python" -m pip install --quiet .
"$VENV/bin/python" -m pytest -q "$@"
