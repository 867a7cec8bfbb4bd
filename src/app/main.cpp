#include "app/command_line.h"
#include "app/qt_main_window.h"
#include "app/qt_prompts.h"
#include "app/qt_session.h"
#include "app/qt_window_links.h"
#include "engine/client_name.h"
#include "engine/clock.h"
#include "engine/random.h"
#include "logs/qt_play_logs_page.h"
#include "platform/midi_outputs.h"
#include "platform/sdl/sdl_joystick.h"
#include "play/guitar.h"

#include <QApplication>
#include <QIcon>
#include <QLayout>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTimer>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>
#include <unistd.h>

namespace {

// How long the program waits at start for the session manager's answer and its "open".
constexpr std::int64_t kSessionWaitMicros = 10'000'000;

int termPipe[2] = {-1, -1};

// SIGTERM ends a session: the window thread hears of it through a pipe. Should it be stuck, the
// alarm ends the program a second later all the same.
void onTerm(int) {
    alarm(1);
    const char byte = 1;
    [[maybe_unused]] const auto written = write(termPipe[1], &byte, 1);
}

// Announces the program to the session manager that NSM_URL names and waits for its "open":
// no JACK client may be opened before it, as the session gives their names. Nothing when there
// is no session to be in.
std::optional<fw::NsmClient::Message> joinSession(fw::NsmClient& nsm, const char* executable) {
    nsm.announce("Fretwright", ":dirty:optional-gui:", executable, static_cast<int>(getpid()));
    const std::int64_t until = fw::monotonicMicros() + kSessionWaitMicros;
    while (fw::monotonicMicros() < until) {
        const std::int64_t leftMs = (until - fw::monotonicMicros()) / 1000;
        auto m = nsm.take(static_cast<int>(leftMs) + 1);
        if (!m)
            break;
        if (m->kind == fw::NsmClient::Message::Kind::AnnounceError) {
            std::fprintf(stderr, "fretwright: the session manager refused us: %s\n",
                         m->text.c_str());
            return std::nullopt;
        }
        if (m->kind == fw::NsmClient::Message::Kind::Open)
            return m;
    }
    std::fputs("fretwright: no answer from the session manager; running without it.\n", stderr);
    return std::nullopt;
}

} // namespace

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
    std::unique_ptr<fw::NsmClient> nsm;
    std::optional<fw::NsmClient::Message> session;
    if (const auto url = fw::NsmClient::urlFromEnvironment()) {
        nsm = std::make_unique<fw::NsmClient>(*url);
        if (nsm->ok())
            session = joinSession(*nsm, argv[0]);
        if (!session)
            nsm.reset();
        else
            fw::setOwnClientName(session->clientId, true);
    }
    try {
        fw::SystemClock clock;
        fw::QtPrompts prompts;
        prompts.logWhileHidden(session.has_value());
        // The joystick capture message goes up at once; the windows are built while it is read.
        prompts.holdNextMessage();
        fw::MidiOutputs outputs;
        fw::SdlJoystick joystick;
        fw::SeededRandom random(fw::freshSeed());
        // The running instrument first; the windows play it and go before it.
        fw::Guitar guitar(clock, prompts, outputs);
        fw::TForm1 form1(guitar, {joystick, random});
        prompts.setParent(&form1);
        fw::SecondaryWindows secondary(form1);
        if (session) {
            // Everything lives in the session's folder: settings, memories, logs, the journal.
            QApplication::setQuitOnLastWindowClosed(false); // closing the window hides it
            fw::SessionLink link(*nsm, form1);
            std::unique_ptr<QSocketNotifier> term;
            if (pipe(termPipe) == 0) {
                term = std::make_unique<QSocketNotifier>(termPipe[0], QSocketNotifier::Read);
                QObject::connect(term.get(), &QSocketNotifier::activated, &link,
                                 [&link] { link.endNow(); });
                std::signal(SIGTERM, onTerm);
            }
            link.open(*session);
            return QApplication::exec();
        }
        // What is kept between runs: the MIDI output chosen last, the sound, the controllers.
        form1.restoreSettings((QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) +
                               "/Fretwright.conf")
                                  .toStdString());
        // The take being recorded is kept on disk until it is saved; one that a crash left
        // behind is offered back once the window is up.
        form1.PlayLogs->keepTakesIn(
            QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
        // Laid out and given its native window while the message is read: it shows at once on
        // the answer.
        form1.ensurePolished();
        form1.layout()->activate();
        form1.winId();
        prompts.awaitAnswer();
        form1.show();
        QTimer::singleShot(0, &form1, [&form1] { form1.PlayLogs->recoverTakes(); });
        return QApplication::exec();
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, "Fretwright", QString::fromLocal8Bit(e.what()));
        return 1;
    }
}
