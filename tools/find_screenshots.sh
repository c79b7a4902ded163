#!/bin/sh
# Takes the README's pictures of the quick search in use (Ctrl+K, "tiny") and of
# Reports > Statistics over a copy of the sample catalog, under Xvfb with openbox.
# Usage (from the project root, after building into build/):
#   tools/find_screenshots.sh [QUICKSEARCH.png [STATISTICS.png]]
set -e
search=${1:-docs/qvxcat-quicksearch.png}
stats=${2:-docs/qvxcat-statistics.png}
case $search in /*) ;; *) search=$(pwd)/$search ;; esac
case $stats in /*) ;; *) stats=$(pwd)/$stats ;; esac
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
build/tools/qvx_samplecat "$work/catalog" >/dev/null
xvfb-run -a -s '-screen 0 1024x700x24' sh -c "
  openbox & sleep 1
  QT_QPA_PLATFORM=xcb build/app/qvxcat '$work/catalog' & pid=\$!
  sleep 3
  xdotool key ctrl+k; sleep 0.3; xdotool type --delay 80 'tiny'; sleep 1
  import -window \"\$(xdotool getactivewindow)\" '$search'
  xdotool key Escape; sleep 0.3
  xdotool key alt+r; sleep 0.5; xdotool key s; sleep 2
  import -window \"\$(xdotool getactivewindow)\" '$stats'
  kill \$pid"
echo "$search $stats"
