#!/usr/bin/env bash
# Installs Debian's packages that building the module and running every test need: the C++ compiler, CMake,
# GoogleTest's sources, the Python headers and venv module of Debian's python3 (Debian's python3 installs
# packages only into a virtual environment), and the Java runtime that the Spark recipe's test runs PySpark on.
# Run as root, or as a user who may sudo.
set -euo pipefail

packages=(g++ make cmake libgtest-dev python3-dev python3-venv openjdk-17-jre-headless)
sudo=()
[ "$(id -u)" = 0 ] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${packages[@]}" >/dev/null
