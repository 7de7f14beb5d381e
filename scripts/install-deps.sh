#!/usr/bin/env bash
# Installs the Debian packages that Keyhaven needs; skips what is installed.
#   bash scripts/install-deps.sh program [PACKAGE...]   to build and run the program
#   bash scripts/install-deps.sh tests [PACKAGE...]     also to test, check and benchmark it
# Packages named after the first argument are installed too.
set -euo pipefail
what="${1:-tests}"
shift || true
# qt6-base-private-dev: ending the program hands the clipboard over through Qt's platform layer.
# libsodium-dev, pkg-config: the sealed data file's key derivation and encryption.
# libicu-dev: sorting the list by collation keys of the library Qt collates with.
# libxxhash-dev: telling the data file's bytes from others' at the speed they are read.
packages=(g++ make cmake pkg-config qt6-base-dev qt6-base-private-dev qt6-webengine-dev libgl-dev fonts-dejavu-core
          libsodium-dev libicu-dev libxxhash-dev)
if [ "$what" = "tests" ]; then
  # Benchmark, fuzzers and sanitizers, format and static checks, and a virtual X display with a
  # clipboard manager for the clipboard test.
  packages+=(libbenchmark-dev clang libclang-rt-14-dev clang-format clang-tidy xvfb xauth xclip python3 python3-xlib)
  # Start-up on real displays: a window manager for X11, and a Wayland compositor with Qt's
  # Wayland platform.
  packages+=(openbox weston qt6-wayland)
  # Two machines syncing one vault, through real Syncthing devices on 127.0.0.1.
  packages+=(syncthing)
elif [ "$what" != "program" ]; then
  echo "usage: install-deps.sh program|tests [PACKAGE...]" >&2
  exit 2
fi
packages+=("$@")
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
