#include "app/qt_play_logs_host.h"

#include "app/qt_main_window.h"
#include "beats/qt_beat_manager_page.h"

namespace fw {

MidiOutput& MainWindowLogsHost::output() {
    return form_.output();
}

Prompts& MainWindowLogsHost::prompts() {
    return form_.prompts();
}

MemoLog& MainWindowLogsHost::playLog() {
    return form_.playLog();
}

QWidget& MainWindowLogsHost::mainWindow() {
    return form_;
}

void MainWindowLogsHost::resendInstrumentAndBend() {
    form_.engine().st.sentInstrument = -1;
    form_.engine().st.sentBend = -1;
    form_.notePitchInputs();
}

void MainWindowLogsHost::announceBeatInstrument() {
    if (form_.BeatManager)
        form_.BeatManager->ListBox5Click();
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
