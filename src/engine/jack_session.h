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

// The period a process callback is in: the monotonic times of its first frame and of the next
// period's. JACK keeps its own clock, so this is read afresh at every period. False when JACK
// cannot tell.
struct JackCycle {
    std::int64_t start = 0;
    std::int64_t end = 0;
};
bool currentJackCycle(jack_client_t* client, JackCycle& cycle);

// Stops and closes a client; null afterwards.
void closeJackClient(jack_client_t*& client);

} // namespace fw
