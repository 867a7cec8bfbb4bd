#pragma once

#include "engine/midi_message.h"

namespace fw {

// Applies one short message to a FluidSynth synthesizer. Returns false for messages the
// synthesizer does not take (a status below 0x80 or a system message).
bool applyToFluidSynth(void* synth, MidiMessage message);

// Keeps FluidSynth quiet on the terminal: errors are reported by the callers instead.
void silenceFluidSynthLog();

} // namespace fw
