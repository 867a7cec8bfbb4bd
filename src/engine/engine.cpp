#include "engine/engine.h"

#include "engine/string_note.h"
#include "engine/z2uvir.h"

#include <algorithm>
#include <climits>
#include <string_view>
#include <vector>

namespace fw {

namespace {
constexpr int kGroup = 7;
constexpr int kBeatStepWidth = 14;
constexpr int kBarCentre = 127;
constexpr std::int64_t kStrumGaps = 5; // between the six strings of a guitar
} // namespace

std::string Engine::selectionText() const {
    return std::to_string(st.selChordSet) + "-" + std::to_string(st.selChord);
}

std::string Engine::tempoText() const {
    return std::to_string(bpm()) + " BPM";
}

int Engine::firstCheckedFret() const {
    return (ui.checkedFret >= 1 && ui.checkedFret <= 13) ? ui.checkedFret : 0;
}

int Engine::noteOf(int string) const {
    return stringNote(st.chordMemory[st.chordSet][st.chord][string], st.fret);
}

void Engine::pickAction(int k) {
    pickAction(k, ui.pickAtOnce);
}

void Engine::pickAction(int k, bool atOnce) {
    st.chord = st.selChord;
    st.chordSet = st.selChordSet;
    st.pickSet = st.selPickSet;
    ui.pickItem = k - 1;
    if (int f = firstCheckedFret())
        st.fret = f;
    st.pick = ui.alt ? 2 * k : 2 * k - 1;
    st.pickStep = 0;
    groupAhead_ = false;
    if (!atOnce)
        return;
    // The first group goes the way a beat's group goes, stamped with the press; never before a
    // beat already handed over ahead of its time, so the two sound in the order they were played.
    std::int64_t press = out.sendStamp();
    if (const std::optional<BeatGrid> grid = beatGrid ? beatGrid() : std::nullopt)
        press = std::max(press, grid->lastDue);
    const MidiOutput::HeldStamp pressTime(out, press);
    releasePlucks(INT64_MAX);
    out.ensureOpenSilent();
    const int noteOn = 0x91 + ui.track;
    endChangedStrings(noteOn);
    playGroup(noteOn);
    rememberNotes();
    // The beats keep their grid. A press early for a beat stands for it, so the next group comes
    // one beat after; a press late after a beat stands for that one. Either way the second group
    // follows half a beat to a beat and a half later, on the grid.
    groupAhead_ = nearerComingBeat(press);
}

bool Engine::nearerComingBeat(std::int64_t press) const {
    const std::optional<BeatGrid> grid = beatGrid ? beatGrid() : std::nullopt;
    if (!grid || grid->nextDue <= grid->lastDue || press >= grid->nextDue)
        return false;
    return 2 * (press - grid->lastDue) >= grid->nextDue - grid->lastDue;
}

void Engine::fretHover(int n) {
    if (n >= 1 && n <= 13)
        ui.checkedFret = n;
}

void Engine::stepChordSet() {
    st.selChordSet = st.selChordSet >= 4 ? 1 : st.selChordSet + 1;
    if (ui.mergeModes)
        st.chordSet = st.selChordSet;
}

void Engine::stepChord() {
    st.selChord = st.selChord >= 4 ? 1 : st.selChord + 1;
    if (ui.mergeModes)
        st.chord = st.selChord;
}

void Engine::alternate(int k) {
    const int items[] = {ui.alternateItem1, ui.alternateItem2, ui.alternateItem3};
    if (k >= 1 && k <= 3 && items[k - 1] >= 0)
        ui.instrumentItem = items[k - 1];
}

void Engine::silence() {
    waitingPlucks_.clear();
    out.reset();
}

void Engine::pluck(int status, int string, int note, int velocity,
                   std::optional<std::int64_t> due) {
    const bool sent = due ? out.sendAndLogAt(status, note, velocity, *due)
                          : out.sendAndLog(status, note, velocity);
    // A pluck at velocity 0 is a note-off on the wire: nothing is left sounding.
    if (sent && velocity != 0)
        st.stringSounds[string] = true;
}

void Engine::releasePlucks(std::int64_t dueByMicros) {
    while (!waitingPlucks_.empty() && waitingPlucks_.front().due <= dueByMicros) {
        const Pluck p = waitingPlucks_.front();
        waitingPlucks_.pop_front();
        pluck(p.status, p.string, p.note, p.velocity, p.due);
    }
}

std::optional<std::int64_t> Engine::nextPluckDue() const {
    if (waitingPlucks_.empty())
        return std::nullopt;
    return waitingPlucks_.front().due;
}

void Engine::sequencerTick() {
    // A strum still under way finishes first, before this beat's note-offs.
    releasePlucks(INT64_MAX);
    if (ui.mergeModes) {
        st.chordSet = st.selChordSet;
        st.chord = st.selChord;
        st.pickSet = st.selPickSet;
    }
    ui.pickSetItem = st.selPickSet - 1;
    ui.metronomeItem = ui.metronomeItem + 1 > 3 ? 0 : ui.metronomeItem + 1;
    out.ensureOpenSilent();
    if (ui.realtimeFrets) {
        if (int f = firstCheckedFret())
            st.fret = f;
    }
    const int noteOn = 0x91 + ui.track;
    endChangedStrings(noteOn);
    if (groupAhead_)
        groupAhead_ = false; // the pick started at once played this beat's group already
    else
        playGroup(noteOn);
    if (ui.accompBeat)
        beatStep();
    rememberNotes();
}

void Engine::endChangedStrings(int noteOn) {
    // Only a note that went out is ended: a string that was never plucked has nothing to end,
    // and a note-off for it would cut the same note sounding on another string.
    for (int s = 1; s <= 10; ++s) {
        if (noteOf(s) == st.lastNotes[s])
            continue;
        if (st.stringSounds[s])
            out.sendAndLog(noteOn, st.lastNotes[s], 0);
        st.stringSounds[s] = false;
    }
}

void Engine::rememberNotes() {
    for (int s = 1; s <= 10; ++s)
        st.lastNotes[s] = noteOf(s);
}

void Engine::playGroup(int noteOn) {
    const std::string& seq = st.pickMemory[st.pickSet][st.pick];
    const auto length = static_cast<long long>(seq.size());
    if (length > static_cast<long long>(kGroup) * st.pickStep) {
        const auto start = static_cast<std::size_t>(kGroup * st.pickStep);
        ui.remainingSequence = seq.substr(start);
        std::vector<std::pair<int, int>> plucks; // (string, note) in the group's order
        const int velocity = st.velocity & 0xFF; // its low byte, as a message carries it
        for (std::size_t i = 0; i < kGroup && start + i < seq.size(); ++i) {
            const char ch = seq[start + i];
            // Anything but a digit rests, so a hand-edited sequence cannot stall the beat.
            if (ch < '0' || ch > '9')
                continue;
            const int string = ch - '0' + 1;
            const int note = noteOf(string);
            if (note != kNoNote && isValidChannelMessage(noteOn, note, velocity))
                plucks.emplace_back(string, note);
        }
        // A strum moves at a hand's pace: the first pluck leaves on the beat and a six-string
        // strum takes the spread time, so fewer strings (a pinch, a light stroke on the top
        // strings) keep the same gap between strings and stay close together; seven still
        // end when the spread has passed.
        const std::int64_t beat = out.sendStamp();
        const auto gaps =
            std::max<std::int64_t>(static_cast<std::int64_t>(plucks.size()) - 1, kStrumGaps);
        for (std::size_t k = 0; k < plucks.size(); ++k) {
            const auto [string, note] = plucks[k];
            if (k == 0 || ui.strumSpreadMs <= 0) {
                pluck(noteOn, string, note, velocity, std::nullopt);
                continue;
            }
            const std::int64_t due =
                beat + static_cast<std::int64_t>(k) * ui.strumSpreadMs * 1000 / gaps;
            waitingPlucks_.push_back({due, noteOn, string, note, velocity});
        }
    } else {
        st.pickStep = 0xFFFE;
    }
    st.pickStep = std::min(st.pickStep + 1, kIdle);
}

namespace {
// A unit of the beat line is "--" or two upper-case hexadecimal digits; anything else rests.
int beatUnitNote(std::string_view unit) {
    const auto isHex = [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); };
    if (unit.size() != 2 || !isHex(unit[0]) || !isHex(unit[1]))
        return -1;
    return hexToInt(unit);
}
} // namespace

