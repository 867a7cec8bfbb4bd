// The play engine driven by a script of player actions over random chord and pick memories.
// One command a line; numbers wrap into the range the command takes:
//   c SET CHORD STRING VALUE   chord memory entry (any 32-bit value)
//   p SET SEQUENCE TEXT        pick memory sequence
//   k PICK   f FRET   T TRACK   v VELOCITY   P PICKSET   b BEND   i INSTRUMENT
//   s  m  a  g  r  A           "S", "M", "ALT", "Merge Modes", "Realtime Frets", "Accomp. Beat"
//   B TEXT                     accompaniment beat line
//   t [N]  u  q                N beats, a pitch-updater tick, "Silence"
#include "engine_checks.h"
#include "files/line_file.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace {

struct Args {
    std::string_view rest;
    // The next number: optional "-", then digits, wrapping like a 64-bit counter.
    std::int64_t next() {
        while (!rest.empty() && rest.front() == ' ')
            rest.remove_prefix(1);
        bool negative = false;
        if (!rest.empty() && rest.front() == '-') {
            negative = true;
            rest.remove_prefix(1);
        }
        std::uint64_t v = 0;
        while (!rest.empty() && rest.front() >= '0' && rest.front() <= '9') {
            v = v * 10 + static_cast<std::uint64_t>(rest.front() - '0');
            rest.remove_prefix(1);
        }
        return static_cast<std::int64_t>(negative ? 0 - v : v);
    }
    int wrapped32() { return static_cast<std::int32_t>(static_cast<std::uint32_t>(next())); }
    // 1..n as written; other numbers wrap into the range.
    int oneTo(int n) {
        return static_cast<int>((static_cast<std::uint64_t>(next()) - 1) %
                                static_cast<unsigned>(n)) +
               1;
    }
    std::string text() {
        if (!rest.empty() && rest.front() == ' ')
            rest.remove_prefix(1);
        return std::string(rest);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fw::fuzz::CheckedEngine e;
    auto& st = e.engine.st;
    auto& ui = e.engine.ui;
    int beats = 0;
    for (std::string_view line : fw::splitLineViews(fw::fuzz::bytesOf(data, size))) {
        if (line.empty())
            continue;
        Args a{line.substr(1)};
        switch (line.front()) {
        case 'c': {
            const int set = a.oneTo(4), chord = a.oneTo(4), string = a.oneTo(10);
            st.chordMemory[set][chord][string] = a.wrapped32();
            break;
        }
        case 'p': {
            const int set = a.oneTo(4), seq = a.oneTo(8);
            st.pickMemory[set][seq] = a.text();
            break;
        }
        case 'k':
            e.engine.pickAction(a.oneTo(4));
            break;
        case 'f':
            e.engine.fretHover(a.wrapped32());
            break;
        case 'T':
            ui.track = a.oneTo(8) - 1;
            break;
        case 'v':
            st.velocity = a.wrapped32();
            break;
        case 'P':
            st.selPickSet = a.oneTo(4);
            break;
        case 'b':
            ui.tremPosition = a.oneTo(255);
            break;
        case 'i':
            ui.instrumentItem = a.oneTo(128) - 1;
            break;
        case 's':
            e.engine.stepChordSet();
            break;
        case 'm':
            e.engine.stepChord();
            break;
        case 'a':
            ui.alt = !ui.alt;
            break;
        case 'g':
            ui.mergeModes = !ui.mergeModes;
            break;
        case 'r':
            ui.realtimeFrets = !ui.realtimeFrets;
            break;
        case 'A':
            ui.accompBeat = !ui.accompBeat;
            break;
        case 'B':
            st.accompBeatLine = a.text();
            break;
        case 't': {
            // A bounded number of beats per input keeps every run short.
            const auto count = static_cast<std::uint64_t>(a.next()) % 9;
            for (auto n = std::max<std::uint64_t>(count, 1); n > 0 && beats < 256; --n, ++beats)
                e.tick();
            break;
        }
        case 'u':
            e.engine.pitchUpdaterTick();
            e.checkWire();
            break;
        case 'q':
            e.engine.silence();
            break;
        default:
            break;
        }
    }
    return 0;
}
