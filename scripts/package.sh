#!/usr/bin/env bash
# Builds the Debian package from the optimised build (build/release/velmora_<version>_amd64.deb)
# and checks it without changing the system: unpacked into a scratch folder, its files are there,
# its programs start, its desktop entry, metainfo and icons pass their checks, and lintian reports
# no error. With a .deb as argument, checks that package only.
set -euo pipefail
given_deb=""
if [ $# -gt 0 ]; then given_deb="$(realpath "$1")"; fi
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
cd "$source_dir"
scripts/deps.sh

if [ -n "$given_deb" ]; then
    deb="$given_deb"
else
    echo "== Debian package: build"
    cmake --workflow --preset package
    version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/release/CMakeCache.txt)"
    deb="$source_dir/build/release/velmora_${version}_amd64.deb"
fi
echo "== Debian package: checking $deb"

failures=0
fail() {
    echo "package check: $*" >&2
    failures=$((failures + 1))
}

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
root="$scratch/root"
dpkg-deb -x "$deb" "$root"
usr="$root/usr"

# The control fields: the name and architecture in the file name, and dependencies from the
# libraries the programs link (so dpkg-shlibdeps ran) beside the fonts.
[ "$(dpkg-deb -f "$deb" Package)" = velmora ] || fail "Package is not velmora"
[ "$(dpkg-deb -f "$deb" Architecture)" = amd64 ] || fail "Architecture is not amd64"
[ "$(basename "$deb")" = "velmora_$(dpkg-deb -f "$deb" Version)_amd64.deb" ] ||
    fail "the file name does not follow the version"
depends="$(dpkg-deb -f "$deb" Depends)"
for dependency in libc6 libqt6core6 libqt6widgets6 libstdc++6 fonts-ipafont-mincho fonts-ipafont-gothic; do
    [[ ", $depends," == *", $dependency "* || ", $depends," == *", $dependency,"* ]] ||
        fail "Depends lacks $dependency: $depends"
done

programs=(velmora velmora-launch)
[ -f velmora-cal/CMakeLists.txt ] && programs+=(velmora-cal)
files=(
    share/applications/org.velmora.Velmora.desktop
    share/metainfo/org.velmora.Velmora.metainfo.xml
    share/icons/hicolor/scalable/apps/org.velmora.Velmora.svg
    share/velmora/holidays/syukujitsu.csv
    share/velmora/holidays/README.md
    share/doc/velmora/copyright
    share/doc/velmora/changelog.gz
)
for page in velmora-cal/*.1 packaging/*.1; do
    [ -f "$page" ] && files+=("share/man/man1/$(basename "$page").gz")
done
for program in "${programs[@]}"; do
    [ -x "$usr/bin/$program" ] || fail "usr/bin/$program is missing or not executable"
done
for file in "${files[@]}"; do
    [ -f "$usr/$file" ] || fail "usr/$file is missing"
done
for file in "$usr"/share/doc/velmora/*.gz "$usr"/share/man/man1/*.gz; do
    [ -f "$file" ] && ! gzip -t "$file" 2>/dev/null && fail "${file#"$root"/} is not gzip"
done
cmp -s data/holidays/syukujitsu.csv "$usr/share/velmora/holidays/syukujitsu.csv" ||
    fail "the installed holiday list differs from data/holidays/syukujitsu.csv"

for size in 16 32 48 64 128; do
    icon="$usr/share/icons/hicolor/${size}x${size}/apps/org.velmora.Velmora.png"
    if [ ! -f "$icon" ]; then
        fail "no ${size}x${size} icon"
    elif [ "$(identify -format '%m %wx%h' "$icon")" != "PNG ${size}x${size}" ]; then
        fail "the ${size}x${size} icon is $(identify -format '%m %wx%h' "$icon")"
    fi
done

desktop-file-validate "$usr/share/applications/org.velmora.Velmora.desktop" || fail "desktop-file-validate"
grep -qx 'Exec=velmora-launch' "$usr/share/applications/org.velmora.Velmora.desktop" ||
    fail "the desktop entry does not start velmora-launch"
appstreamcli validate --no-net "$usr/share/metainfo/org.velmora.Velmora.metainfo.xml" || fail "appstreamcli validate"
# The tree as installed: the metainfo's launchable names a desktop entry that is there.
appstreamcli validate-tree --no-net "$root" >"$scratch/tree.txt" 2>&1 ||
    fail "appstreamcli validate-tree: $(cat "$scratch/tree.txt")"

# The programs start from where they are unpacked: every library they link is found, velmora-cal
# answers --help, and velmora-launch, called by a relative path, makes the data folder and runs the
# velmora beside it, which says in one line that there is no display.
[ -x "$usr/libexec/velmora/velmora-sync-pass" ] || fail "usr/libexec/velmora/velmora-sync-pass is missing"
for program in bin/velmora bin/velmora-cal libexec/velmora/velmora-sync-pass; do
    [ -x "$usr/$program" ] || continue
    if ldd "$usr/$program" | grep -q 'not found'; then
        fail "$program links a library that is not found: $(ldd "$usr/$program" | grep 'not found')"
    fi
done
if [ -x "$usr/bin/velmora-cal" ]; then
    "$usr/bin/velmora-cal" --help >"$scratch/help.txt" 2>&1 || fail "velmora-cal --help exits $?"
    [ -s "$scratch/help.txt" ] || fail "velmora-cal --help printed nothing"
fi
status=0
(cd "$root" && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u VELMORA_DIR HOME="$scratch/home" \
    XDG_DATA_HOME="$scratch/data" timeout 60 usr/bin/velmora-launch) >"$scratch/launch.txt" 2>&1 || status=$?
[ -d "$scratch/data/velmora" ] || fail "velmora-launch did not make its data folder"
if [ "$status" -ne 1 ] || ! grep -q '^velmora: no display' "$scratch/launch.txt"; then
    fail "velmora-launch without a display: exit $status, said: $(cat "$scratch/launch.txt")"
fi

# Lintian's errors fail the check; its warnings are shown.
lintian --fail-on error --tag-display-limit 0 "$deb" || fail "lintian reports errors"

if [ "$failures" -ne 0 ]; then
    echo "package check: $failures failure(s)" >&2
    exit 1
fi
echo "== $(basename "$deb"): all checks passed"
