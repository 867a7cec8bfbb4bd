#pragma once

#include "engine/midi_message.h"

namespace fw {

// Applies one short message to a FluidSynth synthesizer. Returns false for messages the
// synthesizer does not take (a status below 0x80 or a system message).
bool applyToFluidSynth(void* synth, MidiMessage message);

// Keeps FluidSynth quiet on the terminal: errors are reported by the callers instead.
void silenceFluidSynthLog();

// FluidSynth reads DLS files through libinstpatch, which every new synthesizer starts (some
// 0.9 MB of types and tables, and the library's pages). The program starts it only before a
// whole file goes to FluidSynth's own loaders, which may hand it on to the DLS one; the parts of
// a SoundFont it loads on demand are always SF2. Safe from any thread but an audio callback.
void startDlsSupport();
// What FluidSynth has asked for: starts less stops, and whether the library really started.
struct DlsSupport {
    int requested = 0;
    bool started = false;
};
DlsSupport dlsSupport();

} // namespace fw
