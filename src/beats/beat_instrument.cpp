#include "beats/beat_instrument.h"

#include "engine/midi_output.h"

namespace fw {

bool announceBeatInstrument(MidiOutput& out, int selectedIndex) {
    out.ensureOpenSilent();
    if (selectedIndex < 0 || selectedIndex > 127)
        return false;
    return out.sendAndLog(MidiMessage::programChange(0, selectedIndex));
}

} // namespace fw
