#!/usr/bin/env bash
# Screenshots of every page of the window in both languages, taken on Xvfb with two virtual keys, saved in
# screenshots/pages/ (or the folder given). Build first (scripts/build.sh).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${BUILD_DIR:-$here/build}
out=${1:-$here/screenshots/pages}
mkdir -p "$out"
SCREENSHOT_DIR=$(cd "$out" && pwd) QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1024x768x24" \
    "$build_dir/bin/ui_tests" --gtest_also_run_disabled_tests --gtest_filter='PageScreenshots.*:HealthScreenshots.*:TokenKindsScreenshots.*'
echo "Screenshots in $out"
