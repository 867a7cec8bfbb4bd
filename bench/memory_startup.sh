#!/usr/bin/env bash
# One command for the memory and start-up bench: builds the Release bench, makes sure a sound
# server with a null sink runs, and measures on a virtual display (as a desktop would show it).
#   bench/memory_startup.sh [--starts N] [--play-seconds N]
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DFW_BUILD_TESTS=OFF >/dev/null
cmake --build build-bench -j2 --target bench_memory_startup
eval "$(scripts/audio-server)"
unset QT_QPA_PLATFORM
exec xvfb-run -a -s "-screen 0 1280x1024x24" build-bench/bin/bench_memory_startup "$@"
