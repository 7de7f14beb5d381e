#!/usr/bin/env bash
# Installs the packages the program needs, builds the program alone (no tests, no benchmark),
# installs it into a per-user program folder and starts it.
# The program folder keeps data.enc, so a rebuild or a clean checkout never touches it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh program
cmake -S . -B build-program -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKEYHAVEN_TESTS=OFF -DKEYHAVEN_BENCHMARKS=OFF >/dev/null
cmake --build build-program -j"$(nproc)" --target keyhaven keyhaven-cli
prefix="${KEYHAVEN_HOME:-$HOME/.local/opt/keyhaven}"
cmake --install build-program --prefix "$prefix" >/dev/null
# Desktop entry and icon, so Keyhaven starts from the application menu too.
apps="$HOME/.local/share/applications"
icons="$HOME/.local/share/icons/hicolor/256x256/apps"
if [ -f resources/keyhaven.desktop ] && [ -f resources/images/keyhaven.png ]; then
  mkdir -p "$apps" "$icons"
  sed "s|@EXEC@|$prefix/keyhaven|" resources/keyhaven.desktop > "$apps/keyhaven.desktop"
  cp resources/images/keyhaven.png "$icons/keyhaven.png"
fi
echo "Keyhaven is installed in $prefix; your data file is $prefix/data.enc"
if [ "$(id -u)" -eq 0 ]; then
  # The browser engine refuses to run as root with its sandbox on.
  echo "Running as root: the built-in browser runs without its sandbox."
  export QTWEBENGINE_DISABLE_SANDBOX=1
fi
exec "$prefix/keyhaven"
