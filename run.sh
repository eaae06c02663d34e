#!/usr/bin/env bash
# Installs what is missing, builds, makes the demo virtual keys when there are none, and starts the tool on them.
# Without a display the window runs under Xvfb: a screenshot is saved after start-up and its path printed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build_dir=${BUILD_DIR:-$here/build}
"$here/scripts/install-deps.sh"
"$here/scripts/build.sh"

bin="$build_dir/bin"
"$bin/pellorzu-vkey" demo-set
"$bin/pellorzu-vkey" list

if [ ! -x "$bin/PellorZuAdmin" ]; then
    echo "The window is not built in this version; the demo keys are listed above."
    exit 0
fi

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec "$bin/PellorZuAdmin"
fi

shots="$here/screenshots"
mkdir -p "$shots"
shot="$shots/start-$(date +%Y%m%d-%H%M%S).png"
echo "No display: running the window under Xvfb."
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    "$1" & app=$!
    sleep "${SCREENSHOT_DELAY:-4}"
    import -window root "$2" && echo "Screenshot after start-up: $2"
    # Nobody can use a window on a virtual display: close it once the picture is taken.
    kill $app; wait $app 2>/dev/null || true' _ "$bin/PellorZuAdmin" "$shot"
