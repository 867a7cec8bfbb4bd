// What the start-up bench and its bare Qt window both measure: resident memory, the window
// thread's processor time and the first paint of a window. Qt alone, so that the bare window
// links nothing of the program.
#pragma once

#include <QEvent>
#include <QObject>
#include <QTimer>

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <functional>
#include <string>

namespace benchwindow {

// Microseconds on the monotonic clock, as the program's own clock counts them.
inline std::int64_t monotonicMicros() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

inline long residentKb() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

// Processor time of the calling thread so far, loader included for the main thread: the share of
// a start that does not depend on what else the machine runs.
inline double threadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// Reports the first paint of a window, in milliseconds since the process was started.
class FirstPaint : public QObject {
public:
    // answeredAt: when a message before it was answered, for the time from that answer.
    FirstPaint(std::int64_t startMicros, std::function<void()> then,
               const std::int64_t* answeredAt = nullptr)
        : start_(startMicros), then_(std::move(then)), answeredAt_(answeredAt) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!done_ && event->type() == QEvent::Paint) {
            done_ = true;
            const std::int64_t now = monotonicMicros();
            if (answeredAt_ && *answeredAt_ > 0)
                std::printf("main-window-ms %.1f\nmain-after-answer-ms %.1f\n"
                            "main-window-cpu-ms %.1f\n",
                            static_cast<double>(now - start_) / 1000.0,
                            static_cast<double>(now - *answeredAt_) / 1000.0, threadCpuMs());
            else
                std::printf("first-window-ms %.1f\nfirst-window-cpu-ms %.1f\n",
                            static_cast<double>(now - start_) / 1000.0, threadCpuMs());
            std::fflush(stdout);
            QTimer::singleShot(0, this, then_);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::int64_t start_;
    std::function<void()> then_;
    const std::int64_t* answeredAt_;
    bool done_ = false;
};

} // namespace benchwindow
