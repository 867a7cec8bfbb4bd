#include "app/qt_beat_timer.h"

#include <algorithm>

namespace fw {

BeatTimer::BeatTimer(BeatGrid& grid, QObject* parent) : QObject(parent), grid_(grid) {
    wake_.setSingleShot(true);
    wake_.setTimerType(Qt::PreciseTimer);
    connect(&wake_, &QTimer::timeout, this, [this] { grid_.wake(); });
    grid_.wakeWanted = [this](std::optional<std::int64_t> at) { arm(at); };
}

BeatTimer::~BeatTimer() {
    grid_.wakeWanted = nullptr;
}

void BeatTimer::arm(std::optional<std::int64_t> at) {
    if (!at) {
        wake_.stop();
        return;
    }
    // Rounded up: a wake a little after the time asked is what the grid allows for, and one
    // before it would only be sent back to wait.
    const std::int64_t lead = *at - grid_.clock().stampMicros();
    wake_.start(static_cast<int>(std::max<std::int64_t>((lead + 999) / 1000, 0)));
}

} // namespace fw
