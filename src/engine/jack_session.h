#pragma once

#include <cstdint>

typedef struct _jack_client jack_client_t;

namespace fw {

// True when a JACK server may be running: it leaves its files in /dev/shm. A client that asks
// a missing server has libjack complain on the terminal, so the server is only asked then.
bool jackServerMayRun();

// A client of the running JACK server under this name (JACK numbers it when the name is taken),
// never starting a server; nullptr when there is none. libjack's messages are kept off the
// terminal.
jack_client_t* openJackClient(const char* name);

// The monotonic clock minus JACK's own microsecond clock, read now. The two run on different
// clocks, so callers read it again at every cycle.
std::int64_t monotonicMinusJackTime();

} // namespace fw
