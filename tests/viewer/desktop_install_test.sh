#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks that the desktop sees
# the file type and the viewer's entry: a drawing is recognised by its name
# and by its first four bytes, and the entry opens that type with q6viewer.
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

# Without the scratch prefix nothing knows the type.
out=$(XDG_DATA_DIRS=/usr/share XDG_DATA_HOME=$tmp/none "$probe" "$tmp/files/drawing.bin")
grep -q x-q6-drawing <<<"$out" && fail "the type is known without the install"
echo "desktop install: ok"
