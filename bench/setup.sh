#!/usr/bin/env bash
# Installs what the benchmarks need: the project's packages, plus Debian's nginx, the outside
# reference of bench_http (which starts its own, with its own configuration).
set -euo pipefail
exec "$(dirname "$0")/../scripts/setup.sh" nginx
