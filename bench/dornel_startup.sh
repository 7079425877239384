#!/usr/bin/env bash
# Start-to-exit time of dornel for a one-block document of the demo catalogue (the monthly
# sales), against orrasql running the same statements on the same server.
# Usage: bench/dornel_startup.sh [BUILD_DIR] [RUNS]
set -euo pipefail
build=${1:-build}
runs=${2:-20}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export ORRA_SERVERS=$work/servers ORRA_EXPORT_DIR=$work/export ORRA_NO_OPEN=1
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$ORRA_SERVERS" "$ORRA_EXPORT_DIR"
"$build/tools/orrademo/orra-demo" > /dev/null

sql="select month(OrderDate) Ay, count(*) Siparis, sum(Quantity) Adet, sum(Amount) Tutar into #Report
from Orders where year(OrderDate)=(select max(year(OrderDate)) from Orders) group by month(OrderDate) order by Ay
select * from #Report"

time_ms() {  # runs "$@" $runs times, prints the mean wall time in milliseconds
  local start end
  start=$(date +%s%N)
  for _ in $(seq "$runs"); do "$@" > /dev/null; done
  end=$(date +%s%N)
  echo $(( (end - start) / runs / 1000000 ))
}

d_export=$(time_ms "$build/launcher/dornel" /server:demo /db:catalogue /docid:3)
d_plain=$(time_ms "$build/launcher/dornel" /server:demo /db:catalogue /docid:3 /returnrecordset:off)
o=$(time_ms "$build/tools/orrasql/orrasql" -S demo -d sales -E -Q "$sql")
echo "dornel, with the workbook export: ${d_export} ms"
echo "dornel, without the export:       ${d_plain} ms"
echo "orrasql, the same statements:     ${o} ms"
awk -v a="$d_export" -v b="$d_plain" -v c="$o" 'BEGIN { printf "ratio: %.2f with the export, %.2f without (target <= 2)\n", a/c, b/c }'
