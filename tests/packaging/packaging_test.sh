#!/usr/bin/env bash
# packaging_test.sh SOURCE_DIR BINARY_DIR
# Validates the desktop entry and the AppStream file, installs into a temporary prefix, checks the
# file list and that uninstalling leaves nothing the install made, then builds the Debian package
# and checks its contents and dependencies and runs lintian on it. The AppStream check stays off the
# network (its URL checks would reach out to the internet) unless ORVEX_TEST_NETWORK=1.
set -euo pipefail
src=$1
bin=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() { # check DESCRIPTION COMMAND...
    if "${@:2}"; then echo "ok   $1"; else echo "FAIL $1"; failures=$((failures + 1)); fi
}

check "desktop entry validates" desktop-file-validate "$src/packaging/de.orvex.Orvex.desktop"
offline=(--no-net)
[ "${ORVEX_TEST_NETWORK:-0}" = 1 ] && offline=()
check "AppStream metadata validates" appstreamcli validate "${offline[@]}" --pedantic "$src/packaging/de.orvex.Orvex.metainfo.xml"
check "desktop entry has one main category" bash -c '[ "$(grep "^Categories=" "$0")" = "Categories=Network;Monitor;" ]' \
    "$src/packaging/de.orvex.Orvex.desktop"

mkdir -p "$work/prefix/share/applications" # there before: stays after uninstalling
cmake --install "$bin" --prefix "$work/prefix" >/dev/null
expected=(
    bin/orvex
    share/applications/de.orvex.Orvex.desktop
    share/metainfo/de.orvex.Orvex.metainfo.xml
    share/icons/hicolor/scalable/apps/de.orvex.Orvex.svg
    share/doc/orvex/copyright
    share/doc/orvex/changelog.gz
    share/man/man1/orvex.1.gz
)
for size in 16 24 32 48 64 128 256; do expected+=("share/icons/hicolor/${size}x${size}/apps/de.orvex.Orvex.png"); done
for f in "${expected[@]}"; do check "installed $f" test -s "$work/prefix/$f"; done
check "installed program is executable" test -x "$work/prefix/bin/orvex"
unexpected=$(cd "$work/prefix" && find . -type f | sed 's|^\./||' | sort | grep -v -x -F -f <(printf '%s\n' "${expected[@]}") || true)
check "nothing else installed (${unexpected:-none})" test -z "$unexpected"
check "icon PNG sizes match their folders" bash -c '
    for f in "$0"/share/icons/hicolor/*x*/apps/de.orvex.Orvex.png; do
        size=$(basename "$(dirname "$(dirname "$f")")")
        file "$f" | grep -q "${size/x/ x } *," || exit 1
    done' "$work/prefix"
cmake -P "$bin/cmake_uninstall.cmake" >/dev/null
left=$(cd "$work/prefix" && find . -mindepth 1 | sort | tr '\n' ' ')
check "uninstall leaves only what was there before (${left:-nothing})" test "$left" = "./share ./share/applications "

(cd "$work" && cpack --config "$bin/CPackConfig.cmake" -G DEB -B "$work/pkg" >/dev/null)
deb=$(ls "$work"/pkg/orvex_*.deb 2>/dev/null | head -n 1)
check "package built" test -n "$deb"
if [ -n "$deb" ]; then
    echo "package: $(basename "$deb")"
    contents=$(dpkg-deb -c "$deb")
    depends=$(dpkg-deb -f "$deb" Depends)
    echo "Depends: $depends"
    check "package holds the program" grep -q '\./usr/bin/orvex$' <<<"$contents"
    check "package holds the desktop entry" grep -q 'usr/share/applications/de.orvex.Orvex.desktop$' <<<"$contents"
    check "package holds the icon" grep -q 'usr/share/icons/hicolor/48x48/apps/de.orvex.Orvex.png$' <<<"$contents"
    check "package holds the metainfo" grep -q 'usr/share/metainfo/de.orvex.Orvex.metainfo.xml$' <<<"$contents"
    check "depends on Qt 6 widgets" grep -q 'libqt6widgets6' <<<"$depends"
    check "depends on libjpeg" grep -q 'libjpeg62-turbo' <<<"$depends"
    check "package holds the copyright" grep -q 'usr/share/doc/orvex/copyright$' <<<"$contents"
    dpkg-deb -x "$deb" "$work/root"
    check "changelog names the package's version" bash -c \
        'zcat "$0/usr/share/doc/orvex/changelog.gz" >"$0/changelog" &&
         [ "$(dpkg-parsechangelog -l "$0/changelog" -S Version)" = "$(dpkg-deb -f "$1" Version)" ]' "$work/root" "$deb"
    check "lintian finds no errors" lintian --fail-on error --tag-display-limit 0 "$deb"
    check "no file is given capabilities by the package" bash -c '! dpkg-deb -e "$0" "$1/ctrl" 2>/dev/null || ! grep -rq setcap "$1/ctrl"' "$deb" "$work"
fi

echo "$failures failed"
[ "$failures" -eq 0 ]
