// Speed of the piano roll on long takes: opening the roll of a play log of N lines (reading every
// line and painting the first frame), then the paint time of frames while scrolling through the
// take at the opening zoom and with the whole take in view. Runs offscreen.
//   build/bin/bench_piano_roll [--lines N] [--shot FILE.png]
// --shot saves a picture of the roll of a short take instead.
#include "engine/z2uvir.h"
#include "logs/qt_piano_roll.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QScrollBar>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// A take as live play leaves it: six-string strums and arpeggios on channel 2 whose notes end
// when the next strum comes, a beat on channel 1, and bends now and then.
QString takeOf(int lines) {
    static const int chords[4][6] = {{40, 47, 52, 56, 59, 64},
                                     {45, 52, 57, 61, 64, 69},
                                     {47, 54, 59, 63, 66, 71},
                                     {40, 47, 52, 55, 59, 64}};
    std::string text;
    text.reserve(static_cast<std::size_t>(lines) * 14);
    int n = 0;
    int t = 0;
    int beat = 0;
    const auto add = [&](int status, int d1, int d2) {
        text += fw::formatZ2uvirLine(status, d1, d2, t);
        text += '\n';
        ++n;
    };
    std::vector<int> sounding;
    while (n < lines) {
        const int* chord = chords[(beat / 16) % 4];
        for (int note : sounding)
            add(0x91, note, 0);
        sounding.clear();
        if (beat % 4 == 0) {
            for (int s = 0; s < 6; ++s) {
                add(0x91, chord[s], 70 + s * 5);
                sounding.push_back(chord[s]);
            }
        } else {
            const int note = chord[(beat * 5) % 6] + ((beat / 2) % 2) * 12;
            add(0x91, note, 90);
            sounding.push_back(note);
        }
        add(0x90, beat % 2 ? 42 : 36, 90);
        add(0x90, beat % 2 ? 42 : 36, 0);
        if (beat % 16 == 10)
            for (int b = 0; b < 6; ++b)
                add(0xE1, 0, 64 + (b < 3 ? b * 6 : (5 - b) * 6));
        t += 15;
        ++beat;
    }
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

struct Stats {
    double p50 = 0, p99 = 0, max = 0;
};

Stats statsOf(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const auto at = [&](double q) {
        return v[std::min(v.size() - 1,
                          static_cast<std::size_t>(q * static_cast<double>(v.size())))];
    };
    return {at(0.5), at(0.99), v.back()};
}

double paintMillis(fw::PianoRollCanvas* canvas) {
    QElapsedTimer timer;
    timer.start();
    canvas->viewport()->repaint();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    int lines = 1'000'000;
    QString shot;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::string(argv[i]) == "--lines")
            lines = std::max(1, std::atoi(argv[i + 1]));
        if (std::string(argv[i]) == "--shot")
            shot = argv[i + 1];
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QPlainTextEdit log;
    fw::PianoRollWindow window(&log, "PL");
    window.resize(760, 520);

    if (!shot.isEmpty()) {
        log.setPlainText(takeOf(700));
        window.followBox()->setChecked(false);
        window.open();
        window.canvas()->setLeftTime(200);
        QApplication::processEvents();
        return window.grab().save(shot) ? 0 : 1;
    }

    log.setPlainText(takeOf(lines));
    std::printf("Play log of %d lines\n", lines);
    window.show();
    QApplication::processEvents();
    QElapsedTimer open;
    open.start();
    window.open();
    const double readMs = static_cast<double>(open.nsecsElapsed()) / 1e6;
    window.canvas()->viewport()->repaint();
    const double openMs = static_cast<double>(open.nsecsElapsed()) / 1e6;
    std::printf("Open the roll (read every line, paint the first frame): %.1f ms (target under "
                "300 ms), of which reading %.1f ms; %zu notes\n",
                openMs, readMs, window.roll().notes().size());

    fw::PianoRollCanvas* canvas = window.canvas();
    const auto scrollThrough = [&](int frames) {
        std::vector<double> ms;
        QScrollBar* bar = canvas->horizontalScrollBar();
        for (int i = 0; i < frames; ++i) {
            bar->setValue(static_cast<int>(static_cast<double>(bar->maximum()) * i / frames));
            ms.push_back(paintMillis(canvas));
        }
        return statsOf(ms);
    };
    const Stats near = scrollThrough(400);
    std::printf("Paint a frame scrolling at the opening zoom (about 10 s across): p50 %.2f ms, p99 "
                "%.2f ms, max %.2f ms (target under 16 ms)\n",
                near.p50, near.p99, near.max);
    canvas->setCentisPerPixel(6000.0 / canvas->viewport()->width(), 0); // a minute across
    const Stats minute = scrollThrough(200);
    std::printf("Paint a frame with a minute across: p50 %.2f ms, p99 %.2f ms, max %.2f ms\n",
                minute.p50, minute.p99, minute.max);
    canvas->fitAll();
    std::vector<double> all;
    for (int i = 0; i < 20; ++i)
        all.push_back(paintMillis(canvas));
    const Stats whole = statsOf(all);
    std::printf("Paint the whole take in view: p50 %.2f ms, max %.2f ms\n", whole.p50, whole.max);
    return 0;
}
