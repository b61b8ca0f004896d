#!/usr/bin/env bash
# Sets up the machine, builds everything and runs the whole test suite (unit, black-box
# over sockets, and the replay of the saved fuzz inputs).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default
ctest --preset default -j2
