// Memory and start-up of the whole program as a player meets it: the main window and the six
// secondary windows built as the program builds them, the built-in synthesizer playing to the
// sound server. bench/memory_startup.sh runs it on a virtual display with a null sink.
//
//   bench_memory_startup [--starts N] [--play-seconds N] [--soundfont FILE]
//
// Each figure comes from a fresh process (this program started again with --child):
//   - time to first window: from the moment the process was started to the first paint of the
//     main window, the median of N starts, beside the same figure for a bare Qt window;
//   - resident memory one second after the first paint, at idle;
//   - resident memory after playing the guitar (a six-string pattern) and the accompaniment beat
//     for --play-seconds.
#include "app/qt_main_window.h"
#include "app/qt_window_links.h"
#include "beats/qt_beat_manager_page.h"
#include "bench_ports.h"
#include "engine/clock.h"
#include "engine/midi_outputs.h"
#include "engine/sound_settings.h"
#include "input/sdl_joystick.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

using fw::monotonicMicros;

long residentKb() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

// Reports the first paint of a window, in milliseconds since the process was started.
class FirstPaint : public QObject {
public:
    FirstPaint(std::int64_t startMicros, std::function<void()> then)
        : start_(startMicros), then_(std::move(then)) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!done_ && event->type() == QEvent::Paint) {
            done_ = true;
            std::printf("first-window-ms %.1f\n",
                        static_cast<double>(monotonicMicros() - start_) / 1000.0);
            std::fflush(stdout);
            QTimer::singleShot(0, this, then_);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::int64_t start_;
    std::function<void()> then_;
    bool done_ = false;
};

int bareChild(int argc, char** argv, std::int64_t start) {
    QApplication app(argc, argv);
    QWidget window;
    window.resize(779, 569);
    FirstPaint first(start, [] { QApplication::quit(); });
    window.installEventFilter(&first);
    window.show();
    return QApplication::exec();
}

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

int windowChild(int argc, char** argv, std::int64_t start, int playSeconds) {
    QApplication app(argc, argv);
    fw::SystemClock clock;
    fw::bench::SilentPrompts prompts;
    fw::MidiOutputs outputs;
    fw::SdlJoystick joystick;
    fw::SeededRandom random(1);
    fw::TForm1 form1({clock, prompts, outputs, joystick, random});
    fw::SecondaryWindows secondary(form1);
    const std::string conf =
        QDir::tempPath().toStdString() + "/fw-bench-memory-" + std::to_string(getpid()) + ".conf";
    if (const char* soundFont = std::getenv("FW_BENCH_SOUNDFONT"))
        fw::Settings(conf).setValue(fw::kSoundFontSetting, std::string(soundFont));
    form1.restoreSettings(conf);
    std::remove(conf.c_str());
    FirstPaint first(start, [&form1, playSeconds] {
        if (playSeconds < 0) {
            QApplication::quit();
            return;
        }
        QTimer::singleShot(1000, &form1, [&form1, playSeconds] {
            std::printf("idle-rss-kb %ld\n", residentKb());
            std::fflush(stdout);
            startPlaying(form1);
            QTimer::singleShot(playSeconds * 1000, &form1, [] {
                std::printf("played-rss-kb %ld\n", residentKb());
                QApplication::quit();
            });
        });
    });
    form1.installEventFilter(&first);
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
        if (mode == "bare")
            return bareChild(1, argv, start);
        const int play = mode == "play" ? std::atoi(argv[3]) : -1;
        return windowChild(1, argv, start, play);
    }
    int starts = 5;
    int playSeconds = 60;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--starts" && i + 1 < argc) {
            starts = std::max(1, std::atoi(argv[++i]));
        } else if (a == "--play-seconds" && i + 1 < argc) {
            playSeconds = std::max(1, std::atoi(argv[++i]));
        } else if (a == "--soundfont" && i + 1 < argc) {
            // Handed to the children, which take it up as a remembered choice.
            setenv("FW_BENCH_SOUNDFONT", argv[++i], 1);
        } else {
            std::fprintf(stderr, "usage: %s [--starts N] [--play-seconds N] [--soundfont FILE]\n",
                         argv[0]);
            return 2;
        }
    }
    std::vector<double> bare, program;
    for (int i = 0; i < starts; ++i) {
        bare.push_back(figure(runChild(argv[0], {"bare"}), "first-window-ms"));
        program.push_back(figure(runChild(argv[0], {"window"}), "first-window-ms"));
        std::printf("start %d: bare Qt window %.1f ms, Fretwright %.1f ms\n", i + 1, bare.back(),
                    program.back());
        std::fflush(stdout);
    }
    std::printf("Time to first window, median of %d: Fretwright %.1f ms (target <= 350), bare Qt "
                "window %.1f ms\n",
                starts, median(program), median(bare));
    std::fflush(stdout);
    const std::string out = runChild(argv[0], {"play", std::to_string(playSeconds)});
    std::printf("Resident memory one second after the first window, idle: %.1f MB (target <= 80)\n",
                figure(out, "idle-rss-kb") / 1024.0);
    std::printf("Resident memory after %d s of guitar and beat: %.1f MB (target <= 100)\n",
                playSeconds, figure(out, "played-rss-kb") / 1024.0);
    return 0;
}
