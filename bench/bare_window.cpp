// The bare Qt window the start-up bench measures the program against: a window of the main
// window's size and nothing else, in a program that links Qt Widgets alone, as a Qt program
// could at best start.
//   fw_bare_window --child bare|bare-idle START_MICROS
//   fw_bare_window --child bare-beat IDLE_SECONDS BEAT_MS START_MICROS
// prints first-window-ms and first-window-cpu-ms at its first paint; with bare-idle it stays one
// second more and prints idle-rss-kb, the moment the program's own memory is read.
// With bare-beat the window holds a group box of four Qt radio buttons, one checked on each beat
// as the program's metronome is, and a timer that wakes every 100 ms and does nothing; after a
// second it prints idle-cpu-percent over IDLE_SECONDS: what Qt alone spends at the program's
// idle on this machine.
#include "window_measures.h"

#include <QApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QRadioButton>
#include <QWidget>

#include <sys/times.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>

using benchwindow::FirstPaint;
using benchwindow::residentKb;

namespace {
double processCpuSeconds() {
    tms t{};
    times(&t);
    return static_cast<double>(t.tms_utime + t.tms_stime) /
           static_cast<double>(sysconf(_SC_CLK_TCK));
}

int beatWindow(int argc, char** argv, int idleSeconds, int beatMs) {
    QApplication app(argc, argv);
    QWidget window;
    window.resize(779, 569);
    auto* box = new QGroupBox("Metronome", &window);
    auto* row = new QHBoxLayout(box);
    QRadioButton* beats[4];
    for (int i = 0; i < 4; ++i) {
        beats[i] = new QRadioButton(QString::number(i + 1), box);
        row->addWidget(beats[i]);
    }
    box->setGeometry(10, 10, 200, 50);
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [] {});
    tick.start(100);
    QTimer beat;
    int next = 0;
    QObject::connect(&beat, &QTimer::timeout, [&] { beats[next++ % 4]->setChecked(true); });
    beat.start(beatMs);
    window.show();
    double from = 0;
    QTimer::singleShot(1000, [&] { from = processCpuSeconds(); });
    QTimer::singleShot(1000 + idleSeconds * 1000, [&] {
        std::printf("idle-cpu-percent %.2f\n", 100.0 * (processCpuSeconds() - from) / idleSeconds);
        QApplication::quit();
    });
    return QApplication::exec();
}
} // namespace

int main(int argc, char** argv) {
    if (argc < 4 || std::string(argv[1]) != "--child") {
        std::fprintf(stderr,
                     "usage: %s --child bare|bare-idle START_MICROS\n"
                     "       %s --child bare-beat IDLE_SECONDS BEAT_MS START_MICROS\n",
                     argv[0], argv[0]);
        return 2;
    }
    int qtArgc = 1;
    if (std::string(argv[2]) == "bare-beat" && argc >= 6)
        return beatWindow(qtArgc, argv, std::max(1, std::atoi(argv[3])),
                          std::max(1, std::atoi(argv[4])));
    const bool idle = std::string(argv[2]) == "bare-idle";
    const std::int64_t start = std::atoll(argv[argc - 1]);
    QApplication app(qtArgc, argv);
    QWidget window;
    window.resize(779, 569);
    FirstPaint first(start, [idle] {
        if (!idle) {
            QApplication::quit();
            return;
        }
        QTimer::singleShot(1000, [] {
            // FW_BENCH_SMAPS=file keeps the memory map beside the program's, as file.bare.
            if (const char* keep = std::getenv("FW_BENCH_SMAPS"))
                std::ofstream(std::string(keep) + ".bare")
                    << std::ifstream("/proc/self/smaps").rdbuf();
            std::printf("idle-rss-kb %ld\n", residentKb());
            QApplication::quit();
        });
    });
    window.installEventFilter(&first);
    window.show();
    return QApplication::exec();
}
