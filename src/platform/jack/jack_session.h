#pragma once

#include <cstdint>

typedef struct _jack_client jack_client_t;

namespace fw {

// True when a JACK server may be running: one listens on a socket in /dev/shm (folder, for a
// test). A client that asks a missing server has libjack complain on the terminal and opens its
// metadata database on the way (1.7 MB of memory for as long as the program runs), so the server
// is only asked then. The registry and the database a stopped server leaves behind do not count,
// nor the socket file of one that was killed (socketTable: the kernel's list of Unix sockets).
bool jackServerMayRun(const char* folder = "/dev/shm", const char* socketTable = "/proc/net/unix");

// A client of the running JACK server under this name (JACK numbers it when the name is taken),
// never starting a server; nullptr when there is none. libjack's messages are kept off the
// terminal.
jack_client_t* openJackClient(const char* name);

// The period a process callback is in: the monotonic times of its first frame and of the next
// period's.
struct JackCycle {
    std::int64_t start = 0;
    std::int64_t end = 0;
};

// Where each period of a JACK client lies on the monotonic clock, found by counting frames.
// JACK reports a period's start as the system time when the period began, and a backend whose
// timer wakes late (the dummy backend does, by several milliseconds) makes those reports jump;
// converting them afresh each period would move every message placed by them. So frames are
// counted from a reference that follows the reports only through a slow delay-locked loop: a jump
// moves nothing, a lasting difference between the two clocks is taken up within seconds, and a
// frame counter that goes back or leaps (a restarted server) starts a new reference.
// Used by the process callback alone: no lock, no allocation.
class JackFrameClock {
public:
    // At the start of a process callback. False when JACK cannot tell.
    bool cycle(jack_client_t* client, JackCycle& out);
    // The same from what JACK reported: the period's first frame, its length, its start as a
    // monotonic time, and the sample rate.
    void advance(std::uint32_t firstFrame, std::uint32_t frames, std::int64_t reportedStart,
                 int sampleRate, JackCycle& out);

private:
    bool locked_ = false;
    int rate_ = 0;
    std::uint32_t nextFrame_ = 0; // where the last period ended
    double nextStart_ = 0;        // the loop's time of nextFrame_
    double microsPerFrame_ = 0;   // the loop's length of a frame
};

// Stops and closes a client; null afterwards.
void closeJackClient(jack_client_t*& client);

} // namespace fw
