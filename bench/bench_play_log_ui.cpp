// Cost of live play's logging and of the "Play Logs" buttons when the logs are long: appending
// one line (with the line counter refreshed) to an empty play log and to one of 1,000,000
// lines, and the copy, merge and export buttons on logs of that size. Runs the real window
// offscreen on fake ports.
//   build/bin/bench_play_log_ui [--lines N]
#include "engine/z2uvir.h"
#include "files/line_file.h"
#include "logs/qt_play_logs_page.h"
#include "support/qt_harness.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTextBlock>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <unistd.h>

namespace {

double millisOf(const std::function<void()>& work) {
    QElapsedTimer timer;
    timer.start();
    work();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

QString bigLog(int lines, int step) {
    std::string text;
    text.reserve(static_cast<std::size_t>(lines) * 14);
    int t = 0;
    for (int i = 0; i < lines; ++i) {
        t += (i % 3 == 0) ? step : 0;
        text += fw::formatZ2uvirLine(0x91, 40 + i % 40, i % 2 ? 0x5A : 0, t);
        text += '\n';
    }
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// Microseconds per appended line. Live play sends up to a strum of twelve messages in one tick
// and the window then repaints once; so do we.
double appendMicros(fw::TForm1& form, int count, bool repaint = true) {
    return 1000.0 * millisOf([&] {
               for (int i = 0; i < count; ++i) {
                   form.output().sendAndLog(0x91, 40 + i % 30, i % 2 ? 90 : 0);
                   if (repaint && i % 12 == 11)
                       QApplication::processEvents();
               }
           }) /
           count;
}

} // namespace

int main(int argc, char** argv) {
    int lines = 1'000'000;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::string(argv[i]) == "--lines")
            lines = std::atoi(argv[i + 1]);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    fw::test::MainWindowHarness h;
    fw::TForm1& form = *h.form;
    fw::PlayLogsPage& page = *form.PlayLogs;
    form.show();
    form.PageControl1->setCurrentWidget(&page); // the logs on screen: the worst case
    QApplication::processEvents();

    const double emptyBare = appendMicros(form, 5000, false);
    const double emptyCost = appendMicros(form, 5000);
    const QString text = bigLog(lines, 1);
    const double load = millisOf([&] { page.R2IMemo->setPlainText(text); });
    QApplication::processEvents();
    const double bigBare = appendMicros(form, 5000, false);
    const double bigCost = appendMicros(form, 5000);
    std::printf("Append one line to the play log and count: %.1f us with a short log, %.1f us "
                "with %d lines (line counter shows %s)\n",
                emptyBare, bigBare, lines, qPrintable(page.LineCount1->text()));
    std::printf("The same with a repaint of the window after every 12 lines: %.1f us, %.1f us\n",
                emptyCost, bigCost);
    std::printf("Fill the play log with %d lines: %.0f ms\n", lines, load);

    const double count = millisOf([&] {
        for (int i = 0; i < 1000; ++i)
            page.R2IMemoChange();
    });
    std::printf("Line counter refresh: %.2f us\n", count);
    std::printf("Read line %d for playback: %.2f us\n", lines / 2, millisOf([&] {
                    for (int i = 0; i < 1000; ++i)
                        page.R2IMemo->document()->findBlockByNumber(lines / 2 + i).text();
                }));

    page.R2IMemo->setPlainText(bigLog(lines / 2, 2));
    page.R2IMemo2->setPlainText(bigLog(lines / 2, 2));
    std::printf("\"PL+LA->\" with 2 x %d lines: %.0f ms\n", lines / 2,
                millisOf([&] { page.Button14Click(); }));
    std::printf("\"PL<---LC\" with %d lines: %.0f ms\n", lines,
                millisOf([&] { page.Button18Click(); }));
    std::printf("\"Save to Log A\" with %d lines: %.0f ms\n", lines,
                millisOf([&] { page.Button10Click(); }));
    const std::string mid =
        (std::filesystem::temp_directory_path() / ("fw_ui_" + std::to_string(getpid()) + ".mid"))
            .string();
    h.prompts.answer(mid);
    std::printf("\"Save Play Log to MIDI file\" with %d lines: %.0f ms (%s)\n", lines,
                millisOf([&] { page.Button52Click(); }),
                h.prompts.messages.size() > 1 ? h.prompts.messages.back().c_str() : "written");
    std::filesystem::remove(mid);

    // "Load Log..." of a long file: the whole time, and the longest the window went without
    // answering meanwhile.
    const std::string plog =
        (std::filesystem::temp_directory_path() / ("fw_ui_" + std::to_string(getpid()) + ".plog"))
            .string();
    {
        std::string bytes;
        for (int i = 0; i < 2 * lines; ++i)
            bytes += fw::formatZ2uvirLine(0x91, 40 + i % 40, i % 2 ? 0x5A : 0, i / 3) + "\r\n";
        fw::writeFileReplacing(plog, bytes);
    }
    h.prompts.answer(plog);
    QElapsedTimer whole;
    whole.start();
    page.LoadLogButtons[1]->click();
    double longest = static_cast<double>(whole.nsecsElapsed()) / 1e6;
    QElapsedTimer turn;
    turn.start();
    while (page.loading()) {
        QApplication::processEvents();
        longest = std::max(longest, static_cast<double>(turn.nsecsElapsed()) / 1e6);
        turn.restart();
    }
    std::printf("\"Load Log...\" of %d lines: %.0f ms in all, the window answering at least "
                "every %.0f ms (%d lines loaded)\n",
                2 * lines, static_cast<double>(whole.nsecsElapsed()) / 1e6, longest,
                fw::PlayLogsPage::lineCount(page.R2IMemo2));
    std::filesystem::remove(plog);
    return 0;
}
