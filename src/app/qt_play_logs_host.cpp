#include "app/qt_play_logs_host.h"

#include "app/qt_main_window.h"

namespace fw {

QWidget& MainWindowLogsHost::mainWindow() {
    return form_;
}

PlayLogsHost::LiveTimers MainWindowLogsHost::pauseLiveTimers() {
    const LiveTimers running{form_.Timer2 && form_.Timer2->isEnabled(),
                             form_.PitchUpdater && form_.PitchUpdater->isActive()};
    if (form_.Timer2)
        form_.Timer2->stop();
    if (form_.PitchUpdater)
        form_.PitchUpdater->stop();
    return running;
}

void MainWindowLogsHost::resumeLiveTimers(LiveTimers running) {
    if (running.pitchUpdater)
        form_.PitchUpdater->start();
    if (running.sequencer)
        form_.Timer2->start();
}

void MainWindowLogsHost::stopJoystickPlay() {
    form_.Button79Click();
}

} // namespace fw
