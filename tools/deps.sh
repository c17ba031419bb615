#!/usr/bin/env bash
# Installs the Debian packages the project needs and are missing.
#   tools/deps.sh build   what building and running the program needs
#   tools/deps.sh test    that, plus what the full test run needs
set -euo pipefail
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"
what=${1:-build}

build_pkgs=(cmake make g++ pkg-config qt6-base-dev qt6-translations-l10n libkissfft-dev libcli11-dev nettle-dev libgl-dev
            fonts-liberation2 xvfb xauth)
test_pkgs=(libgtest-dev libgmock-dev googletest g++-mingw-w64-x86-64 clang libclang-rt-14-dev
           dpkg-dev fakeroot file x11-utils desktop-file-utils lintian appstream poppler-utils
           g++-mingw-w64-x86-64-posix ninja-build wine wine64 nsis zip xdotool xclip imagemagick locales
           clang-format shellcheck)

pkgs=("${build_pkgs[@]}")
[ "$what" = test ] && pkgs+=("${test_pkgs[@]}")

missing=()
for p in "${pkgs[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
as_root apt-get update -qq
as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
