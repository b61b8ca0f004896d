#!/usr/bin/env bash
# Sets up the Windows build on top of the Linux one: Debian's MinGW-w64 cross compiler and
# Wine, plus the sources of what the Windows build links and Debian ships for Linux only
# (GoogleTest's source comes with libgtest-dev; pugixml's from its Debian source package,
# which needs a deb-src entry). scripts/windows-deps.sh then builds both into the build tree.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix \
  binutils-mingw-w64-x86-64 wine wine64 dpkg-dev

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"

sources=/etc/apt/sources.list.d/tallyreportsrv-deb-src.sources
if [ ! -f "$sources" ]; then
  echo "Adding Debian's source packages to apt ($sources)"
  $sudo tee "$sources" >/dev/null <<'LIST'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
LIST
  $sudo apt-get update
fi

# The pugixml source package, unpacked once under third_party/ (not tracked by git).
if ! ls third_party/pugixml-*/src/pugixml.cpp >/dev/null 2>&1; then
  mkdir -p third_party
  (cd third_party && apt-get source --only-source pugixml)
fi

# The Windows tests run on a Chinese system (ANSI code page 936), which Wine takes from
# LC_ALL=zh_CN.UTF-8. Wine also names the files of the Windows side in that locale's
# character set, so without the locale itself non-ASCII file names cannot be created.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
  echo "Generating the zh_CN.UTF-8 locale"
  $sudo sed -i 's/^# *\(zh_CN\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^zh_CN\.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
  $sudo locale-gen
fi
