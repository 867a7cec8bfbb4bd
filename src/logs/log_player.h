#pragma once

#include "engine/midi_output.h"
#include "engine/wake_timer.h"
#include "logs/log_lines.h"

#include <cstdint>
#include <functional>
#include <string>

namespace fw {

// Plays a log to the MIDI output with the spacing it was recorded with: a line with time t is
// due t centiseconds after the playback started. It runs as a state machine on the wake timer:
// between lines the window thread is free, and no handler waits. The clock never wraps, so every
// playback ends. Lines are sent as they stand and are not logged again.
class LogPlayer {
public:
    enum class End {
        Finished, // after the last line
        Stopped,  // by stop(); the output has been reset
        Failed,   // a line without a valid time; error() holds the message
    };
    struct Result {
        End end = End::Finished;
        std::string error;
        int sent = 0;
        int skipped = 0; // lines that are not channel messages a port may take
    };
    using EndHandler = std::function<void(const Result&)>;

    // The timer's owner cancels it before the player goes.
    LogPlayer(MidiOutput& output, WakeTimer& timer) : out_(output), timer_(&timer) {}
    LogPlayer(const LogPlayer&) = delete;
    LogPlayer& operator=(const LogPlayer&) = delete;

    void setWakeTimer(WakeTimer& timer);

    // Starts a playback of log, which must outlive it: the output is opened and reset, the lines
    // due at once are sent, and the rest follow on the wake timer. The number of lines is read
    // again before every line, so lines added meanwhile are played too. onEnd is told once how
    // the playback ended. Returns false, doing nothing, while a playback runs.
    bool play(const LogSource& log, EndHandler onEnd);
    // Ends a running playback at once and silences the output.
    void stop();
    bool running() const { return log_ != nullptr; }

    // When the last playback started; lines are timed from it.
    int replayStartTime = 0;
    std::int64_t replayStartMicros = 0;

private:
    void advance();
    void finish(End end, std::string error = {});

    MidiOutput& out_;
    WakeTimer* timer_;
    const LogSource* log_ = nullptr;
    EndHandler onEnd_;
    Result result_;
    int next_ = 0;
};

} // namespace fw
