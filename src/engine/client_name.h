#pragma once

#include <string>

namespace fw {

// The name the program's clients of the JACK server and the ALSA sequencer go by: "Fretwright",
// or inside a session the id the session manager gave, so that the session's connections find
// them again. Set once at start, before any client is opened.
void setOwnClientName(const std::string& name, bool inSession);
const std::string& ownClientName();

// The name of one of several clients open at once: in a session the own name, or for any other
// role "ID/role"; outside a session always the own name, which JACK numbers when it is taken.
std::string ownClientName(const char* role);

// True for a port of one of the program's own clients ("Fretwright:...", JACK's numbered
// "Fretwright-01:...", or in a session "ID:..." and "ID/role:..."), which the lists leave out.
bool isOwnMidiPort(const std::string& portName);

} // namespace fw
