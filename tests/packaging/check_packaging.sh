#!/usr/bin/env bash
# The install tree, its desktop entry and AppStream record, and the Debian package.
#   check_packaging.sh <build folder>
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cmake --install "$build" --prefix "$work/prefix" >/dev/null
p="$work/prefix"
for f in bin/twindrop \
         share/applications/io.github.twindrop.Twindrop.desktop \
         share/metainfo/io.github.twindrop.Twindrop.metainfo.xml \
         share/icons/hicolor/scalable/apps/twindrop.svg \
         share/icons/hicolor/48x48/apps/twindrop.png \
         share/icons/hicolor/256x256/apps/twindrop.png; do
    [ -e "$p/$f" ] || fail "missing $f"
done
desktop-file-validate "$p/share/applications/io.github.twindrop.Twindrop.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$p/share/metainfo/io.github.twindrop.Twindrop.metainfo.xml" \
    || fail "AppStream record"

(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" >/dev/null) || fail "cpack"
deb=$(ls "$work"/twindrop_*.deb)
info=$(dpkg-deb -I "$deb")
echo "$info"
depends=$(sed -n 's/^ Depends: //p' <<<"$info")
for d in libqt6widgets6 libqt6gui6 libqt6core6 libqt6svg6 libpcre2-16-0 libicu72 libcanberra0 \
         qt6-qpa-plugins qt6-translations-l10n; do
    grep -q "\b$d\b" <<<"$depends" || fail "the package does not depend on $d"
done
contents=$(dpkg-deb -c "$deb")
grep -q './usr/bin/twindrop$' <<<"$contents" || fail "no /usr/bin/twindrop in the package"
grep -q './usr/share/applications/io.github.twindrop.Twindrop.desktop$' <<<"$contents" \
    || fail "no menu entry in the package"
echo "1 passed, 0 failed"
