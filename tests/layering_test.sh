#!/usr/bin/env bash
# Includes point one way: no folder of src/ but app/ includes a header of app/ (the main window
# assembles the others, never the reverse), and no core file includes a window file.
set -u
src=${1:?usage: layering_test.sh SOURCE_DIR}/src
status=0
up=$(grep -rn --include='*.cpp' --include='*.h' '#include "app/' "$src" | grep -v "^$src/app/")
if [ -n "$up" ]; then
    echo "Included from outside app/:"
    echo "$up"
    status=1
fi
core=$(grep -rln --include='*.cpp' --include='*.h' -E '#include "[a-z_]+/qt_' "$src" |
    grep -v -E '/qt_[^/]*$|/app/main\.cpp$')
if [ -n "$core" ]; then
    echo "Core files that include a window file:"
    echo "$core"
    status=1
fi
exit $status
