#pragma once

namespace fw {

// Keeps the ALSA library from printing its own errors on the terminal: a missing sound card or
// sequencer is reported by the program itself, once, not by ALSA on every retry.
void silenceAlsaErrors();

} // namespace fw
