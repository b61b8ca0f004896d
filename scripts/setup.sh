#!/usr/bin/env bash
# Installs what the project builds and tests with, from Debian's packages only.
# Skips apt entirely when everything is already there.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  clang libclang-rt-14-dev      # the fuzz build (libFuzzer) and its sanitizers
  libgtest-dev libgmock-dev     # tests
  libbenchmark-dev              # benchmarks
  libpugixml-dev                # XML packets
  qt6-base-dev libgl-dev        # the tray program (Qt 6 Widgets)
  libxcb1-dev                   # window operations on X11 desktops
  fonts-wqy-microhei            # a CJK font: without one the desktop's Chinese texts are boxes
  xvfb xauth openbox            # tests on a real X server with a window manager
  trayer xdotool x11-utils      # the end-to-end run of the tray program
  curl                          # the README's examples
  libzint-dev libcups2-dev      # the real engines: barcodes, CUPS queues
  fonts-wqy-zenhei              # Chinese text in PDF labels and receipts
  cups                          # tests: a private CUPS server with its socket backend
  poppler-utils zbar-tools      # tests: PDF text and pages, barcodes read back
  valgrind                      # tests: the engines' own Qt thread leaves no memory error at exit
)
# Packages a caller needs beyond these, e.g. bench/setup.sh's nginx.
packages+=("$@")

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
