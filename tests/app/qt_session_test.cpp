// The window under a session manager of the test's own: open a new session and an existing one,
// save, dirty and clean, hide and show. The real program's start and SIGTERM are in
// session_process_test.sh.
#include "app/qt_session.h"
#include "beats/qt_beat_manager_page.h"
#include "chords/chord_sets.h"
#include "chords/qt_chord_builder_page.h"
#include "engine/qt_sound_group.h"
#include "files/line_file.h"
#include "logs/qt_play_logs_page.h"
#include "picks/pick_sets.h"
#include "support/nsm_server.h"
#include "support/qt_harness.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>

namespace fw {
namespace {

// One run of the program in a session: the window, its link and the server's view of them.
struct SessionRun {
    test::NsmServer& server;
    test::MainWindowHarness h;
    NsmClient client{server.url()};
    SessionLink link{client, *h.form};

    SessionRun(test::NsmServer& s, const std::string& folder) : server(s) {
        client.announce("Fretwright", ":dirty:optional-gui:", "fretwright", 4242);
        announce = server.waitFor("/nsm/server/announce");
        server.replyToAnnounce();
        server.open(folder, "Fretwright.nTEST");
        for (int i = 0; i < 200 && !open; ++i) {
            server.pump(10);
            while (auto m = client.take(10))
                if (m->kind == NsmClient::Message::Kind::Open)
                    open = m;
        }
        if (open)
            link.open(*open);
        opened = server.waitFor("/reply");
    }
    // Runs the window's events until the client says `path`.
    std::optional<test::NsmServer::Said> waitFor(const std::string& path) {
        return server.waitFor(path, 20000, [] { QApplication::processEvents(); });
    }

    std::optional<test::NsmServer::Said> announce;
    std::optional<NsmClient::Message> open;
    std::optional<test::NsmServer::Said> opened;
};

std::string slurp(const std::string& path) {
    std::string error;
    return readWholeFile(path, error).value_or("<" + error + ">");
}

TEST(Session, OpenSaveReopenAndTheWindowOnlyHides) {
    QTemporaryDir root;
    const std::string folder = root.filePath("Fretwright.nTEST").toStdString();
    test::NsmServer server;
    ChordTable chords{};
    PickMemory picks{};
    {
        SessionRun run(server, folder);
        ASSERT_TRUE(run.announce);
        EXPECT_EQ(run.announce->texts,
                  (std::vector<std::string>{"Fretwright", ":dirty:optional-gui:", "fretwright"}));
        EXPECT_EQ(run.announce->numbers, (std::vector<int>{1, 1, 4242}));
        ASSERT_TRUE(run.opened);
        EXPECT_EQ(run.opened->texts,
                  (std::vector<std::string>{"/nsm/client/open", "New session."}));
        EXPECT_TRUE(std::filesystem::is_directory(folder));
        // A client new to the session starts hidden, and says so.
        ASSERT_TRUE(run.waitFor("/nsm/client/gui_is_hidden"));
        EXPECT_FALSE(run.h.form->isVisible());

        // The player changes things: the session turns dirty.
        TForm1& f = *run.h.form;
        chords = f.engine().st.chordMemory;
        chords[2][3] = {0, 45, 49, 52, 57, 57, 61, 64, 69, 45, 45};
        f.ChordBuilder->chordSets().replace(chords, chordMemoryLines(chords));
        picks = f.engine().st.pickMemory;
        picks[3][5] = "0-1-2-3-";
        f.engine().st.pickMemory = picks;
        f.PlayLogs->R2IMemo2->setPlainText("91405A00-50");
        f.Sound->StrumSpread->setValue(17);
        ASSERT_TRUE(run.waitFor("/nsm/client/is_dirty"));

        // Save writes every file and answers; the session is clean again.
        run.server.send("/nsm/client/save");
        const auto saved = run.waitFor("/reply");
        ASSERT_TRUE(saved);
        EXPECT_EQ(saved->texts, (std::vector<std::string>{"/nsm/client/save", "Saved."}));
        ASSERT_TRUE(run.waitFor("/nsm/client/is_clean"));
        for (const char* name :
             {kSessionChords, kSessionPicks, kSessionJoystick, kSessionBeat, kSessionLogs[0],
              kSessionLogs[1], kSessionLogs[2], kSessionLogs[3], kSessionSettings})
            EXPECT_TRUE(std::filesystem::is_regular_file(folder + "/" + name)) << name;
        EXPECT_EQ(slurp(folder + "/" + kSessionLogs[1]), "91405A00-50\r\n");

        // Shown and hidden as the server says; closing the window only hides it.
        run.server.send("/nsm/client/show_optional_gui");
        ASSERT_TRUE(run.waitFor("/nsm/client/gui_is_shown"));
        EXPECT_TRUE(f.isVisible());
        f.close();
        ASSERT_TRUE(run.waitFor("/nsm/client/gui_is_hidden"));
        EXPECT_FALSE(f.isVisible());
        run.server.send("/nsm/client/show_optional_gui");
        ASSERT_TRUE(run.waitFor("/nsm/client/gui_is_shown"));
        // Saved as shown: the next open shows it.
        run.server.send("/nsm/client/save");
        ASSERT_TRUE(run.waitFor("/reply"));
    }

    // The next start opens the existing folder: everything comes back.
    {
        SessionRun run(server, folder);
        ASSERT_TRUE(run.opened);
        EXPECT_EQ(run.opened->texts,
                  (std::vector<std::string>{"/nsm/client/open", "Session opened."}));
        ASSERT_TRUE(run.waitFor("/nsm/client/gui_is_shown"));
        TForm1& f = *run.h.form;
        EXPECT_EQ(f.engine().st.chordMemory, chords);
        EXPECT_EQ(f.engine().st.pickMemory, picks);
        EXPECT_EQ(f.PlayLogs->R2IMemo2->toPlainText(), "91405A00-50");
        EXPECT_EQ(f.Sound->StrumSpread->value(), 17);
        EXPECT_EQ(f.engine().ui.strumSpreadMs, 17);
        // Nothing changed yet: no dirty word within a few checks.
        EXPECT_FALSE(run.server.waitFor("/nsm/client/is_dirty", 1500,
                                        [] { QApplication::processEvents(); }));
    }

    // A bad file is told in the log and leaves its part as a fresh start has it; the rest loads.
    ASSERT_FALSE(writeFileReplacing(folder + "/" + kSessionPicks, std::string("a\0b", 3)));
    {
        testing::internal::CaptureStderr();
        SessionRun run(server, folder);
        const std::string log = testing::internal::GetCapturedStderr();
        ASSERT_TRUE(run.opened);
        EXPECT_EQ(run.opened->texts[1],
                  "Session opened. 1 file(s) could not be read; see the log.");
        EXPECT_NE(log.find(folder + "/" + kSessionPicks + " is not a text file."),
                  std::string::npos)
            << log;
        for (const std::string& boxed : run.h.prompts.messages)
            EXPECT_EQ(boxed.find(kSessionPicks), std::string::npos) << boxed;
        EXPECT_EQ(run.h.form->engine().st.pickMemory, PickMemory{});
        EXPECT_EQ(run.h.form->engine().st.chordMemory, chords);
    }
}

} // namespace
} // namespace fw
