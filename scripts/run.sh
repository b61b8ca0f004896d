#!/usr/bin/env bash
# Sets up the machine, builds the program and starts it in the foreground (Ctrl+C stops it).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default --target TallyReportSrv
exec build/TallyReportSrv
