#include "ui/qt_event_pump.h"

#include <QEventLoop>
#include <QTimer>

namespace fw {

void QtEventPump::processEventsFor(int maxMillis) {
    // A nested loop blocks in the event dispatcher until something happens or the time is up,
    // so waiting costs no processor time.
    QEventLoop loop;
    QTimer::singleShot(maxMillis, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace fw
