#!/usr/bin/env bash
# Start-up against its floor: builds Keyhaven and a minimal Qt window in Release, then starts each
# many times on a virtual X display and prints how long after its start each first window is
# mapped (bench/startup.py). Arguments: how many starts (default 15).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh tests
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DKEYHAVEN_BENCHMARKS=ON >/dev/null
cmake --build build-bench -j2 --target keyhaven keyhaven_minimal_window
xvfb-run -a -s "-screen 0 1280x960x24" /usr/bin/python3 bench/startup.py build-bench/keyhaven \
    build-bench/keyhaven_minimal_window "${1:-15}"
