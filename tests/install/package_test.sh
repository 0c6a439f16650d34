#!/usr/bin/env bash
# Builds the Debian packages from the build folder BUILD (cpack), checks them with lintian,
# unpacks them into a scratch root and runs the installed programs from there; also installs
# the window with `cmake --install --prefix` and checks that the link on PATH leads it to its
# application folder. Validates the desktop entry, the metainfo, the icons and the manual pages.
# As root it then installs the packages on this machine for real (install_test.sh): the
# operators' group and shared settings, removal and purge.
set -eu
build="$1"
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$scratch/debs" >"$scratch/cpack.log" ||
    { cat "$scratch/cpack.log"; fail "cpack"; }
debs=("$scratch"/debs/*.deb)
[ ${#debs[@]} = 2 ] || fail "expected two packages, got: ${debs[*]}"
lintian --fail-on error,warning --tag-display-limit 0 -I "${debs[@]}" >"$scratch/lintian.log" 2>&1 ||
    { cat "$scratch/lintian.log"; fail "lintian reports errors or warnings"; }
! grep 'spelling-error' "$scratch/lintian.log" || fail "lintian finds a spelling error"
# Built as Debian builds its packages: no hardening tag (a Debug build fortifies nothing).
if ! grep -q '^CMAKE_BUILD_TYPE:STRING=Debug$' "$build/CMakeCache.txt"; then
    ! grep 'hardening-' "$scratch/lintian.log" || fail "lintian finds hardening missing"
fi

root="$scratch/root"
for deb in "${debs[@]}"; do
    dpkg-deb -x "$deb" "$root"
    dpkg-deb -f "$deb" Depends | grep -q 'libc6' || fail "$deb: no computed dependencies"
done
# Nothing may start on install: no service files; the sandbox has no maintainer scripts, and
# dsadmin's only make the group and the settings folder (postinst) and purge them (postrm).
! find "$root" -name '*.service' | grep -q . || fail "a service file is installed"
scripts() { dpkg-deb --ctrl-tarfile "$1" | tar -t | grep -E 'inst$|rm$' | sort | tr '\n' ' '; }
[ "$(scripts "$scratch"/debs/dsadmin_*.deb)" = "./postinst ./postrm " ] ||
    fail "dsadmin's maintainer scripts: $(scripts "$scratch"/debs/dsadmin_*.deb)"
[ -z "$(scripts "$scratch"/debs/dsadmin-sandbox_*.deb)" ] || fail "the sandbox has maintainer scripts"
dpkg-deb -f "$scratch"/debs/dsadmin_*.deb Depends | grep -q 'fonts-noto-cjk' ||
    fail "dsadmin does not bring its Chinese font"
# Stripped as Debian strips: no compiler version strings left in the programs.
for program in opt/dsadmin/dsadmin opt/dsadmin/dsadmin-cli usr/bin/dsfile usr/bin/dsadmin-sandbox; do
    ! readelf -S -W "$root/$program" | grep -qE ' \.comment | \.note ' ||
        fail "$program keeps its .comment or .note section"
done

# The layout: the window in /opt/dsadmin, linked from /usr/bin.
[ -x "$root/opt/dsadmin/dsadmin" ] || fail "no /opt/dsadmin/dsadmin"
[ "$(readlink "$root/usr/bin/dsadmin")" = /opt/dsadmin/dsadmin ] || fail "/usr/bin/dsadmin link"
version=$(dpkg-deb -f "$scratch"/debs/dsadmin_*.deb Version)
[ "$(env -u DISPLAY "$root/opt/dsadmin/dsadmin" --version)" = "dsadmin $version" ] ||
    fail "installed dsadmin --version"
[ "$(readlink "$root/usr/bin/dsadmin-cli")" = /opt/dsadmin/dsadmin-cli ] ||
    fail "/usr/bin/dsadmin-cli link"
[ "$("$root/opt/dsadmin/dsadmin-cli" --version)" = "dsadmin-cli $version" ] ||
    fail "installed dsadmin-cli --version"
[ "$(env -u DISPLAY "$root/usr/bin/dsfile" --version)" = "dsfile $version" ] ||
    fail "installed dsfile --version"
[ "$("$root/usr/bin/dsadmin-sandbox" --version)" = "dsadmin-sandbox $version" ] ||
    fail "installed dsadmin-sandbox --version"

# A structure file written and read back by the installed dsfile (which starts the reader's
# helper from the application folder).
[ -x "$root/opt/dsadmin/dsadmin-jetreader" ] || fail "no /opt/dsadmin/dsadmin-jetreader"
examples="$root/usr/share/doc/dsadmin/examples"
"$root/usr/bin/dsfile" write "$scratch/Round.DS" <"$examples/Sample.tsv"
"$root/usr/bin/dsfile" dump "$scratch/Round.DS" >"$scratch/round.tsv"
diff "$examples/Sample.tsv" "$scratch/round.tsv" || fail "dsfile write/dump round trip"

desktop-file-validate "$root"/usr/share/applications/*.desktop || fail "desktop entry"
for metainfo in "$root"/usr/share/metainfo/*.metainfo.xml; do
    appstreamcli validate --no-net --pedantic "$metainfo" >"$scratch/appstream.log" 2>&1 ||
        { cat "$scratch/appstream.log"; fail "metainfo $metainfo"; }
done
# Every program of both packages is named in a <provides>.
for program in dsadmin dsadmin-cli dsfile dsadmin-sandbox; do
    grep -q "<binary>$program</binary>" "$root"/usr/share/metainfo/*.metainfo.xml ||
        fail "no metainfo provides $program"
done
grep -q '<screenshot type="default">' "$root/usr/share/metainfo/org.dsadmin.dsadmin.metainfo.xml" ||
    fail "the metainfo shows no screenshot"
for size in 128 64 48 32 24 16; do
    file "$root/usr/share/icons/hicolor/${size}x$size/apps/dsadmin.png" |
        grep -q "PNG image data, $size x $size" || fail "icon $size"
done
svg="$root/usr/share/icons/hicolor/scalable/apps/dsadmin.svg"
file "$svg" | grep -q 'SVG Scalable Vector Graphics image' || fail "scalable icon"
grep -q 'viewBox="0 0 48 48"' "$svg" || fail "scalable icon: no 48-unit view box"
for page in "$root"/usr/share/man/man1/*.1.gz; do
    out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
    [ -z "$out" ] || fail "man $page: $out"
    [ -n "$(MANWIDTH=80 man -l "$page" 2>/dev/null)" ] || fail "man $page renders nothing"
done
[ "$(ls "$root"/usr/share/man/man1 | wc -l)" = 4 ] || fail "four manual pages"

# Another prefix: everything under it; bin/dsadmin leads the window to prefix/lib/dsadmin.
cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
[ -x "$scratch/prefix/lib/dsadmin/dsadmin" ] || fail "prefix install"
[ -x "$scratch/prefix/lib/dsadmin/dsadmin-cli" ] || fail "prefix install of dsadmin-cli"
"$scratch/prefix/bin/dsfile" tables "$scratch/Round.DS" | grep -q . ||
    fail "the prefix install's dsfile does not find the reader's helper"
env -u DISPLAY "$scratch/prefix/bin/dsadmin" --help | grep -q "$scratch/prefix/lib/dsadmin\$" ||
    fail "the link on PATH does not lead to the application folder"
! find "$scratch/prefix" -path '*/opt*' | grep -q . || fail "prefix install left the prefix"
echo "packages built, checked and run from $root"

if [ "$(id -u)" = 0 ]; then
    "$here/install_test.sh" "$scratch/debs" "$build/bin/settings_save" "$scratch/Round.DS"
else
    echo "not root: the packages were not installed on this machine"
fi
