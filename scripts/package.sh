#!/usr/bin/env bash
# Installs what is missing, builds everything into build/ (or $BUILD_DIR) and makes the Debian package from it;
# prints the package's path (everything else goes to standard error).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${BUILD_DIR:-$here/build}
"$here/scripts/install-deps.sh" >&2
"$here/scripts/build.sh" >&2
rm -f "$build_dir"/package/*.deb
cpack --config "$build_dir/CPackConfig.cmake" >&2
ls "$build_dir"/package/*.deb
