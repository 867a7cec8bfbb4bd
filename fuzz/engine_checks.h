#pragma once

// The play engine on fake ports, ticked with checks of what reaches the wire: only valid channel
// messages, each one logged exactly as sent, a note-on only for a note the chord in play sounds,
// and a note-off only for a note that went out and that a string held on the beat before.
#include "checks.h"
#include "engine/z2uvir.h"
#include "support/engine_rig.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace fw::fuzz {

class CheckedEngine : public test::EngineRig {
public:
    // Before the first beat every string counts as sounding note 0, as the empty memory does.
    CheckedEngine() {
        notes_.fill(0);
        notes_[0] = -1;
    }

    void tick() {
        play([this] {
            engine.sequencerTick();
            return true;
        });
    }

    // Anything that may pluck: a beat, or a pick that starts at once (a poll, a key). The act
    // says whether it played, so that the strings now hold the chord in play.
    template <typename Act> void play(Act act) {
        const std::size_t first = port.sent.size();
        const std::array<int, 11> before = notes_;
        if (act())
            notes_ = soundingNotes();
        const int guitar = 0x91 + engine.ui.track;
        const auto in = [](const std::array<int, 11>& notes, int note) {
            return std::find(notes.begin() + 1, notes.end(), note) != notes.end();
        };
        // A pluck at velocity 0 looks like a note-off; it is one of the chord's notes then.
        const bool silentPlucks = (engine.st.velocity & 0xFF) == 0;
        for (std::size_t i = first; i < port.sent.size(); ++i) {
            const auto& m = port.sent[i];
            if (m.status != guitar)
                continue;
            if (m.data2 != 0) {
                FW_CHECK(in(notes_, m.data1));
                wentOut_[static_cast<std::size_t>(m.data1)] = true;
            } else {
                FW_CHECK((in(before, m.data1) && wentOut_[static_cast<std::size_t>(m.data1)]) ||
                         (silentPlucks && in(notes_, m.data1)));
            }
        }
        checkWire();
    }

    // Every message on the wire is a channel message and the play log holds exactly the same.
    void checkWire() {
        FW_CHECK(port.sent.size() == log.lines.size());
        for (std::size_t i = checked_; i < port.sent.size(); ++i) {
            const auto& m = port.sent[i];
            FW_CHECK(isValidChannelMessage(m.status, m.data1, m.data2));
            const auto logged = channelMessageOf(log.lines[i]);
            FW_CHECK(logged && logged->status() == m.status && logged->data1() == m.data1 &&
                     logged->data2() == m.data2);
        }
        checked_ = port.sent.size();
    }

private:
    // The note each string sounds now, worked out wide here rather than by the engine's rule.
    std::array<int, 11> soundingNotes() const {
        std::array<int, 11> notes{};
        notes.fill(-1);
        const auto& st = engine.st;
        for (int s = 1; s <= 10; ++s) {
            const std::int64_t n =
                std::int64_t{st.chordMemory[st.chordSet][st.chord][s]} + st.fret - 1;
            notes[s] = n >= 0 && n <= 127 ? static_cast<int>(n) : -1;
        }
        return notes;
    }

    std::array<int, 11> notes_;
    std::array<bool, 128> wentOut_{};
    std::size_t checked_ = 0;
};

} // namespace fw::fuzz
