#!/usr/bin/env bash
# --version and --help of both programs answer without a display, and the version is the
# project's.
set -euo pipefail
bin=$1
version=$2
unset DISPLAY WAYLAND_DISPLAY
export QT_QPA_PLATFORM=xcb
check() {
    local expected=$1
    shift
    local got
    got=$("$@") || { echo "'$*' failed"; exit 1; }
    [ "$got" = "$expected" ] || { echo "'$*' printed '$got', not '$expected'"; exit 1; }
}
check "fretwright $version" "$bin/fretwright" --version
check "fretwright-log $version" "$bin/fretwright-log" --version
"$bin/fretwright" --help | grep -q "^Usage: fretwright" || { echo "no usage from --help"; exit 1; }
"$bin/fretwright-log" --help | grep -q "fretwright-log midi" || { echo "no usage from fretwright-log --help"; exit 1; }
# A wrong command line is refused with status 2, still without a display.
status=0
"$bin/fretwright" --no-such-option 2>/dev/null || status=$?
[ "$status" = 2 ] || { echo "a wrong option exits with $status, not 2"; exit 1; }
echo "version $version; help and version answered without a display"
