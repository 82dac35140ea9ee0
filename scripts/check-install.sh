#!/usr/bin/env bash
# Installs a build into a throw-away DESTDIR and checks the tree a package gets:
# the programs, the alarm sound where the console looks for it, the user guide
# with its pictures, valid menu
# entries, icons, a .vlr file type that names the editor as its handler, and
# the site service's unit, user and example configuration.
# Usage: scripts/check-install.sh [build-dir] (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
root=$(mktemp -d "${TMPDIR:-/tmp}/tarvik-install.XXXXXX")
trap 'rm -rf "$root"' EXIT
fail() { echo "check-install: $*" >&2; exit 1; }

DESTDIR=$root cmake --install "$build" --prefix /usr > /dev/null
usr=$root/usr
for program in TarvikEditor TarvikScada TarvikDispatch TarvikSim; do
    [ -x "$usr/bin/$program" ] || fail "bin/$program missing"
done
cmp -s images/Alarm.wav "$usr/share/tarvik/Alarm.wav" || fail "share/tarvik/Alarm.wav missing"
guide=$usr/share/tarvik/guide
cmp -s docs/guide.ru.md "$guide/guide.ru.md" || fail "share/tarvik/guide/guide.ru.md missing"
for picture in $(grep -o '](\([^)]*\.png\))' docs/guide.ru.md | tr -d '()]'); do
    [ -s "$guide/$picture" ] || fail "the guide's picture $picture is missing"
done
for size in 16 32 48 256; do
    [ -s "$usr/share/icons/hicolor/${size}x$size/apps/tarvik.png" ] || fail "${size}px icon missing"
    [ -s "$usr/share/icons/hicolor/${size}x$size/apps/tarvik-dispatch.png" ] || fail "${size}px dispatcher icon missing"
done

desktop-file-validate "$usr"/share/applications/*.desktop || fail "invalid .desktop file"
for entry in tarvik-editor:TarvikEditor tarvik-scada:TarvikScada; do
    file=$usr/share/applications/${entry%%:*}.desktop
    grep -q "^Exec=${entry##*:}\b" "$file" || fail "$file does not start ${entry##*:}"
    grep -q '^Icon=tarvik$' "$file" || fail "$file names another icon"
done
grep -q '^Exec=TarvikDispatch\b' "$usr/share/applications/tarvik-dispatch.desktop" \
    && grep -q '^Icon=tarvik-dispatch$' "$usr/share/applications/tarvik-dispatch.desktop" \
    || fail "tarvik-dispatch.desktop does not start TarvikDispatch with its icon"
grep -q '^MimeType=application/x-tarvik-vlr;$' "$usr/share/applications/tarvik-editor.desktop" \
    || fail "the editor does not handle .vlr files"

# The MIME database built from our package alone must map *.vlr to our type.
xmllint --noout "$usr/share/mime/packages/tarvik-vlr.xml"
XDG_DATA_DIRS=$usr/share update-mime-database "$usr/share/mime" 2>&1 | { ! grep .; } || fail "update-mime-database complained"
grep -q '^application/x-tarvik-vlr:\*\.vlr$' "$usr/share/mime/globs" || fail "*.vlr is not mapped"

# The site service, where it is built: the program, its unit starting it, its
# user and the example configuration.
if [ -x "$build/site/tarvik-site" ]; then
    [ -x "$usr/bin/tarvik-site" ] || fail "bin/tarvik-site missing"
    unit=$usr/lib/systemd/system/tarvik-site.service
    grep -q '^ExecStart=/usr/bin/tarvik-site --config /etc/tarvik/site.ini$' "$unit" \
        || fail "$unit does not start /usr/bin/tarvik-site"
    grep -q '^u tarvik-site ' "$usr/lib/sysusers.d/tarvik-site.conf" || fail "the service's user is not declared"
    [ -s "$usr/share/doc/tarvik/examples/site.ini" ] || fail "the example site.ini is missing"
fi

# Nothing else sneaks into the package.
unexpected=$(cd "$root" && find . -type f | grep -v -e '^./usr/bin/' -e '^./usr/share/tarvik/' \
    -e '^./usr/share/applications/' -e '^./usr/share/icons/hicolor/' -e '^./usr/share/mime/' \
    -e '^./usr/lib/systemd/system/tarvik-site.service$' -e '^./usr/lib/sysusers.d/tarvik-site.conf$' \
    -e '^./usr/share/doc/tarvik/examples/site.ini$' || true)
[ -z "$unexpected" ] || fail "unexpected files: $unexpected"
echo "check-install: install tree OK"
