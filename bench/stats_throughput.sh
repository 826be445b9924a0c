#!/usr/bin/env bash
# Times `vexor stats` over a generated 200 MB stream and prints its throughput.
# usage: bench/stats_throughput.sh VEXOR_BINARY [MAKE_STREAM_BINARY]
set -euo pipefail
vexor=${1:?usage: stats_throughput.sh VEXOR [MAKE_STREAM]}
make_stream=${2:-$(dirname "$vexor")/../bench/make_stream}
stream=${STREAM:-/tmp/ornivex-bench-200mb.vxr}
if [ ! -s "$stream" ]; then
  "$make_stream" 200 "$stream"
fi
# Warm the page cache so the figure is the decoder's, not the disk's.
cat "$stream" > /dev/null
for mode in "" "--link"; do
  if [ -n "$mode" ] && ! "$vexor" stats --help 2>&1 | grep -q -- --link; then continue; fi
  start=$(date +%s.%N)
  "$vexor" stats $mode --json "$stream" > /tmp/ornivex-bench-stats.json
  end=$(date +%s.%N)
  bytes=$(stat -c %s "$stream")
  awk -v b="$bytes" -v s="$start" -v e="$end" -v m="${mode:-direct}" \
    'BEGIN { printf "vexor stats %-7s %.0f MB in %.2f s: %.0f MB/s\n", m, b/1e6, e-s, b/1e6/(e-s) }'
done
