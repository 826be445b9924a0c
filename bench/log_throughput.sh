#!/usr/bin/env bash
# Times `vexor log` writing the 5 Hz and 1 Hz CSV of a generated 200 MB stream against
# `vexor stats` on the same file, and prints both and their ratio.
# usage: bench/log_throughput.sh VEXOR_BINARY [MAKE_STREAM_BINARY]
#
# The CSV files go to /dev/shm when it exists (a RAM file system: the figure is the program's,
# not the disk's), else to /tmp; OUT=folder chooses another place.
set -euo pipefail
vexor=${1:?usage: log_throughput.sh VEXOR [MAKE_STREAM]}
make_stream=${2:-$(dirname "$vexor")/../bench/make_stream}
stream=${STREAM:-/tmp/ornivex-bench-200mb.vxr}
if [ ! -s "$stream" ]; then
  "$make_stream" 200 "$stream"
fi
out=${OUT:-$( [ -d /dev/shm ] && echo /dev/shm || echo /tmp )}
five="$out/ornivex-bench-5hz-$$.csv"
one="$out/ornivex-bench-1hz-$$.csv"
trap 'rm -f "$five" "$one"' EXIT
cat "$stream" > /dev/null
bytes=$(stat -c %s "$stream")
best() { # the best of three runs of a command, in seconds
  local b=999999
  for _ in 1 2 3; do
    rm -f "$five" "$one"
    local s e
    s=$(date +%s.%N)
    "$@" > /dev/null 2>&1
    e=$(date +%s.%N)
    b=$(awk -v b="$b" -v s="$s" -v e="$e" 'BEGIN { t = e - s; print (t < b ? t : b) }')
  done
  echo "$b"
}
stats=$(best "$vexor" stats --json "$stream")
log=$(best "$vexor" log --5hz "$five" --1hz "$one" "$stream")
awk -v b="$bytes" -v s="$stats" -v l="$log" -v o="$out" 'BEGIN {
  printf "vexor stats              %.0f MB in %.2f s: %.0f MB/s\n", b/1e6, s, b/1e6/s
  printf "vexor log --5hz --1hz    %.0f MB in %.2f s: %.0f MB/s (%.2fx of stats; CSV to %s)\n",
         b/1e6, l, b/1e6/l, s/l, o }'
