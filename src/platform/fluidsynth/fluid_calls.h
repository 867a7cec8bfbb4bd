#pragma once

#include <cstdint>

namespace fw {

// Applies one packed short message to a FluidSynth synthesizer. Returns false for messages the
// synthesizer does not take (a status below 0x80 or a system message).
bool applyToFluidSynth(void* synth, std::uint32_t packed);

// Keeps FluidSynth quiet on the terminal: errors are reported by the callers instead.
void silenceFluidSynthLog();

} // namespace fw
