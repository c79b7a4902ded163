#!/bin/sh
# Takes a screenshot of the main window on the sample catalog under Xvfb.
# Usage (from the project root, after building into build/):
#   tools/qvxcat_screenshot.sh [OUTPUT.png]
set -e
out=${1:-docs/qvxcat-main.png}
case $out in /*) ;; *) out=$(pwd)/$out ;; esac
[ -f sample/QVXCAT.DBF ] || build/tools/qvx_samplecat sample
xvfb-run -a -s '-screen 0 800x560x24' sh -c "
  cd sample && QT_QPA_PLATFORM=xcb ../build/app/qvxcat & pid=\$!
  sleep 3
  import -window root -crop 620x406+0+0 +repage '$out'
  kill \$pid"
echo "$out"
