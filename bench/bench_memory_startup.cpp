// Memory and start-up of the whole program as a player meets it: the main window and the six
// secondary windows built as the program builds them, the built-in synthesizer playing to the
// sound server. bench/memory_startup.sh runs it on a virtual display with a null sink.
//
//   bench_memory_startup [--starts N] [--play-seconds N] [--idle-seconds N] [--soundfont FILE]
//                        [--answer-after MS]
//
// Each figure comes from a fresh process (this program started again with --child):
//   - time to first window: from the moment the process was started to the first paint of the
//     joystick capture message (the first window a player sees), the median of N starts, beside
//     the same figure for a bare Qt window; the message is answered as soon as it is painted
//     (or --answer-after MS later, as a player who reads it first), and the time from that
//     answer to the main window's first paint is the second figure;
//   - resident memory one second after the first paint, at idle, beside the bare window's;
//   - processor time and wake-ups per second of each thread at idle, over --idle-seconds after
//     that;
//   - resident memory after playing the guitar (a six-string pattern) and the accompaniment beat
//     for --play-seconds.
#include "app/qt_main_window.h"
#include "app/qt_prompts.h"
#include "app/qt_window_links.h"
#include "beats/qt_beat_manager_page.h"
#include "bench_ports.h"
#include "engine/clock.h"
#include "engine/sound_settings.h"
#include "platform/midi_outputs.h"
#include "platform/sdl/sdl_joystick.h"
#include "window_measures.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QLayout>
#include <QMessageBox>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fstream>
#include <map>
#include <memory>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

using benchwindow::FirstPaint;
using benchwindow::monotonicMicros;
using benchwindow::residentKb;
using benchwindow::threadCpuMs;

// Context switches (each a wake-up, or a stall) and processor ticks of one thread so far.
struct ThreadSample {
    std::string name;
    long switches = 0;
    long ticks = 0;
};

