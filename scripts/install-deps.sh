#!/usr/bin/env bash
# Installs the Debian packages Keyhaven needs to build, run and test, and any packages named as
# arguments; skips what is installed.
set -euo pipefail
packages=(g++ make cmake qt6-base-dev qt6-webengine-dev libgl-dev libgtest-dev libbenchmark-dev
          clang libclang-rt-14-dev clang-format fonts-dejavu-core
          qt6-base-private-dev xvfb xauth xclip python3 python3-xlib "$@")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
