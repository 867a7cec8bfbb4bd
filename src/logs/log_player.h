#pragma once

#include "engine/event_pump.h"
#include "engine/midi_output.h"
#include "logs/log_lines.h"

#include <cstdint>
#include <string>

namespace fw {

// Plays a log to the MIDI output with the spacing it was recorded with: a line with time t is
// due t centiseconds after the playback started. Waits let the window work and sleep the last
// stretch, so the timing holds without burning a core; the clock never wraps, so every wait
// ends. Lines are sent as they stand and are not logged again.
class LogPlayer {
public:
    enum class End {
        Finished, // after the last line
        Stopped,  // by stop(); the output has been reset
        Failed,   // a line without a valid time; error() holds the message
        Busy,     // a playback was already running; nothing was done
    };
    struct Result {
        End end = End::Finished;
        std::string error;
        int sent = 0;
        int skipped = 0; // lines that are not channel messages a port may take
    };

    LogPlayer(MidiOutput& output, EventPump& pump) : out_(output), pump_(&pump) {}

    void setPump(EventPump& pump) { pump_ = &pump; }

    // Runs the playback to its end. The number of lines is read again before every line, so
    // lines added while it runs are played too.
    Result play(const LogSource& log);
    // Ends a running playback before its next line, also in the middle of a wait.
    void stop() { replayStop = true; }
    bool running() const { return running_; }

    // The clock reading taken when the last playback started; lines are timed from it.
    int replayStartTime = 0;
    std::int64_t replayStartMicros = 0;
    bool replayStop = false;

private:
    MidiOutput& out_;
    EventPump* pump_;
    bool running_ = false;
};

} // namespace fw
