#pragma once

namespace fw {

class MidiOutput;

// Announces the beat channel's instrument: makes sure the output is open, then sends program
// change C0 p 00 and logs it. With no entry selected (-1) nothing is announced, so an invalid
// program number never reaches a port or the log. Returns true when it was sent and logged.
bool announceBeatInstrument(MidiOutput& out, int selectedIndex);

} // namespace fw
