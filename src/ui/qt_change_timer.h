#pragma once

#include <QObject>
#include <QTimer>

namespace fw {

// A timer for work that only a change makes due. While enabled, the first change noted runs the
// work one interval later, and the changes meanwhile join that run, just as a periodic timer of
// that interval groups them; with nothing changed it never wakes the thread.
class ChangeTimer : public QObject {
    Q_OBJECT
public:
    explicit ChangeTimer(QObject* parent = nullptr);

    void setInterval(int ms) { timer_.setInterval(ms); }
    int interval() const { return timer_.interval(); }
    // Enables it and runs once after an interval, for what changed while it was stopped.
    void start();
    void stop();
    bool isActive() const { return enabled_; }
    // Something the work reads has changed.
    void changed();
    // A run is waiting.
    bool pending() const { return timer_.isActive(); }

signals:
    void timeout();

private:
    QTimer timer_;
    bool enabled_ = false;
};

} // namespace fw
