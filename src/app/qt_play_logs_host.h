#pragma once

#include "logs/qt_play_logs_host.h"

namespace fw {

class TForm1;

// The "Play Logs" tab's view of the main window.
class MainWindowLogsHost final : public PlayLogsHost {
public:
    explicit MainWindowLogsHost(TForm1& form) : form_(form) {}
    QWidget& mainWindow() override;
    LiveTimers pauseLiveTimers() override;
    void resumeLiveTimers(LiveTimers running) override;
    void stopJoystickPlay() override;

private:
    TForm1& form_;
};

} // namespace fw
