#!/usr/bin/env bash
# Installs Debian's packages that building the module needs: the C++ compiler, CMake, GoogleTest's sources, and
# the Python headers and venv module of Debian's python3 (Debian's python3 installs packages only into a virtual
# environment). With --tests, also what some tests hand their outputs to: the Java runtime that the Spark recipe
# runs PySpark on, and LibreOffice Calc, which opens the spreadsheets as a bookkeeper's program does.
# Run as root, or as a user who may sudo.
set -euo pipefail

packages=(g++ make cmake libgtest-dev python3-dev python3-venv)
if [ "${1:-}" = --tests ]; then
  packages+=(openjdk-17-jre-headless libreoffice-calc-nogui)
fi
sudo=()
[ "$(id -u)" = 0 ] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${packages[@]}" >/dev/null
