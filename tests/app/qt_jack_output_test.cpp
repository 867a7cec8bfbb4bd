// Live play to a real JACK MIDI client: the port is chosen in the "MIDI Output" list, and the
// client receives exactly the messages of the play log, in order, and nothing else.
#include "app/qt_main_window.h"
#include "engine/midi_outputs.h"
#include "engine/z2uvir.h"
#include "support/fakes.h"

#include <QListWidget>
#include <QTest>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace fw {
namespace {

bool jackServerAnswers() {
    return std::system("JACK_NO_START_SERVER=1 jack_lsp >/dev/null 2>&1") == 0;
}

// jack_midi_dump under a name of its own, printing what its port receives to a file.
class MidiDump {
public:
    MidiDump() : name_("fwdump" + std::to_string(getpid())), file_("/tmp/" + name_ + ".txt") {
        pid_ = fork();
        if (pid_ == 0) {
            std::freopen(file_.c_str(), "w", stdout);
            execlp("jack_midi_dump", "jack_midi_dump", name_.c_str(), nullptr);
            _exit(127);
        }
    }
    ~MidiDump() {
        stop();
        std::remove(file_.c_str());
    }
    std::string port() const { return name_ + ":input"; }
    // True once some client's output is connected to the port.
    bool connected() const {
        return std::system(
                   ("JACK_NO_START_SERVER=1 jack_lsp -c " + port() + " 2>/dev/null | grep -q '^ '")
                       .c_str()) == 0;
    }
    // Ends the client as Ctrl+C does: it closes its JACK client properly.
    void stop() {
        if (pid_ <= 0)
            return;
        kill(pid_, SIGINT);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    // Each message received as upper-case hexadecimal bytes, "91405A".
    std::vector<std::string> messages() const {
        std::vector<std::string> out;
        std::ifstream in(file_);
        for (std::string line; std::getline(in, line);) {
            std::istringstream fields(line.substr(line.find(':') + 1));
            std::string bytes;
            for (std::string b;
                 fields >> b && b.size() == 2 && std::isxdigit(b[0]) && std::isxdigit(b[1]);)
                bytes += b;
            for (auto& c : bytes)
                c = static_cast<char>(std::toupper(c));
            out.push_back(bytes);
        }
        return out;
    }

private:
    std::string name_;
    std::string file_;
    pid_t pid_ = -1;
};

TEST(JackOutput, AJackClientHearsExactlyThePlayLog) {
    if (!jackServerAnswers()) {
        if (std::getenv("FW_TEST_JACK"))
            FAIL() << "the JACK server that scripts/jack-server started does not answer";
        GTEST_SKIP() << "no JACK server (scripts/jack-server starts one)";
    }
    MidiDump dump;
    test::ManualClock clock{500 * 10000};
    test::ScriptedPrompts prompts;
    test::FakeJoystick joystick;
    SeededRandom random{1};
    MidiOutputs outputs;
    TForm1 form(Services{clock, prompts, outputs, joystick, random});
    form.Timer2->stop();
    form.PitchUpdater->stop();
    form.Timer4->stop();

    // The client's port shows up in the list once it has registered.
    const QString wanted = QString::fromStdString("JACK: " + dump.port());
    int row = -1;
    for (int i = 0; i < 100 && row < 0; ++i) {
        QTest::mouseClick(form.MidiRescanButton, Qt::LeftButton);
        const auto found = form.MidiOutputList->findItems(wanted, Qt::MatchExactly);
        if (!found.isEmpty())
            row = form.MidiOutputList->row(found.front());
        else
            usleep(50000);
    }
    ASSERT_GE(row, 0) << "no " << wanted.toStdString() << " in the MIDI Output list";
    form.MidiOutputList->setCurrentRow(row);
    // The first beat opens the port; JACK makes the connection a moment later, and what is
    // sent before it arrives nowhere.
    form.Timer2Timer();
    for (int i = 0; i < 200 && !dump.connected(); ++i)
        usleep(20000);
    ASSERT_TRUE(dump.connected());
    // Choosing the port sent it the instruments and the bend; what of that got through before
    // the connection is no part of this test.
    usleep(100000);
    const std::size_t before = dump.messages().size();
    form.R2IMemo->clear();

    // A chord, a two-beat pattern, the instrument and bend, a chord change with its note-offs.
    Engine& engine = form.engine();
    for (int s = 1; s <= 10; ++s) {
        engine.st.chordMemory[1][1][s] = 40 + s;
        engine.st.chordMemory[1][2][s] = 50 + s;
    }
    engine.st.pickMemory[1][1] = "0123---"
                                 "4-5-6--";
    form.PitchUpdaterTimer();
    form.pickButtons[1]->click();
    for (int beat = 0; beat < 3; ++beat) {
        clock.advanceCentis(10);
        form.Timer2Timer();
    }
    engine.stepChord();
    form.Timer2Timer();
    form.PitchUpdaterTimer();

    std::vector<std::string> logged;
    const QString log = form.R2IMemo->toPlainText();
    for (const QString& line : log.split('\n', Qt::SkipEmptyParts)) {
        const auto msg = channelMessageOf(line.toStdString());
        ASSERT_TRUE(msg) << line.toStdString();
        logged.push_back(byteToHex(msg->status) + byteToHex(msg->data1) +
                         (channelMessageDataBytes(msg->status) == 2 ? byteToHex(msg->data2) : ""));
    }
    ASSERT_GE(logged.size(), 10u);
    // JACK delivers at its next period; give it a few.
    for (int i = 0; i < 100 && dump.messages().size() < logged.size(); ++i)
        usleep(20000);
    usleep(100000);
    dump.stop();
    const std::vector<std::string> heard = dump.messages();
    ASSERT_GE(heard.size(), before);
    EXPECT_EQ(std::vector<std::string>(heard.begin() + static_cast<long>(before), heard.end()),
              logged);
}

} // namespace
} // namespace fw
