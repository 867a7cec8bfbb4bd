#pragma once

#include "engine/clock.h"
#include "engine/wake_timer.h"

#include <QObject>
#include <QTimer>

namespace fw {

// The wake timer of the window thread: a precise timer brings the event loop to within a couple
// of milliseconds of the time, and the thread sleeps the rest, since a timer alone can fire a
// millisecond late. Nothing waits on the event loop, and no processor time is burnt.
class QtWakeTimer final : public QObject, public WakeTimer {
public:
    explicit QtWakeTimer(Clock& clock, QObject* parent = nullptr);
    void wakeAt(std::int64_t micros, std::function<void()> wake) override;
    void cancel() override;

private:
    void arm();
    void fire();

    Clock& clock_;
    QTimer timer_;
    std::int64_t target_ = 0;
    std::function<void()> wake_;
};

} // namespace fw
