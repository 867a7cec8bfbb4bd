// The real program under a session manager of the test's own, on a JACK server of the test's
// own so that every JACK client it opens can be seen: announce, no JACK client before "open",
// the session's client id as the name of each one after it, save, and SIGTERM.
#include "support/jack_midi_dump.h"
#include "support/nsm_server.h"
#include "support/private_jack.h"

#include <gtest/gtest.h>
#include <jack/jack.h>
#include <jack/transport.h>
#include <jack/uuid.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

namespace fw {
namespace {

// Whether a client of that name is on the server (one without ports too).
bool clientThere(const std::string& name) {
    jack_client_t* probe = jack_client_open("fwlook", JackNoStartServer, nullptr);
    if (!probe)
        return false;
    char* uuid = jack_get_uuid_for_client_name(probe, name.c_str());
    const bool there = uuid != nullptr;
    if (uuid)
        jack_free(uuid);
    jack_client_close(probe);
    return there;
}

bool clientNamed(const std::string& prefix) {
    jack_client_t* probe = jack_client_open("fwlook", JackNoStartServer, nullptr);
    if (!probe)
        return false;
    bool found = false;
    if (const char** ports = jack_get_ports(probe, nullptr, nullptr, 0)) {
        for (const char** p = ports; *p; ++p)
            found = found || std::string(*p).rfind(prefix, 0) == 0;
        jack_free(ports);
    }
    jack_client_close(probe);
    return found;
}

TEST(SessionProcess, AnnounceOpenNamesSaveAndSigterm) {
    test::PrivateJack jack("fwnsm");
    ASSERT_TRUE(jack.up()) << jack.why();
    test::MidiDump dump("fwnsmdump");
    test::NsmServer server;
    const std::string id = "Fretwright.nPROC";
    const std::filesystem::path root =
        std::filesystem::temp_directory_path() / ("fw-session-" + std::to_string(getpid()));
    const std::filesystem::path folder = root / id;
    std::filesystem::create_directories(folder);
    {
        // A session whose output is a JACK port, which sends MIDI clock on the beats of the
        // transport it follows: two clients, the output's opened by the first clock.
        std::ofstream settings(folder / "settings.conf", std::ios::binary);
        settings << "follow-jack-transport=1\r\nsend-midi-clock=1\r\nmidi-output=jack:"
                 << dump.port() << "\r\n";
    }

    const pid_t pid = fork();
    if (pid == 0) {
        setenv("NSM_URL", server.url().c_str(), 1);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("HOME", root.c_str(), 1); // nothing of the session outside its folder
        execl(FW_PROGRAM, "fretwright-in-session", nullptr);
        _exit(127);
    }
    // A failed assertion leaves no program behind.
    struct Reap {
        pid_t pid;
        ~Reap() {
            if (pid > 0 && waitpid(pid, nullptr, WNOHANG) == 0) {
                kill(pid, SIGKILL);
                waitpid(pid, nullptr, 0);
            }
        }
    } reap{pid};
    const auto announce = server.waitFor("/nsm/server/announce");
    ASSERT_TRUE(announce);
    EXPECT_EQ(announce->texts, (std::vector<std::string>{
                                   "Fretwright", ":dirty:optional-gui:", "fretwright-in-session"}));
    EXPECT_EQ(announce->numbers, (std::vector<int>{1, 1, static_cast<int>(pid)}));
    // Before "open" the program may not be on JACK at all.
    usleep(500000);
    EXPECT_FALSE(clientNamed("Fretwright"));
    EXPECT_FALSE(clientThere("Fretwright"));

    server.replyToAnnounce();
    server.open(folder.string(), id);
    const auto opened = server.waitFor("/reply");
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->texts, (std::vector<std::string>{"/nsm/client/open", "Session opened."}));
    EXPECT_TRUE(server.waitFor("/nsm/client/gui_is_hidden"));
    // Every JACK client goes by the session's id: the transport's, and the output's once the
    // rolling transport's beats send clock.
    EXPECT_TRUE(clientThere(id + "/transport"));
    jack_client_t* roller = jack_client_open("fwroller", JackNoStartServer, nullptr);
    ASSERT_TRUE(roller);
    jack_transport_start(roller);
    for (int i = 0; i < 100 && !clientNamed(id + ":midi_out"); ++i)
        usleep(50000);
    jack_transport_stop(roller);
    jack_client_close(roller);
    EXPECT_TRUE(clientThere(id));
    EXPECT_TRUE(clientNamed(id + ":midi_out"));
    EXPECT_FALSE(clientThere("Fretwright"));

    server.send("/nsm/client/save");
    const auto saved = server.waitFor("/reply");
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->texts, (std::vector<std::string>{"/nsm/client/save", "Saved."}));
    for (const char* name : {"memory.chords", "memory.picks", "mapping.joy", "pattern.beat",
                             "PL.plog", "settings.conf"})
        EXPECT_TRUE(std::filesystem::is_regular_file(folder / name)) << name;

    // SIGTERM ends it at once, without a box and without saving; nothing of it stays on JACK.
    const auto asked = std::chrono::steady_clock::now();
    kill(pid, SIGTERM);
    int status = 0;
    pid_t ended = 0;
    for (int i = 0; i < 1000 && ended == 0; ++i) {
        ended = waitpid(pid, &status, WNOHANG);
        if (ended == 0)
            usleep(10000);
    }
    if (ended == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    ASSERT_EQ(ended, pid) << "still running ten seconds after SIGTERM";
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - asked);
    std::printf("SIGTERM to exit: %lld ms\n", static_cast<long long>(took.count()));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_FALSE(clientThere(id));
    std::filesystem::remove_all(root);
}

} // namespace
} // namespace fw
