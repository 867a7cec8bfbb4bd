// Starts the monkey inside the program: this file is linked beside the program's own main(),
// and Qt calls startMonkey() when main() creates the application object, before any window is
// made. The run's settings come from the environment (scripts/monkey sets them):
//   FW_MONKEY_SCRATCH  the scratch folder (required: HOME and the XDG folders point into it)
//   FW_MONKEY_SEED     the seed; FW_MONKEY_EVENTS  stop after this many actions;
//   FW_MONKEY_SECONDS  stop after this long; FW_MONKEY_HANG_MS  the longest stall allowed;
//   FW_MONKEY_VERBOSE  print every action.
#include "monkey_driver.h"
#include "monkey_scratch.h"
#include "monkey_watch.h"
#include "support/virtual_joystick.h"

#include <QCoreApplication>
#include <QDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <memory>

extern "C" void __sanitizer_set_death_callback(void (*callback)()) __attribute__((weak));

namespace fw::monkey {
namespace {

struct Run {
    Options options;
    std::unique_ptr<WriteWatch> watch;
    std::unique_ptr<Scratch> scratch;
    std::unique_ptr<test::VirtualJoystick> pad;
    std::unique_ptr<Driver> driver;
    std::unique_ptr<Watchdog> watchdog;
    QTimer* heartbeat = nullptr;
};
Run* run = nullptr;

QString replayHint() {
    return QString("scripts/monkey --seed %1 --events %2")
        .arg(run->options.seed)
        .arg(run->driver ? run->driver->events() : 0);
}

extern "C" void onDeath() {
    std::fprintf(stderr, "\nmonkey: FAILED: the program died at action %ld of seed %llu\n",
                 run && run->driver ? run->driver->events() : 0L,
                 static_cast<unsigned long long>(run ? run->options.seed : 0));
}

Options optionsFromEnvironment() {
    Options o;
    o.scratch = qEnvironmentVariable("FW_MONKEY_SCRATCH");
    o.seed = qEnvironmentVariable("FW_MONKEY_SEED").toULongLong();
    o.maxEvents = qEnvironmentVariable("FW_MONKEY_EVENTS").toLong();
    if (qEnvironmentVariableIsSet("FW_MONKEY_SECONDS"))
        o.seconds = qEnvironmentVariable("FW_MONKEY_SECONDS").toDouble();
    if (qEnvironmentVariableIsSet("FW_MONKEY_HANG_MS"))
        o.hangMillis = qEnvironmentVariableIntValue("FW_MONKEY_HANG_MS");
    o.verbose = qEnvironmentVariableIntValue("FW_MONKEY_VERBOSE") != 0;
    return o;
}

// After the windows are gone: what changed on the disk, the figures and the verdict.
void finishMonkey() {
    if (!run)
        return;
    run->watchdog->stop();
    QStringList failures = run->driver->failures();
    failures += run->scratch->check();
    const QString inside = QDir(run->options.scratch).canonicalPath() + "/";
    int writtenInside = 0;
    for (const std::string& path : run->watch->written()) {
        if (QString::fromStdString(path).startsWith(inside))
            ++writtenInside;
        else
            failures << "written outside the scratch folder: " + QString::fromStdString(path);
    }
    std::printf("monkey: seed %llu, %ld actions in %.0f s\n",
                static_cast<unsigned long long>(run->options.seed), run->driver->events(),
                run->driver->elapsedSeconds());
    for (const QString& line : run->driver->report())
        std::printf("monkey: %s\n", qPrintable(line));
    std::printf("monkey: longest stall of the event loop: %lld ms, at action %ld (limit %d ms)\n",
                static_cast<long long>(run->watchdog->longestGapMillis()),
                run->watchdog->longestGapMark(), run->options.hangMillis);
    if (run->watch->active())
        std::printf("monkey: files written: %d, all in the scratch folder unless listed below%s\n",
                    writtenInside,
                    run->watch->overflowed() ? " (the watch overflowed: some were missed)" : "");
    else
        std::printf("monkey: files written outside the scratch folder: not watched (%s)\n",
                    run->watch->whyInactive().c_str());
    for (const QString& f : failures)
        std::printf("monkey: %s\n", qPrintable(f));
    if (failures.isEmpty())
        std::printf("monkey: passed\n");
    else
        std::printf("monkey: FAILED; replay with %s\n", qPrintable(replayHint()));
    std::fflush(stdout);
    run->driver.reset();
    run->pad.reset();
}

void startMonkey() {
    static Run theRun;
    run = &theRun;
    run->options = optionsFromEnvironment();
    if (run->options.scratch.isEmpty()) {
        std::fprintf(stderr, "fretwright_monkey runs under scripts/monkey, which sets "
                             "FW_MONKEY_SCRATCH and points HOME into it\n");
        std::exit(2);
    }
    if (__sanitizer_set_death_callback)
        __sanitizer_set_death_callback(onDeath);
    const QString root = QDir(run->options.scratch).canonicalPath();
    run->watch = std::make_unique<WriteWatch>(
        std::vector<std::string>{"/", QDir::homePath().toStdString(), root.toStdString()});
    run->scratch = std::make_unique<Scratch>(root);
    std::mt19937_64 fill(run->options.seed ^ 0x5eedULL);
    run->scratch->fill(fill);
    // Plugged in before the program looks for controllers.
    run->pad = std::make_unique<test::VirtualJoystick>();
    run->driver = std::make_unique<Driver>(run->options, *run->scratch, *run->pad);
    run->watchdog = std::make_unique<Watchdog>(
        run->options.hangMillis,
        [] {
            return QString("at action %1 of seed %2 (the trace is in %3/trace.txt)")
                .arg(run->driver ? run->driver->events() : 0)
                .arg(run->options.seed)
                .arg(run->options.scratch)
                .toStdString();
        },
        [] { return run->driver ? run->driver->events() : 0L; });
    run->heartbeat = new QTimer(QCoreApplication::instance());
    QObject::connect(run->heartbeat, &QTimer::timeout, [] { run->watchdog->beat(); });
    run->heartbeat->start(100);
    std::printf("monkey: seed %llu, scratch folder %s, %d files to offer\n",
                static_cast<unsigned long long>(run->options.seed), qPrintable(root),
                run->scratch->fileCount());
    std::fflush(stdout);
    run->driver->start();
    qAddPostRoutine(finishMonkey);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(startMonkey)

} // namespace fw::monkey
