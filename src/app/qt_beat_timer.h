#pragma once

#include "engine/beat_grid.h"

#include <QObject>
#include <QTimer>

namespace fw {

// The window thread's waker of the beat grid: a precise timer that calls the grid when it asked
// to be woken. What a beat does and when it is due is the grid's; this only wakes it and tells
// the window layer of every beat (timeout). The grid's state is reached through grid().
class BeatTimer : public QObject {
    Q_OBJECT
public:
    explicit BeatTimer(BeatGrid& grid, QObject* parent = nullptr);
    ~BeatTimer() override;

    BeatGrid& grid() { return grid_; }
    const BeatGrid& grid() const { return grid_; }
    // The grid's own, for the tests and benches that watch the beat.
    void setInterval(int ms) { grid_.setInterval(ms); }
    int interval() const { return grid_.interval(); }
    bool isEnabled() const { return grid_.isEnabled(); }
    void start() { grid_.start(); }
    void stop() { grid_.stop(); }
    std::int64_t lastBeatDue() const { return grid_.lastBeatDue(); }

signals:
    // After every beat, once the core has played it.
    void timeout();

private:
    void arm(std::optional<std::int64_t> at);

    BeatGrid& grid_;
    QTimer wake_;
};

} // namespace fw
