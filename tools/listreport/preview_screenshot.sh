#!/bin/sh
# Takes a screenshot of the list report's preview window on the sample catalog
# under Xvfb. Usage (from the project root, after building into build/):
#   tools/listreport/preview_screenshot.sh [OUTPUT.png]
# QVX_LISTREPORT, QVX_SAMPLECAT and QVX_CATALOG name other builds of the tools
# and another catalog directory; QVX_SCREENSHOT_WAIT the seconds to wait for
# the window (3).
set -e
out=${1:-docs/qvx-listreport-preview.png}
case $out in /*) ;; *) out=$(pwd)/$out ;; esac
listreport=${QVX_LISTREPORT:-build/tools/qvx_listreport}
samplecat=${QVX_SAMPLECAT:-build/tools/qvx_samplecat}
catalog=${QVX_CATALOG:-sample}
wait=${QVX_SCREENSHOT_WAIT:-3}
[ -f "$catalog/QVXCAT.DBF" ] || "$samplecat" "$catalog"
mkdir -p "$(dirname "$out")"
xvfb-run -a -s '-screen 0 1280x800x24' sh -c "
  QT_QPA_PLATFORM=xcb '$listreport' '$catalog' --preview & pid=\$!
  sleep $wait
  import -window root '$out'
  kill \$pid"
echo "$out"
