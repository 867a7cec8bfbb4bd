#pragma once

class QWidget;

namespace fw {

// What the "Play Logs" tab needs of the window it sits in, beside the guitar it plays on. The
// main window implements it where the windows are assembled; the page never sees more of it
// than this.
class PlayLogsHost {
public:
    virtual ~PlayLogsHost() = default;

    // The window whose closing ends what the page runs.
    virtual QWidget& mainWindow() = 0;

    // Live play's sequencer and pitch updater, paused during a replay: pausing says which of
    // them ran, and resuming starts those again.
    struct LiveTimers {
        bool sequencer = false;
        bool pitchUpdater = false;
    };
    virtual LiveTimers pauseLiveTimers() = 0;
    virtual void resumeLiveTimers(LiveTimers running) = 0;
    // "STOP Play Mode": joystick play ends.
    virtual void stopJoystickPlay() = 0;
};

} // namespace fw