std::map<int, ThreadSample> sampleThreads() {
    std::map<int, ThreadSample> out;
    DIR* dir = opendir("/proc/self/task");
    if (!dir)
        return out;
    while (const dirent* e = readdir(dir)) {
        const int tid = std::atoi(e->d_name);
        if (tid <= 0)
            continue;
        const std::string base = std::string("/proc/self/task/") + e->d_name;
        ThreadSample t;
        std::ifstream status(base + "/status");
        for (std::string line; std::getline(status, line);) {
            if (line.rfind("Name:", 0) == 0)
                t.name = line.substr(line.find_first_not_of(" \t", 5));
            else if (line.find("ctxt_switches:") != std::string::npos)
                t.switches += std::stol(line.substr(line.find(':') + 1));
        }
        std::ifstream stat(base + "/stat");
        std::string all((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        // utime and stime are fields 14 and 15; the name in parentheses may hold spaces.
        std::size_t at = all.rfind(')');
        for (int field = 2; field < 14 && at != std::string::npos; ++field)
            at = all.find(' ', at + 1);
        if (at != std::string::npos) {
            char* end = nullptr;
            const long user = std::strtol(all.c_str() + at + 1, &end, 10);
            t.ticks = user + std::strtol(end, nullptr, 10);
        }
        out[tid] = t;
    }
    closedir(dir);
    return out;
}

// Prints each thread's wake-ups per second and share of a core between two samples.
void printIdle(const std::map<int, ThreadSample>& before, const std::map<int, ThreadSample>& after,
               double seconds) {
    const double hz = static_cast<double>(sysconf(_SC_CLK_TCK));
    long ticks = 0;
    for (const auto& [tid, t] : after) {
        const auto was = before.find(tid);
        const long switches = t.switches - (was == before.end() ? 0 : was->second.switches);
        const long used = t.ticks - (was == before.end() ? 0 : was->second.ticks);
        ticks += used;
        std::printf("idle-thread %-16s %8.1f wake-ups/s %6.2f %%\n", t.name.c_str(),
                    static_cast<double>(switches) / seconds,
                    100.0 * static_cast<double>(used) / hz / seconds);
    }
    std::printf("idle-cpu-percent %.2f\n", 100.0 * static_cast<double>(ticks) / hz / seconds);
}

// Answers the start's message box the given time after it is painted, as a click would, and
// notes when it appeared and when the click was made.
class AnswerFirstBox : public QObject {
public:
    AnswerFirstBox(std::int64_t startMicros, int delayMs) : start_(startMicros), delay_(delayMs) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* box = qobject_cast<QMessageBox*>(watched);
        if (box && answeredAt == 0 && event->type() == QEvent::Paint) {
            const std::int64_t now = monotonicMicros();
            answeredAt = now + static_cast<std::int64_t>(delay_) * 1000;
            std::printf("first-window-ms %.1f\nfirst-window-cpu-ms %.1f\n",
                        static_cast<double>(now - start_) / 1000.0, threadCpuMs());
            std::fflush(stdout);
            QTimer::singleShot(delay_, box, [box] { box->accept(); });
        }
        return QObject::eventFilter(watched, event);
    }
    std::int64_t answeredAt = 0;

private:
    std::int64_t start_;
    int delay_;
};

// A guitar pattern and a beat that keep the synthesizer busy as a player would.
void startPlaying(fw::TForm1& form) {
    fw::Engine& e = form.engine();
    const int notes[] = {40, 45, 50, 55, 59, 64};
    for (int chord = 1; chord <= 4; ++chord)
        for (int s = 1; s <= 6; ++s)
            e.st.chordMemory[1][chord][s] = notes[s - 1] + (chord - 1) * 2;
    e.st.pickMemory[1][1] = "012345-0------1------2------3------4------5------";
    e.st.accompBeatLine = "24----2A------26----2A------";
    e.ui.accompBeat = true;
    e.ui.tempPosition = 1001 - 300;
    if (form.BeatManager) {
        form.BeatManager->ListBox5->setCurrentRow(115);
        form.BeatManager->ListBox5Click();
    }
    form.syncControls();
    auto* strum = new QTimer(&form);
    int count = 0;
    QObject::connect(strum, &QTimer::timeout, &form, [&form, &count] {
        form.engine().st.selChord = 1 + (count++ % 4);
        form.Button65Click();
    });
    strum->start(1400);
}

int windowChild(int argc, char** argv, std::int64_t start, int playSeconds, int idleSeconds) {
    QApplication app(argc, argv);
    const char* answerAfter = std::getenv("FW_BENCH_ANSWER_AFTER_MS");
    AnswerFirstBox answer(start, answerAfter ? std::atoi(answerAfter) : 0);
    app.installEventFilter(&answer);
    fw::SystemClock clock;
    fw::QtPrompts prompts;
    prompts.holdNextMessage();
    fw::MidiOutputs outputs;
    fw::SdlJoystick joystick;
    fw::SeededRandom random(1);
    fw::Guitar guitar(clock, prompts, outputs);
    fw::TForm1 form1(guitar, {joystick, random});
    fw::SecondaryWindows secondary(form1);
    const std::string conf =
        QDir::tempPath().toStdString() + "/fw-bench-memory-" + std::to_string(getpid()) + ".conf";
    if (const char* soundFont = std::getenv("FW_BENCH_SOUNDFONT"))
        fw::Settings(conf).setValue(fw::kSoundFontSetting, std::string(soundFont));
    form1.restoreSettings(conf);
    std::remove(conf.c_str());
    app.removeEventFilter(&answer);
    FirstPaint first(
        start,
        [&form1, playSeconds, idleSeconds] {
            if (playSeconds < 0) {
                QApplication::quit();
                return;
            }
            QTimer::singleShot(1000, &form1, [&form1, playSeconds, idleSeconds] {
                std::printf("idle-rss-kb %ld\nbeat-ms %d\n", residentKb(),
                            60000 / form1.engine().bpm());
                std::fflush(stdout);
                // FW_BENCH_SMAPS=file keeps the memory map for a closer look.
                if (const char* keep = std::getenv("FW_BENCH_SMAPS"))
                    std::ofstream(keep) << std::ifstream("/proc/self/smaps").rdbuf();
                auto before = std::make_shared<std::map<int, ThreadSample>>(sampleThreads());
                QTimer::singleShot(idleSeconds * 1000, &form1,
                                   [&form1, before, playSeconds, idleSeconds] {
                                       printIdle(*before, sampleThreads(), idleSeconds);
                                       std::fflush(stdout);
                                       startPlaying(form1);
                                       QTimer::singleShot(playSeconds * 1000, &form1, [] {
                                           std::printf("played-rss-kb %ld\n", residentKb());
                                           QApplication::quit();
                                       });
                                   });
            });
        },
        &answer.answeredAt);
    form1.installEventFilter(&first);
    // As the program readies the main window while the message is read.
    form1.ensurePolished();
    form1.layout()->activate();
    form1.winId();
    prompts.awaitAnswer();
    form1.show();
    return QApplication::exec();
}

// Runs this program again as a child; returns its output.
std::string runChild(const char* self, const std::vector<std::string>& args) {
    int fds[2];
    if (pipe(fds) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    std::vector<std::string> all = {self, "--child"};
    all.insert(all.end(), args.begin(), args.end());
    all.push_back(std::to_string(monotonicMicros()));
    std::vector<char*> argv;
    for (auto& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const bool started = posix_spawn(&pid, self, &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    std::string out;
    char buf[4096];
    for (ssize_t n; started && (n = read(fds[0], buf, sizeof buf)) > 0;)
        out.append(buf, static_cast<std::size_t>(n));
    close(fds[0]);
    if (started) {
        int status = 0;
        waitpid(pid, &status, 0);
    }
    return out;
}

double figure(const std::string& out, const std::string& key) {
    const auto at = out.find(key + " ");
    return at == std::string::npos ? -1 : std::atof(out.c_str() + at + key.size() + 1);
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? -1 : v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && std::string(argv[1]) == "--child") {
        const std::string mode = argv[2];
        const std::int64_t start = std::atoll(argv[argc - 1]);
        const int play = mode == "play" ? std::atoi(argv[3]) : -1;
        const int idle = mode == "play" ? std::atoi(argv[4]) : 0;
        return windowChild(1, argv, start, play, idle);
    }
    int starts = 5;
    int playSeconds = 60;
    int idleSeconds = 10;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--starts" && i + 1 < argc) {
            starts = std::max(1, std::atoi(argv[++i]));
        } else if (a == "--play-seconds" && i + 1 < argc) {
            playSeconds = std::max(1, std::atoi(argv[++i]));
        } else if (a == "--idle-seconds" && i + 1 < argc) {
            idleSeconds = std::max(1, std::atoi(argv[++i]));
        } else if (a == "--answer-after" && i + 1 < argc) {
            setenv("FW_BENCH_ANSWER_AFTER_MS", argv[++i], 1);
        } else if (a == "--soundfont" && i + 1 < argc) {
            // Handed to the children, which take it up as a remembered choice.
            setenv("FW_BENCH_SOUNDFONT", argv[++i], 1);
        } else {
            std::fprintf(stderr,
                         "usage: %s [--starts N] [--play-seconds N] [--idle-seconds N] "
                         "[--soundfont FILE] [--answer-after MS]\n",
                         argv[0]);
            return 2;
        }
    }
    std::vector<double> bare, program, mainWindow, afterAnswer, bareCpu, programCpu, mainCpu;
    // The bare window is a program of its own that links Qt alone, next to this one.
    const std::string self = argv[0];
    const std::string bareWindow = self.substr(0, self.rfind('/') + 1) + "fw_bare_window";
    for (int i = 0; i < starts; ++i) {
        const std::string bareOut = runChild(bareWindow.c_str(), {"bare"});
        bare.push_back(figure(bareOut, "first-window-ms"));
        bareCpu.push_back(figure(bareOut, "first-window-cpu-ms"));
        const std::string out = runChild(argv[0], {"window"});
        program.push_back(figure(out, "first-window-ms"));
        mainWindow.push_back(figure(out, "main-window-ms"));
        afterAnswer.push_back(figure(out, "main-after-answer-ms"));
        programCpu.push_back(figure(out, "first-window-cpu-ms"));
        mainCpu.push_back(figure(out, "main-window-cpu-ms"));
        std::printf("start %d: bare Qt window %.1f ms; Fretwright's first window (the capture "
                    "message) %.1f ms, main window %.1f ms, %.1f ms after the answer\n",
                    i + 1, bare.back(), program.back(), mainWindow.back(), afterAnswer.back());
        std::fflush(stdout);
    }
    std::printf("Time to first window, median of %d: Fretwright %.1f ms (target <= twice the bare "
                "window), bare Qt window %.1f ms\n",
                starts, median(program), median(bare));
    std::printf("Main window, median of %d: %.1f ms from the start, %.1f ms after the message was "
                "answered\n",
                starts, median(mainWindow), median(afterAnswer));
    std::printf("Window thread's processor time, median of %d: to Fretwright's first window %.1f "
                "ms, to its main window %.1f ms; to the bare Qt window %.1f ms\n",
                starts, median(programCpu), median(mainCpu), median(bareCpu));
    std::fflush(stdout);
    const std::string out =
        runChild(argv[0], {"play", std::to_string(playSeconds), std::to_string(idleSeconds)});
    const std::string bareIdle = runChild(bareWindow.c_str(), {"bare-idle"});
    std::printf("Resident memory one second after the first window, idle: %.1f MB (target <= 50), "
                "bare Qt window %.1f MB\n",
                figure(out, "idle-rss-kb") / 1024.0, figure(bareIdle, "idle-rss-kb") / 1024.0);
    const std::string bareBeat =
        runChild(bareWindow.c_str(), {"bare-beat", std::to_string(idleSeconds),
                                      std::to_string(static_cast<int>(figure(out, "beat-ms")))});
    std::printf("At idle over %d s: %.2f %% of a core (target <= 0.5); a bare Qt window whose four "
                "radio buttons follow the same beat, with a 100 ms timer: %.2f %%; by thread:\n",
                idleSeconds, figure(out, "idle-cpu-percent"), figure(bareBeat, "idle-cpu-percent"));
    for (std::size_t at = out.find("idle-thread "); at != std::string::npos;
         at = out.find("idle-thread ", at + 1))
        std::printf("  %s\n", out.substr(at + 12, out.find('\n', at) - at - 12).c_str());
    std::printf("Resident memory after %d s of guitar and beat: %.1f MB (target <= 100)\n",
                playSeconds, figure(out, "played-rss-kb") / 1024.0);
    return 0;
}
