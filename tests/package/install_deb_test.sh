#!/usr/bin/env bash
# The Debian package as a user gets it: built with CPack from the build
# tree, installed with dpkg into a scratch root, and run from there: the
# tool's version, and the navigator (offscreen) finding its data under the
# root's share/velka: the English language module gives the About box its
# English text.
set -euo pipefail
build="$1"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

(cd "$build" && cpack -G DEB -B "$tmp/pkg" >"$tmp/cpack.log" 2>&1) || { cat "$tmp/cpack.log"; exit 1; }
deb="$(ls "$tmp"/pkg/velka_*.deb)"

root="$tmp/root"
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/triggers"
touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
dpkg --root="$root" --force-depends --force-not-root --force-script-chrootless \
     --log=/dev/null --instdir="$root" --admindir="$root/var/lib/dpkg" -i "$deb" >"$tmp/dpkg.log" 2>&1 \
  || { cat "$tmp/dpkg.log"; exit 1; }

fail=0
for f in usr/bin/velka usr/bin/velkatool usr/share/velka/day.skin usr/share/velka/0409.rll \
         usr/share/applications/velka.desktop usr/share/mime/packages/velka.xml \
         usr/share/icons/hicolor/scalable/apps/velka.svg usr/share/man/man1/velka.1.gz \
         usr/share/man/man1/velkatool.1.gz usr/share/doc/velka/LICENSE; do
  [ -e "$root/$f" ] || { echo "missing in the package: /$f"; fail=1; }
done
grep -q '^Exec="velka" %f$' "$root/usr/share/applications/velka.desktop" || { echo "desktop entry: no Exec line"; fail=1; }
for ext in zem zidx img gdb; do
  grep -q "pattern=\"\*\.$ext\"" "$root/usr/share/mime/packages/velka.xml" || { echo "MIME: no *.$ext"; fail=1; }
done

version="$("$root/usr/bin/velkatool" --version)"
echo "$version"
[[ "$version" == *1.1.28.15* ]] || { echo "velkatool --version: $version"; fail=1; }

home="$tmp/home"
mkdir -p "$home/config" "$home/state" "$home/data" "$home/runtime"
chmod 700 "$home/runtime"
env -i PATH=/usr/bin:/bin HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_STATE_HOME="$home/state" \
    XDG_DATA_HOME="$home/data" XDG_RUNTIME_DIR="$home/runtime" QT_QPA_PLATFORM=offscreen LANG=en_US.UTF-8 \
    VELKA_HEADLESS_COMMANDS=40003 timeout 60 "$root/usr/bin/velka" --screenshot "$tmp/shot.png" \
    >"$tmp/velka.out" 2>"$tmp/velka.err" || { echo "velka failed"; cat "$tmp/velka.err"; exit 1; }
grep -q "information: VELKA" "$tmp/velka.err" && grep -q "^Version 1.1.28.15" "$tmp/velka.err" \
  || { echo "velka: no English About box (data not found under the prefix?)"; cat "$tmp/velka.err"; fail=1; }
[ -s "$tmp/shot.png" ] || { echo "velka: no screenshot"; fail=1; }
exit $fail
