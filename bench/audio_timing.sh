#!/usr/bin/env bash
# One command for the audio timing bench: builds the Release bench, makes sure a sound server
# with a null sink runs, and plays, records and measures (idle CPU, 200 and 1000 BPM, and a
# 10-minute run at 1000 BPM). Arguments go to the bench, e.g. --soak-minutes 0 to skip the long run.
#   bench/audio_timing.sh [--idle-seconds N] [--seconds N] [--soak-minutes N]
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DFW_BUILD_TESTS=OFF >/dev/null
cmake --build build-bench -j2 --target bench_audio_timing
eval "$(scripts/audio-server)"
exec build-bench/bin/bench_audio_timing --soak-minutes 10 "$@"
