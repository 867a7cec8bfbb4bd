#include "app/command_line.h"
#include "app/qt_main_window.h"
#include "app/qt_prompts.h"
#include "app/qt_window_links.h"
#include "engine/clock.h"
#include "engine/midi_outputs.h"
#include "engine/random.h"
#include "input/sdl_joystick.h"
#include "logs/qt_play_logs_page.h"

#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTimer>

#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
    // Answered before Qt starts, so that they need no display.
    const fw::CommandLine command = fw::parseCommandLine({argv + 1, argv + argc});
    switch (command.action) {
    case fw::CommandLine::Action::Help:
        std::fputs(fw::usageText().c_str(), stdout);
        return 0;
    case fw::CommandLine::Action::Version:
        std::puts("fretwright " FW_VERSION);
        return 0;
    case fw::CommandLine::Action::Error:
        std::fprintf(stderr, "fretwright: %s\nTry 'fretwright --help'.\n", command.error.c_str());
        return 2;
    case fw::CommandLine::Action::Run:
        break;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName("Fretwright");
    // Ties the windows to the installed desktop entry and its icon.
    QGuiApplication::setDesktopFileName("org.fretwright.Fretwright");
    QApplication::setWindowIcon(QIcon::fromTheme("org.fretwright.Fretwright"));
    try {
        fw::SystemClock clock;
        fw::QtPrompts prompts;
        fw::MidiOutputs outputs;
        fw::SdlJoystick joystick;
        fw::SeededRandom random(fw::freshSeed());
        fw::TForm1 form1({clock, prompts, outputs, joystick, random});
        prompts.setParent(&form1);
        fw::SecondaryWindows secondary(form1);
        // What is kept between runs: the MIDI output chosen last, the sound, the controllers.
        form1.restoreSettings((QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) +
                               "/Fretwright.conf")
                                  .toStdString());
        // The take being recorded is kept on disk until it is saved; one that a crash left
        // behind is offered back once the window is up.
        form1.PlayLogs->keepTakesIn(
            QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
        form1.show();
        QTimer::singleShot(0, &form1, [&form1] { form1.PlayLogs->recoverTakes(); });
        return QApplication::exec();
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, "Fretwright", QString::fromLocal8Bit(e.what()));
        return 1;
    }
}
