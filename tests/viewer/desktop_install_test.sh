#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks that the desktop sees
# the file type and the viewer's entry: a drawing is recognised by its name
# and by its first four bytes, and the entry opens that type with q6viewer;
# the thumbnailer entry runs the installed q6-thumbnailer for that type, and
# the icon the entry and the type name is in the hicolor theme.
#   desktop_install_test.sh BUILD_DIR MIME_PROBE SAMPLE
set -euo pipefail
build=$1 probe=$2 sample=$3
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$tmp/prefix" >"$tmp/install.log" 2>&1 || { cat "$tmp/install.log"; fail "install"; }
share=$tmp/prefix/share
[[ -x $tmp/prefix/bin/q6viewer ]] || fail "q6viewer not installed"
entry=$share/applications/q6viewer.desktop
[[ -f $entry ]] || fail "desktop entry not installed"
[[ -f $share/mime/packages/x-q6-drawing.xml ]] || fail "file type not installed"
[[ -f $share/mime/mime.cache ]] || fail "the install did not rebuild the file-type cache"
grep -qx 'Exec=q6viewer %f' "$entry" || fail "desktop entry: Exec"
grep -qx 'MimeType=application/x-q6-drawing;' "$entry" || fail "desktop entry: MimeType"
grep -qx 'Type=Application' "$entry" || fail "desktop entry: Type"
grep -qx 'Icon=q6viewer' "$entry" || fail "desktop entry: Icon"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$entry" || fail "desktop entry does not validate"
fi

# The icon, where the theme looks for it, as a picture that others can read.
icon=$share/icons/hicolor/scalable/apps/q6viewer.svg
[[ -f $icon ]] || fail "icon not installed in hicolor"
if command -v xmllint >/dev/null; then xmllint --noout "$icon" || fail "icon is not well-formed"; fi
if command -v rsvg-convert >/dev/null; then
  rsvg-convert -w 48 -h 48 "$icon" -o "$tmp/icon.png" || fail "icon does not render"
fi

# The thumbnailer entry, and the installed thumbnailer run as a file manager
# runs it: the Exec line with %s, %i and %o filled in.
thumb=$share/thumbnailers/q6.thumbnailer
[[ -f $thumb ]] || fail "thumbnailer entry not installed"
[[ -x $tmp/prefix/bin/q6-thumbnailer ]] || fail "q6-thumbnailer not installed"
grep -qx '\[Thumbnailer Entry\]' "$thumb" || fail "thumbnailer entry: group"
grep -qx 'TryExec=q6-thumbnailer' "$thumb" || fail "thumbnailer entry: TryExec"
grep -qx 'MimeType=application/x-q6-drawing;' "$thumb" || fail "thumbnailer entry: MimeType"
exec_line=$(sed -n 's/^Exec=//p' "$thumb")
[[ $exec_line == 'q6-thumbnailer -s %s %i %o' ]] || fail "thumbnailer entry: Exec is '$exec_line'"
cmd=${exec_line//%s/128}
cmd=${cmd//%i/$sample}
cmd=${cmd//%o/$tmp/thumb.png}
# shellcheck disable=SC2086 # the line is split as the desktop splits it
env -u QT_QPA_PLATFORM -u DISPLAY -u WAYLAND_DISPLAY PATH="$tmp/prefix/bin:$PATH" $cmd || fail "thumbnailer failed"
[[ $(head -c 8 "$tmp/thumb.png" | od -An -tx1 | tr -d ' \n') == 89504e470d0a1a0a ]] || fail "thumbnail is not a PNG"

# Files named and filled in every combination.
mkdir "$tmp/files"
cp "$sample" "$tmp/files/drawing.q6"
cp "$sample" "$tmp/files/DRAWING.Q6"
cp "$sample" "$tmp/files/drawing.bin"
printf 'not a drawing at all' >"$tmp/files/text.q6"
printf '\xe8\x03\x0b\x00\x00\x00\x00\x00' >"$tmp/files/other-version.bin"
printf 'plain text\n' >"$tmp/files/notes.bin"

# The scratch prefix before the system's own types.
out=$(XDG_DATA_DIRS=$share:/usr/share XDG_DATA_HOME=$tmp/none "$probe" "$tmp"/files/*)
echo "$out"
expect() {  # file, type by name and contents, type by contents
  local line
  line=$(grep -F "$tmp/files/$1 " <<<"$out") || fail "$1 not probed"
  [[ $line == "$tmp/files/$1 $2 $3" ]] || fail "$1: got '${line#"$tmp/files/"}', expected '$1 $2 $3'"
}
q6=application/x-q6-drawing
expect drawing.q6 $q6 $q6
expect DRAWING.Q6 $q6 $q6
expect drawing.bin $q6 $q6
expect text.q6 $q6 text/plain
expect other-version.bin application/octet-stream application/octet-stream
expect notes.bin text/plain text/plain

# The type's icons: the viewer's, and a generic one for themes without it.
icons=$(XDG_DATA_DIRS=$share:/usr/share XDG_DATA_HOME=$tmp/none "$probe" --icons $q6)
[[ $icons == "q6viewer image-x-generic" ]] || fail "type icons: got '$icons'"

# Without the scratch prefix nothing knows the type.
out=$(XDG_DATA_DIRS=/usr/share XDG_DATA_HOME=$tmp/none "$probe" "$tmp/files/drawing.bin")
grep -q x-q6-drawing <<<"$out" && fail "the type is known without the install"
echo "desktop install: ok"