void Engine::countBeatPass() {
    ++st.beatCycle;
    if (st.beatCycle >= ui.cyclesPerDigitItem + 1) {
        st.beatCycle = 0;
        st.beatDigitBusy = false;
    }
}

void Engine::beatStep() {
    const std::string_view line = st.accompBeatLine;
    const auto steps = static_cast<int>((line.size() + kBeatStepWidth - 1) / kBeatStepWidth);
    if (steps == 0) {
        // An empty line is a pass on every beat, so a digit waiting on it is still released.
        st.beatStep = 0;
        countBeatPass();
    } else {
        // A shorter line applied meanwhile starts over rather than giving a silent beat.
        if (st.beatStep < 0 || st.beatStep >= steps)
            st.beatStep = 0;
        const auto start =
            static_cast<std::size_t>(kBeatStepWidth) * static_cast<std::size_t>(st.beatStep);
        for (std::size_t j = 0; j < 7 && start + 2 * j < line.size(); ++j) {
            const int note = beatUnitNote(line.substr(start + 2 * j, 2));
            if (note >= 0)
                out.sendAndLog(0x90, note, 0x5A);
        }
        // Every step sounds on every pass, the first included; the pass ends with the last.
        if (++st.beatStep >= steps) {
            st.beatStep = 0;
            countBeatPass();
        }
    }
    if (afterBeatStep)
        afterBeatStep();
}

int Engine::pitchBendFor(int position) {
    return std::clamp(kPitchBendCentre + (position - kBarCentre) * 64, 0, kPitchBendMax);
}

void Engine::pitchUpdaterTick() {
    st.bendValue = ui.tremPosition;
    if (!out.probeOnly())
        return;
    st.instrument = ui.instrumentItem;
    // Tracks 0..7 play on channels 1..8.
    const int trackChannel = 1 + ui.track;
    if (st.instrument != st.sentInstrument) {
        st.sentInstrument = st.instrument;
        out.sendAndLog(MidiMessage::programChange(trackChannel, st.instrument));
    }
    if (st.bendValue != st.sentBend) {
        st.sentBend = st.bendValue;
        out.sendAndLog(MidiMessage::pitchBend(trackChannel, pitchBendFor(st.bendValue)));
    }
}

} // namespace fw
