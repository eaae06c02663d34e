#!/usr/bin/env bash
# The package test: builds the Debian package, installs it with apt-get (so its dependencies resolve), checks it
# with lintian, appstreamcli and desktop-file-validate, and runs the installed program as an ordinary user made
# for the test. Off screen, the program's own window is driven (tests/installed/window_driver.cpp, loaded with
# LD_PRELOAD): it must find the virtual keys the installed pellorzu-vkey made, switch the language and keep it
# for the next start, and keep the initialisation defaults, all while the program folder stays as installed.
# Then the package is removed and purged and every file it had must be gone. The user and the package go
# again at the end, also when a step fails; a run left unfinished is cleaned up by the next.
#
# PACKAGE_TEST_SCREENSHOT=<file.png>: also saves a screenshot of the installed program started by the user on
# Xvfb, on display number PACKAGE_TEST_DISPLAY (default: the first free one).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${BUILD_DIR:-$here/build}
package=pellorzu-admin
program_folder=/usr/lib/$package
user=pellorzu-pkgtest
work=/tmp/pellorzu-package-test
home=$work/home

step() { echo "== $*"; }
fail() {
    echo "package test: $*" >&2
    exit 1
}

cleanup() {
    if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q installed; then
        apt-get purge -y -qq "$package" >/dev/null
    fi
    if id "$user" >/dev/null 2>&1; then
        userdel --force --remove "$user" 2>/dev/null || userdel --force "$user"
    fi
    rm -rf "$work"
}

# The program folder as installed: every path with its type, mode, owner and, for files, checksum.
folder_state() {
    find "$program_folder" -printf '%y %m %u:%g %p -> %l\n' | sort
    find "$program_folder" -type f -print0 | sort -z | xargs -0 sha256sum
}

as_user() {
    runuser -u "$user" -- env -i HOME="$home" PATH=/usr/bin:/bin LANG=C.UTF-8 XDG_RUNTIME_DIR="$work/run" "$@"
}

# Runs the installed program with the window driver doing `steps`; its report goes to `report`.
drive() {
    local steps=$1 report=$2
    if ! as_user QT_QPA_PLATFORM=offscreen LD_PRELOAD="$work/window_driver.so" PELLORZU_DRIVER_STEPS="$steps" \
        timeout 120 PellorZuAdmin >"$report" 2>"$report.err"; then
        cat "$report" "$report.err" >&2
        fail "the installed program did not run the steps $steps"
    fi
    cat "$report"
}

expect_line() {
    local report=$1 line=$2
    grep -qxF -- "$line" "$report" || fail "expected the line '$line' in $(basename "$report")"
}

if [ "$(id -u)" -ne 0 ]; then
    fail "run as root: it installs a package and makes a user"
fi
"$here/scripts/install-deps.sh"
export DEBIAN_FRONTEND=noninteractive
cleanup
trap cleanup EXIT

step "building the package"
deb=$("$here/scripts/package.sh")
[ -f "$deb" ] || fail "no package was made"
echo "$deb"

step "installing it"
# Recommended extras are left out: the test needs only what the package depends on.
apt-get install -y -qq --no-install-recommends "$deb" >/dev/null
dpkg -L "$package" >"$build_dir/package/installed-files.txt"

step "lintian, appstreamcli, desktop-file-validate"
lintian --fail-on error "$deb"
appstreamcli validate --no-net /usr/share/metainfo/com.norvale.PellorZuAdmin.metainfo.xml
desktop-file-validate /usr/share/applications/com.norvale.PellorZuAdmin.desktop

step "the installed program as an ordinary user"
install -d -m 755 "$work"
useradd --create-home --home-dir "$home" --shell /bin/bash "$user"
install -d -m 700 -o "$user" "$work/run"
install -m 644 "$build_dir/bin/libpellorzu_window_driver.so" "$work/window_driver.so"
folder_state >"$work/folder-before.txt"

as_user pellorzu-vkey demo-set
as_user pellorzu-vkey list | tee "$work/keys.txt"
for serial in PZDEMO0001 PZDEMO0002 PZDEMO0003; do
    grep -q "$serial" "$work/keys.txt" || fail "pellorzu-vkey did not make $serial"
done

drive "keys,language,switch-language,language,initialise=Blank key" "$work/first-start.txt"
for line in "key: Demo key 1" "key: 演示密钥 2" "key: Blank key" "language: 简体中文" "language: English" \
    "message: Operation succeeded"; do
    expect_line "$work/first-start.txt" "$line"
done
# The package's version is the program's own, which its window title shows.
version=$(dpkg-query -W -f='${Version}' "$package")
grep -q "^title: .* V$version\$" "$work/first-start.txt" || fail "the window does not show version $version"

drive "keys,language,defaults=Installed key" "$work/second-start.txt"
for line in "key: Installed key" "language: English" "default edtInit_KeyName: Installed key" \
    "default edtInit_GS: Norvale" "default edtInit_MaxCount: 7"; do
    expect_line "$work/second-start.txt" "$line"
done

config=$home/.config/Norvale/PellorZu
for file in "$config/Languages/LanguageConfig.ini" "$config/Initconfig.ini"; do
    [ "$(stat -c '%U %a' "$file")" = "$user 600" ] || fail "$file is not the user's own private copy"
done
folder_state >"$work/folder-after.txt"
diff -u "$work/folder-before.txt" "$work/folder-after.txt" || fail "the program folder changed"

if [ -n "${PACKAGE_TEST_SCREENSHOT:-}" ]; then
    step "screenshot"
    display=(-a)
    if [ -n "${PACKAGE_TEST_DISPLAY:-}" ]; then
        display=(-n "$PACKAGE_TEST_DISPLAY")
    fi
    as_user xvfb-run "${display[@]}" -s "-screen 0 1024x768x24" bash -c '
        PellorZuAdmin & app=$!
        sleep 4
        import -window root "$1"
        kill $app; wait $app 2>/dev/null || true' _ "$home/screenshot.png"
    cp "$home/screenshot.png" "$PACKAGE_TEST_SCREENSHOT"
    echo "$PACKAGE_TEST_SCREENSHOT"
fi

step "removing the package"
apt-get remove -y -qq "$package" >/dev/null
left=()
while read -r path; do
    # Folders shared with other packages stay; the package's own go with their files.
    if [ -e "$path" ] || [ -L "$path" ]; then
        if [ ! -d "$path" ] || [ "$path" = "$program_folder" ]; then
            left+=("$path")
        fi
    fi
done <"$build_dir/package/installed-files.txt"
[ ${#left[@]} -eq 0 ] || fail "removal left: ${left[*]}"
apt-get purge -y -qq "$package" >/dev/null
if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q installed; then
    fail "the package is still known to dpkg after the purge"
fi
# What the program kept for the user stays in the user's folders.
[ -f "$config/Languages/LanguageConfig.ini" ] || fail "removal touched the user's settings"
echo "package test passed"
