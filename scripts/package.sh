#!/usr/bin/env bash
# Builds everything into build/ (or $BUILD_DIR) and makes the Debian package from it; prints the package's path.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${BUILD_DIR:-$here/build}
"$here/scripts/build.sh" >&2
rm -f "$build_dir"/package/*.deb
cpack --config "$build_dir/CPackConfig.cmake" >&2
ls "$build_dir"/package/*.deb
