#!/usr/bin/env bash
# Regenerates data/sample.vxr: one minute of receiver time from the simulated receiver (seed 1,
# starting 2024-05-13 12:00:00 UTC), recorded exactly as it would reach the console's serial
# port. The file is reproducible byte for byte at any speed (nothing reaches the receiver from
# /dev/null, so only its own clock drives it); at the highest speed it is written at once.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=build/release
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build_dir" -j 2 --target vexor >/dev/null
mkdir -p data
"$build_dir/src/vexor" sim --device /dev/null --speed 10000 --duration 60 --seed 1 \
  --utc 2024-05-13T12:00:00 --record data/sample.vxr --quiet >/dev/null
"$build_dir/src/vexor" stats data/sample.vxr
