#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a desktop needs: both programs, the
# desktop entry and the AppStream metainfo (each passing its validator), the icon in every size,
# the manual pages (groff finds nothing to warn about and man renders them) and the starter set.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
id=org.fretwright.Fretwright
for program in fretwright fretwright-log; do
    [ -x "$prefix/bin/$program" ] || { echo "missing $prefix/bin/$program"; exit 1; }
done
desktop-file-validate "$prefix/share/applications/$id.desktop"
appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml"
grep -qx "Icon=$id" "$prefix/share/applications/$id.desktop"
[ -f "$prefix/share/icons/hicolor/scalable/apps/$id.svg" ] || { echo "missing SVG icon"; exit 1; }
for size in 16 32 48 64 128 256; do
    png="$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png"
    file "$png" | grep -q "PNG image data, $size x $size" || { echo "bad icon $png"; exit 1; }
done
# The starter set, where the program looks for it from its own folder (../share/fretwright).
for file in starter.cset starter.chords starter.picks starter.beat; do
    cmp -s "$prefix/share/fretwright/starter/$file" "$(dirname "$0")/../data/starter/$file" ||
        { echo "starter set: $file not installed"; exit 1; }
done
for page in fretwright fretwright-log; do
    gz="$prefix/share/man/man1/$page.1.gz"
    [ -f "$gz" ] || { echo "missing $gz"; exit 1; }
    warnings=$(zcat "$gz" | groff -man -ww -z 2>&1)
    [ -z "$warnings" ] || { echo "groff warns about $page(1):"; echo "$warnings"; exit 1; }
    MANWIDTH=80 man -l "$gz" 2>&1 | grep -q "^NAME" || { echo "man does not render $page(1)"; exit 1; }
done
echo "installed and valid in $prefix"
