#!/usr/bin/env bash
# One command for the soak: builds the Release bench, makes sure a sound server with a null sink
# runs, and plays the whole program on a virtual display for 60 minutes (or --minutes N),
# printing a line a minute and then the figures: crashes, memory growth, beat error against
# the floor early and late, and voices left after "Silence". Exit status 0 when all are on
# target, 1 when one is not, and a crash is named.
#   bench/soak.sh [--minutes N]
set -uo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-soak -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null || exit 1
cmake --build build-soak -j2 --target bench_soak || exit 1
eval "$(scripts/audio-server)" || exit 1
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1920x1080x24" build-soak/bin/bench_soak "$@"
status=$?
if [ "$status" -gt 128 ]; then
    echo "  crashes: 1, the bench died of signal $((status - 128)) ($(kill -l $((status - 128))))"
    echo "Soak FAILED"
fi
exit "$status"
