#!/usr/bin/env bash
# Sources keep the house layout: every tracked C++ file is as clang-format (.clang-format at the
# top of the tree) would write it. With a revision, only the files changed since it are checked.
#   format_test.sh SOURCE_DIR [BASE]
set -u
cd "${1:?usage: format_test.sh SOURCE_DIR [BASE]}" || exit 2
if ! command -v clang-format >/dev/null; then
    echo "clang-format is not installed (scripts/install-deps installs it)"
    exit 1
fi
if [ -n "${2:-}" ]; then
    files=$(git diff --name-only --diff-filter=d "$2" -- '*.cpp' '*.h')
else
    files=$(git ls-files -- '*.cpp' '*.h')
fi
[ -n "$files" ] || exit 0
bad=$(echo "$files" | xargs clang-format --dry-run 2>&1 | grep -o '^[^:]*:[0-9]*' | sort -u)
if [ -n "$bad" ]; then
    echo "Not as clang-format writes them (clang-format -i FILE mends them):"
    echo "$bad"
    exit 1
fi
