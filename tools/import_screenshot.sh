#!/bin/sh
# Takes a screenshot of the import dialog (File > Import... on docs/example-list.csv)
# over the main window on a copy of the sample catalog, under Xvfb with openbox.
# Usage (from the project root, after building into build/):
#   tools/import_screenshot.sh [OUTPUT.png]
set -e
out=${1:-docs/qvxcat-import.png}
case $out in /*) ;; *) out=$(pwd)/$out ;; esac
list=$(pwd)/docs/example-list.csv
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
build/tools/qvx_samplecat "$work/catalog" >/dev/null
xvfb-run -a -s '-screen 0 1024x700x24' sh -c "
  openbox & sleep 1
  QT_QPA_PLATFORM=xcb build/app/qvxcat '$work/catalog' & pid=\$!
  sleep 3
  xdotool key alt+f; sleep 0.5; xdotool key i; sleep 1.5
  xdotool type --delay 20 '$list'; xdotool key Return; sleep 2
  import -window root -crop 806x450+108+104 +repage '$out'
  kill \$pid"
echo "$out"
