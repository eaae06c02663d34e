#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
"$here/scripts/install-deps.sh"
"$here/scripts/build.sh"
cd "${BUILD_DIR:-$here/build}"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 --timeout 900
