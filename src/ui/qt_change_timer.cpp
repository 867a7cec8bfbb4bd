#include "ui/qt_change_timer.h"

namespace fw {

ChangeTimer::ChangeTimer(QObject* parent) : QObject(parent) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &ChangeTimer::timeout);
}

void ChangeTimer::start() {
    enabled_ = true;
    if (!timer_.isActive())
        timer_.start();
}

void ChangeTimer::stop() {
    enabled_ = false;
    timer_.stop();
}

void ChangeTimer::changed() {
    // A run already waiting takes this change too: restarting it would put off the work for as
    // long as changes keep coming (a bar being dragged).
    if (enabled_ && !timer_.isActive())
        timer_.start();
}

} // namespace fw
