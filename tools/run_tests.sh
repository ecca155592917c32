#!/usr/bin/env bash
# Installs the package and runs every test: the core's GoogleTest suite (through CTest), then pytest.
# Needs Debian's libgtest-dev (see README.md); installs the Java runtime and LibreOffice Calc that some tests hand
# their outputs to, when they are missing. Exits non-zero when any test fails.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v java >/dev/null || ! command -v soffice >/dev/null; then
  ./tools/install_debian_packages.sh --tests
fi
python3 -m pip install --quiet ".[test,test-arrow]"

cmake -S . -B build/tests -DQUORLANE_PYTHON=OFF >/dev/null
cmake --build build/tests -j "$(nproc)"
ctest --test-dir build/tests --output-on-failure -j "$(nproc)"

python3 -m pytest -q
