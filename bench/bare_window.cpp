// The bare Qt window the start-up bench measures the program against: a window of the main
// window's size and nothing else, in a program that links Qt Widgets alone, as a Qt program
// could at best start.
//   fw_bare_window --child bare|bare-idle START_MICROS
// prints first-window-ms and first-window-cpu-ms at its first paint; with bare-idle it stays one
// second more and prints idle-rss-kb, the moment the program's own memory is read.
#include "window_measures.h"

#include <QApplication>
#include <QWidget>

#include <cstdlib>
#include <string>

using benchwindow::FirstPaint;
using benchwindow::residentKb;

int main(int argc, char** argv) {
    if (argc < 4 || std::string(argv[1]) != "--child") {
        std::fprintf(stderr, "usage: %s --child bare|bare-idle START_MICROS\n", argv[0]);
        return 2;
    }
    const bool idle = std::string(argv[2]) == "bare-idle";
    const std::int64_t start = std::atoll(argv[argc - 1]);
    int qtArgc = 1;
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
