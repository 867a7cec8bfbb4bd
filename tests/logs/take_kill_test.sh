#!/usr/bin/env bash
# Kills the real program (SIGKILL) while it plays a beat at 1000 BPM and starts it again: the
# take comes back with every line up to the last second before the kill, in order. A line cut at
# the end of the journal is dropped and counted, and declining keeps the take as a file.
#   take_kill_test.sh BUILD_DIR
# The program is driven from inside by the generic plugin tests/logs/kill/take_driver.cpp.
set -u
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/run
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
export QT_QPA_PLATFORM=offscreen QT_PLUGIN_PATH=$build/tests/plugins
export QT_QPA_GENERIC_PLUGINS=fwtakedriver FW_TAKE_DRIVER_OUT=$work/out
journals=$XDG_DATA_HOME/Fretwright/journal
kept=$XDG_DATA_HOME/Fretwright/takes

fail() {
    echo "FAIL: $*"
    [ -f "$work/run.log" ] && tail -20 "$work/run.log"
    exit 1
}
lines() { if [ -s "$1" ]; then awk 'END { print NR }' "$1"; else echo 0; fi; }

# Plays for $1 seconds and kills the program; sets needed (the play log a second before the
# kill) and shown (the last view of the play log before the kill).
play_and_kill() {
    rm -rf "$work/out" && mkdir -p "$work/out"
    FW_TAKE_DRIVER=play "$build/bin/fretwright" >"$work/run.log" 2>&1 &
    local pid=$!
    sleep "$1"
    local killedAt
    killedAt=$(date +%s%3N)
    kill -KILL "$pid"
    wait "$pid" 2>/dev/null
    needed="" shown=""
    for f in $(ls "$work/out"/pl-*.txt 2>/dev/null | sort); do
        local at=${f##*/pl-}
        at=${at%.txt}
        [ "$at" -le $((killedAt - 1000)) ] && needed=$f
        shown=$f
    done
    [ -n "$needed" ] || fail "the program did not play for a second"
}

# Starts the program again and answers the question with $1.
answer() {
    rm -f "$work/out/question.txt" "$work/out/restored.txt"
    FW_TAKE_DRIVER=$1 timeout 120 "$build/bin/fretwright" >"$work/run.log" 2>&1 ||
        fail "the program did not end cleanly after answering $1"
    [ -f "$work/out/question.txt" ] || fail "no question about the take"
}

# Yes: the take comes back into the play log, every line a second before the kill in order.
play_and_kill 5
[ "$(ls "$journals"/*.journal | wc -l)" -eq 1 ] || fail "no journal after the kill"
journal=$(ls "$journals"/*.journal)
inJournal=$(lines "$journal")
answer yes
restored=$work/out/restored.txt
grep -q "^A take of $inJournal lines recorded on .* was not saved\.$" "$work/out/question.txt" ||
    fail "question: $(cat "$work/out/question.txt")"
n=$(lines "$needed")
[ "$(head -n "$n" "$restored")" == "$(cat "$needed")" ] ||
    fail "the restored take lacks lines played a second before the kill"
echo "kill 1: the play log showed $(lines "$shown") lines at most 250 ms before the kill;" \
    "$(lines "$restored") came back ($inJournal in the journal, $n needed)"
ls "$journals"/*.journal >/dev/null 2>&1 && fail "a clean exit left a journal"

# No, with the last line cut: the take is kept as a file without it.
play_and_kill 3
journal=$(ls "$journals"/*.journal)
inJournal=$(lines "$journal")
printf '9140' >>"$journal"
answer no
grep -q "^A take of $inJournal lines recorded on .* was not saved\. Its last line was cut off" \
    "$work/out/question.txt" || fail "question: $(cat "$work/out/question.txt")"
file=$(ls "$kept"/*.plog 2>/dev/null | head -1)
[ -n "$file" ] || fail "declining kept no file"
[ "$(lines "$file")" -eq "$inJournal" ] || fail "the kept file has $(lines "$file") lines"
ls "$journals"/*.journal >/dev/null 2>&1 && fail "the journal stayed after it was kept"
grep -q "^9140$" "$file" && fail "the cut line was kept"
n=$(lines "$needed")
[ "$(head -n "$n" "$file" | tr -d '\r')" == "$(cat "$needed")" ] ||
    fail "the kept take lacks lines played a second before the kill"
echo "kill 2: the play log showed $(lines "$shown") lines at most 250 ms before the kill;" \
    "$inJournal kept in $(basename "$file") ($n needed), the cut line dropped"
