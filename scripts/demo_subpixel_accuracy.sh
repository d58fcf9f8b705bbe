#!/bin/bash
# The demo's targets A-D measured from Shift-click snaps against whole pixels: every target is
# snapped from a start 3 px off (vistrel-cli snap), the nine control points go into a --control
# list, and each way's 3D errors against observations-truth.txt are printed with their mean
# (centimetres). Usage: scripts/demo_subpixel_accuracy.sh [BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cli=${1:-$here/build}/src/cli/vistrel-cli
ex=$here/examples
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
snap() { "$cli" snap "$1" "$2" "$3" | awk '{print $1, $2}'; }
while read -r xg yg xd yd X Y Z; do
  echo "$(snap "$ex/left.jpg" $((xg + 3)) $((yg - 2))) $(snap "$ex/right.jpg" $((xd - 3)) $((yd + 2))) $X $Y $Z"
done < <(tr -d '\r' < "$ex/reference.txt") > "$work/control.txt"
grep -v '^#' "$ex/observations.txt" | while read -r xg yg xd yd; do
  echo "$(snap "$ex/left.jpg" $((xg + 3)) $((yg - 2))) $(snap "$ex/right.jpg" $((xd - 3)) $((yd + 2)))"
done > "$work/observations.txt"
for option in --distortion=none --distortion --distortion=auto; do
  "$cli" measure --reference "$ex/reference.txt" --size 1600x1200 $option "$ex/observations.txt" |
    grep "Object point" > "$work/whole.txt"
  "$cli" measure --control "$work/control.txt" --size 1600x1200 $option "$work/observations.txt" |
    grep "Object point" > "$work/snapped.txt"
  for way in whole snapped; do
    paste <(awk '{print $7, $10, $13}' "$work/$way.txt") <(grep -v '^#' "$ex/observations-truth.txt") |
      awk -v what="$option $way" '{d = sqrt(($1-$4)^2 + ($2-$5)^2 + ($3-$6)^2); s += d; e = e sprintf(" %.4f", d)}
        END {printf "%-20s A-D%s  mean %.4f\n", what, e, s / NR}'
  done
done
