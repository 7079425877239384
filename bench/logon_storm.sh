#!/usr/bin/env bash
# Log-on storm against the embedded demo server: CLIENTS orrasql log-ons at once, ROUNDS times
# (each "select 1" on sales), then CLIENTS launcher runs at once, LAUNCHER_ROUNDS times, while
# writers insert into the sales database. Prints the log-ons and runs tried and failed, and the
# first failure messages; exits 1 when any failed.
# Usage: bench/logon_storm.sh [BUILD_DIR] [CLIENTS] [ROUNDS] [LAUNCHER_ROUNDS]
set -uo pipefail
build=$(cd "${1:-build}" && pwd)
clients=${2:-48}
rounds=${3:-20}
launcher_rounds=${4:-5}
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$work"' EXIT
export ORRA_SERVERS=$work/servers ORRA_EXPORT_DIR=$work/export ORRA_NO_OPEN=1 ORRA_LOG_DIR=$work/log
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$ORRA_SERVERS" "$ORRA_EXPORT_DIR" "$work/out"
"$build/tools/orrademo/orra-demo" > /dev/null || exit 2
orrasql=$build/tools/orrasql/orrasql
dornel=$build/launcher/dornel
"$orrasql" -S demo -d sales -E -Q "create table Storm (ID int identity primary key, Note varchar(20))" > /dev/null

# Writers: short write transactions on sales, each a log-on of its own, for as long as the storm lasts.
writer() {
  while [ ! -e "$work/stop" ]; do
    "$orrasql" -S demo -d sales -E -Q "insert into Storm (Note) values ('w$1')" > /dev/null 2>> "$work/out/writer$1.err"
  done
}

# $1: kind (q or d), $2: round; runs $clients processes at once, one output file each.
storm_round() {
  local i pids=()
  for i in $(seq "$clients"); do
    if [ "$1" = q ]; then
      "$orrasql" -S demo -d sales -E -Q "select 1" > /dev/null 2> "$work/out/$1-$2-$i.err" &
    else
      "$dornel" /server:demo /db:catalogue /docid:3 > /dev/null 2> "$work/out/$1-$2-$i.err" &
    fi
    pids+=($!)
  done
  local failed=0 pid
  for pid in "${pids[@]}"; do wait "$pid" || failed=$((failed + 1)); done
  echo "$failed"
}

start=$(date +%s%N)
for w in 1 2 3 4; do writer "$w" & done
q_failed=0
for r in $(seq "$rounds"); do q_failed=$((q_failed + $(storm_round q "$r"))); done
d_failed=0
for r in $(seq "$launcher_rounds"); do d_failed=$((d_failed + $(storm_round d "$r"))); done
touch "$work/stop"
wait
end=$(date +%s%N)

w_failed=$(cat "$work"/out/writer*.err 2>/dev/null | grep -c '^Msg' || true)
echo "orrasql log-ons: $((clients * rounds)) tried, $q_failed failed"
echo "dornel runs:     $((clients * launcher_rounds)) tried, $d_failed failed"
echo "writer errors:   $w_failed"
echo "time: $(( (end - start) / 1000000 )) ms"
if [ $((q_failed + d_failed)) -gt 0 ]; then
  echo "first failure messages:"
  cat "$work"/out/[qd]-*.err | grep -v '^$' | sort | uniq -c | sort -rn | head -8
  exit 1
fi
