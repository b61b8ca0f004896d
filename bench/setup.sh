#!/usr/bin/env bash
# Installs what the benchmarks alone need beyond scripts/setup.sh: Debian's nginx, the
# outside reference of bench_http. Skips apt entirely when it is already there.
set -euo pipefail

packages=(nginx)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update
# The benchmark starts its own nginx with its own configuration; the system service that the
# package would start is not wanted.
RUNLEVEL=1 DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
