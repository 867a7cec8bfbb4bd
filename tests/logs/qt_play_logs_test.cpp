#include "beats/qt_beat_manager_page.h"
#include "engine/instruments.h"
#include "logs/log_files.h"
#include "logs/midi_file.h"
#include "logs/qt_piano_roll.h"
#include "logs/qt_play_logs_page.h"
#include "support/qt_harness.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFontDatabase>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

namespace fw {
namespace {

using test::MainWindowHarness;
using test::ManualWakeTimer;

struct LogsRig {
    MainWindowHarness h;
    PlayLogsPage& page = *h.form->PlayLogs;
    ManualWakeTimer wake{h.clock};
    QTemporaryDir dir;

    LogsRig() {
        page.setWakeTimer(&wake);
        h.prompts.messages.clear(); // the joystick report at start-up
    }
    ~LogsRig() {
        if (h.form)
            page.setWakeTimer(nullptr);
    }
    std::string file(const char* name) const { return dir.filePath(name).toStdString(); }
    static QStringList lines(const QPlainTextEdit* log) {
        const QString text = log->toPlainText();
        return text.isEmpty() ? QStringList{} : text.split('\n');
    }
    std::int64_t due(int centis) const {
        return page.player().replayStartMicros + centis * 10000LL;
    }
};

TEST(PlayLogsPage, FourLogsWithTheirControlsAndOneLineCounter) {
    LogsRig rig;
    PlayLogsPage& page = rig.page;
    EXPECT_EQ(rig.h.form->R2IMemo, page.R2IMemo);
    EXPECT_EQ(rig.h.form->findChild<QPlainTextEdit*>("R2IMemo4"), page.R2IMemo4);
    for (QPlainTextEdit* log : page.logs()) {
        EXPECT_EQ(log->lineWrapMode(), QPlainTextEdit::NoWrap);
        EXPECT_EQ(log->font(), QFontDatabase::systemFont(QFontDatabase::FixedFont));
        EXPECT_FALSE(log->isReadOnly());
    }
    const std::pair<const char*, const char*> captions[] = {
        {"Button81", "RESET and  RECORD"},
        {"Button82", "Replay"},
        {"Button11", "Play"},
        {"Button8", "Stop"},
        {"Button10", "Save to Log A"},
        {"Button13", "Save to Log B"},
        {"Button14", "PL+LA->"},
        {"Button15", "PL+LB->"},
        {"Button16", "LA+LB->"},
        {"Button18", "PL<---LC"},
        {"Button52", "Save Play Log to MIDI file"}};
    for (const auto& [name, caption] : captions) {
        auto* b = rig.h.form->findChild<QPushButton*>(name);
        ASSERT_NE(b, nullptr) << name;
        EXPECT_EQ(b->text(), caption);
    }
    BeatManagerPage* beats = rig.h.form->BeatManager;
    ASSERT_EQ(beats->ListBox5->count(), 128);
    EXPECT_EQ(beats->ListBox5->currentRow(), 0);
    EXPECT_EQ(beats->ListBox5->item(0)->text().toStdString(), instrumentItems()[0]);

    // The counter always shows the play log's lines, whichever log changed; a line end after
    // the last line does not count.
    page.R2IMemo->setPlainText("C0000000-0\n91405A00-50\n");
    EXPECT_EQ(page.LineCount1->text(), "2");
    page.R2IMemo->setPlainText("C0000000-0");
    page.R2IMemo2->setPlainText("1\n2\n3\n4\n5");
    EXPECT_EQ(page.LineCount1->text(), "1");
    // Live play appends after a line end the user left, without an empty line between.
    page.R2IMemo->setPlainText("C0000000-0\n");
    rig.h.form->output().sendAndLog(0x91, 0x40, 0x5A);
    EXPECT_EQ(LogsRig::lines(page.R2IMemo).size(), 2);
    EXPECT_EQ(page.LineCount1->text(), "2");
}

TEST(PlayLogsPage, ResetAndRecordStartsAFreshLogWithTheBeatInstrument) {
    LogsRig rig;
    TForm1& form = *rig.h.form;
    rig.page.R2IMemo->setPlainText("91405A00-12\n91400000-40");
    form.engine().st.sentInstrument = 25;
    form.engine().st.sentBend = 127;
    rig.h.clock.setCentis(4321);
    rig.page.Button81->click();
    EXPECT_EQ(form.output().logStartTime, 4321);
    EXPECT_EQ(LogsRig::lines(rig.page.R2IMemo), QStringList{"C0000000-0"});
    EXPECT_EQ(rig.page.LineCount1->text(), "1");
    ASSERT_FALSE(rig.h.port->sent.empty());
    EXPECT_EQ(rig.h.port->sent.back().status, 0xC0);
    // The pitch updater logs the instrument and the bend again on its next tick.
    EXPECT_EQ(form.engine().st.sentInstrument, -1);
    EXPECT_EQ(form.engine().st.sentBend, -1);
    rig.h.clock.advanceCentis(3);
    form.PitchUpdaterTimer();
    EXPECT_EQ(LogsRig::lines(rig.page.R2IMemo).mid(1), (QStringList{"C1190000-3", "E1004000-3"}));
    // Choosing another beat instrument during the recording logs its program change.
    rig.h.clock.advanceCentis(150);
    form.BeatManager->ListBox5->setCurrentRow(40);
    EXPECT_EQ(LogsRig::lines(rig.page.R2IMemo).last(), "C0280000-153");
}

TEST(PlayLogsPage, ReplayPausesLivePlayAndRestoresItOnEveryWayOut) {
    LogsRig rig;
    TForm1& form = *rig.h.form;
    PlayLogsPage& page = rig.page;
    const auto startLive = [&] {
        form.Timer2->start();
        form.PitchUpdater->start();
        form.Button70Click(); // "Init Play Mode"
    };

    // To the end: every line at its time, live play off meanwhile, a second start refused.
    startLive();
    page.R2IMemo->setPlainText("C0000000-0\n91405A00-50\n91400000-150");
    int wakesWhilePaused = 0;
    page.Button82->click();
    rig.wake.runAll([&] {
        if (!form.Timer2->isEnabled() && !form.PitchUpdater->isActive() &&
            !page.Button82->isEnabled() && !page.Button11->isEnabled())
            ++wakesWhilePaused;
        page.Button82Click();
        page.Button11Click();
    });
    EXPECT_EQ(wakesWhilePaused, 2);
    ASSERT_EQ(rig.h.port->sent.size(), 3u);
    EXPECT_EQ(rig.h.port->sent[1].micros, rig.due(50));
    EXPECT_EQ(rig.h.port->sent[2].micros, rig.due(150));
    EXPECT_TRUE(form.Timer2->isEnabled());
    EXPECT_TRUE(form.PitchUpdater->isActive());
    EXPECT_TRUE(page.Button82->isEnabled());
    // Joystick play mode stays stopped.
    EXPECT_FALSE(form.Timer1->isActive());
    EXPECT_TRUE(form.Button79->isHidden());
    EXPECT_TRUE(rig.h.prompts.messages.empty());

    // A bad time: the lines before it are sent, the message shown, live play back on.
    startLive();
    rig.h.port->sent.clear();
    page.R2IMemo->setPlainText("C0000000-0\n91405A00-5\n91400000-1O");
    page.Button82->click();
    rig.wake.runAll();
    EXPECT_EQ(rig.h.port->sent.size(), 2u);
    // The bad line is named, as a load names it.
    EXPECT_EQ(
        rig.h.prompts.messages,
        std::vector<std::string>{"Line 3 \"91400000-1O\": '1O' is not a valid integer value"});
    EXPECT_TRUE(form.Timer2->isEnabled());
    EXPECT_TRUE(form.PitchUpdater->isActive());
    EXPECT_TRUE(page.Button82->isEnabled());

    // "Stop" in the middle of a long wait ends it at once and silences the output.
    rig.h.port->sent.clear();
    const int resets = rig.h.port->resets;
    page.R2IMemo->setPlainText("91405A00-0\n91400000-60000");
    page.Button82->click();
    rig.h.clock.advanceCentis(300);
    page.Button8->click();
    EXPECT_FALSE(page.player().running());
    EXPECT_FALSE(rig.wake.pending());
    EXPECT_EQ(rig.h.port->sent.size(), 1u);
    EXPECT_EQ(rig.h.port->resets, resets + 2);
    EXPECT_TRUE(form.Timer2->isEnabled());
    EXPECT_TRUE(form.PitchUpdater->isActive());
}

TEST(PlayLogsPage, PlayPlaysLogAAlongsideLivePlay) {
    LogsRig rig;
    TForm1& form = *rig.h.form;
    form.Timer2->start();
    form.PitchUpdater->start();
    rig.page.R2IMemo2->setPlainText("90405A00-0\n90400000-20");
    bool liveDuringPlay = false;
    const int logged = static_cast<int>(LogsRig::lines(rig.page.R2IMemo).size());
    rig.page.Button11->click();
    rig.wake.runAll([&] {
        liveDuringPlay = form.Timer2->isEnabled() && form.PitchUpdater->isActive();
        // Live play goes on and logs into the play log meanwhile.
        form.output().sendAndLog(0x91, 0x30, 0x40);
    });
    EXPECT_TRUE(liveDuringPlay);
    EXPECT_GT(LogsRig::lines(rig.page.R2IMemo).size(), logged);
    int fromLogA = 0;
    for (const auto& m : rig.h.port->sent)
        fromLogA += m.status == 0x90 ? 1 : 0;
    EXPECT_EQ(fromLogA, 2);
}

TEST(PlayLogsPage, SlotsAndMerges) {
    LogsRig rig;
    PlayLogsPage& page = rig.page;
    page.R2IMemo->setPlainText("90010000-10\n90020000-30");
    page.Button10->click();
    page.R2IMemo->setPlainText("90030000-20");
    page.Button13->click();
    EXPECT_EQ(page.R2IMemo2->toPlainText(), "90010000-10\n90020000-30");
    EXPECT_EQ(page.R2IMemo3->toPlainText(), "90030000-20");
    page.Button16->click();
    EXPECT_EQ(page.R2IMemo4->toPlainText(), "90010000-10\n90030000-20\n90020000-30");
    page.Button14->click();
    EXPECT_EQ(page.R2IMemo4->toPlainText(), "90010000-10\n90030000-20\n90020000-30");
    page.R2IMemo->setPlainText("90040000-20");
    page.Button15->click();
    EXPECT_EQ(page.R2IMemo4->toPlainText(), "90040000-20\n90030000-20");
    page.Button18->click();
    EXPECT_EQ(page.R2IMemo->toPlainText(), "90040000-20\n90030000-20");
    EXPECT_EQ(page.LineCount1->text(), "2");

    // A line without a time stops the merge with its message and Log C keeps its take.
    page.R2IMemo2->setPlainText("90010000-10\n90020000-");
    page.Button16->click();
    EXPECT_EQ(rig.h.prompts.messages, std::vector<std::string>{"'' is not a valid integer value"});
    EXPECT_EQ(page.R2IMemo4->toPlainText(), "90040000-20\n90030000-20");
    // Saving an empty play log empties the slot.
    page.R2IMemo->clear();
    page.Button10->click();
    EXPECT_TRUE(page.R2IMemo2->toPlainText().isEmpty());
}

TEST(PlayLogsPage, LogFilesSaveLoadAndRefuseWhatIsNotALog) {
    LogsRig rig;
    PlayLogsPage& page = rig.page;
    auto& prompts = rig.h.prompts;
    page.R2IMemo3->setPlainText("C0000000-0\n91405A00-50");
    EXPECT_TRUE(page.unsaved(2));
    prompts.answer(rig.file("b.plog"));
    page.SaveLogButtons[2]->click();
    EXPECT_EQ(prompts.dialogs.back().filter, "Play Log|*.plog");
    EXPECT_EQ(prompts.dialogs.back().defaultExt, "plog");
    EXPECT_FALSE(page.unsaved(2));
    std::string error;
    EXPECT_EQ(readWholeFile(rig.file("b.plog"), error).value_or(""),
              "C0000000-0\r\n91405A00-50\r\n");

    prompts.answer(rig.file("b.plog"));
    page.LoadLogButtons[3]->click();
    EXPECT_EQ(page.R2IMemo4->toPlainText(), "C0000000-0\n91405A00-50");
    EXPECT_FALSE(page.unsaved(3));

    // A file that is not a log, one that cannot be read, and a cancelled dialog change nothing.
    ASSERT_FALSE(writeFileReplacing(rig.file("bad.plog"), "91405A00-50\r\nhello\r\n"));
    prompts.answer(rig.file("bad.plog"));
    page.LoadLogButtons[3]->click();
    prompts.answer(rig.file("none.plog"));
    page.LoadLogButtons[3]->click();
    page.LoadLogButtons[3]->click();
    EXPECT_EQ(page.R2IMemo4->toPlainText(), "C0000000-0\n91405A00-50");
    ASSERT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(prompts.messages[0], rig.file("bad.plog") +
                                       " is not a play log.\nLine 2 \"hello\": '' is not a valid "
                                       "integer value");
    EXPECT_EQ(prompts.messages[1].rfind("Cannot open file " + rig.file("none.plog"), 0), 0u);

    // Unsaved logs are kept when the window closes, also in the middle of a playback.
    page.setRecoveryDir(rig.dir.filePath("kept"));
    page.R2IMemo->setPlainText("91405A00-0\n91400000-90000");
    rig.h.form->show();
    page.Button82->click();
    QCloseEvent close;
    QCoreApplication::sendEvent(rig.h.form.get(), &close);
    EXPECT_FALSE(page.player().running());
    rig.h.form->hide();
    EXPECT_EQ(rig.h.port->sent.size(), 1u);
    const QStringList kept = QDir(rig.dir.filePath("kept")).entryList({"PL-*.plog"});
    ASSERT_EQ(kept.size(), 1);
    EXPECT_EQ(readWholeFile(rig.dir.filePath("kept/" + kept[0]).toStdString(), error),
              "91405A00-0\r\n91400000-90000\r\n");
    // Log B was saved and Log C loaded: nothing else to keep.
    EXPECT_EQ(QDir(rig.dir.filePath("kept")).entryList({"*.plog"}).size(), 1);
}

TEST(PlayLogsPage, ALongLogLoadsBehindAProgressBarAndABadOneChangesNothing) {
    LogsRig rig;
    PlayLogsPage& page = rig.page;
    auto& prompts = rig.h.prompts;
    std::string bytes;
    for (int i = 0; i < 120000; ++i)
        bytes += "91405A00-" + std::to_string(i) + "\r\n";
    ASSERT_FALSE(writeFileReplacing(rig.file("long.plog"), bytes));
    ASSERT_FALSE(writeFileReplacing(rig.file("bad.plog"), bytes + "hello\r\n"));
    page.R2IMemo2->setPlainText("C0000000-0");

    // A bad file is refused whole, once read.
    QSignalSpy ended(&page, &PlayLogsPage::loadEnded);
    prompts.answer(rig.file("bad.plog"));
    page.LoadLogButtons[1]->click();
    EXPECT_TRUE(page.loading());
    EXPECT_FALSE(page.LoadLogButtons[2]->isEnabled());
    ASSERT_TRUE(ended.wait(20000));
    EXPECT_EQ(page.R2IMemo2->toPlainText(), "C0000000-0");
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(
        prompts.messages[0].rfind(rig.file("bad.plog") + " is not a play log.\nLine 120001", 0),
        0u);

    // A good one fills the log a slice at a time, the window's events running between slices.
    QSignalSpy slices(page.LoadProgress, &QProgressBar::valueChanged);
    prompts.answer(rig.file("long.plog"));
    page.LoadLogButtons[1]->click();
    EXPECT_FALSE(page.LoadProgress->isHidden());
    ASSERT_TRUE(ended.wait(60000));
    EXPECT_FALSE(page.loading());
    EXPECT_GT(slices.count(), 3);
    EXPECT_TRUE(page.LoadProgress->isHidden());
    EXPECT_TRUE(page.LoadLogButtons[2]->isEnabled());
    EXPECT_EQ(PlayLogsPage::lineCount(page.R2IMemo2), 120000);
    EXPECT_EQ(PlayLogsPage::logText(page.R2IMemo2) + "\n",
              joinLogLines(splitLogLines(bytes)) + "\n");
    EXPECT_FALSE(page.unsaved(1));
    EXPECT_FALSE(page.R2IMemo2->isReadOnly());
}

TEST(PlayLogsPage, TheWindowReadsEveryFileAsTheToolDoesAndSavesItBack) {
    LogsRig rig;
    PlayLogsPage& page = rig.page;
    auto& prompts = rig.h.prompts;
    // Odd but valid logs: bytes the box could change (a no-break space, a lone CR, 8-bit
    // characters in the unread columns), and one the tool refuses.
    const std::string files[] = {
        "91405A\xA0"
        "0-10\r\n91405A\x85\xAD-20\r\n914000\xFF\x80-30\r\n",
        "91405A00-10\r91400000-20\r\n",
        "91405A00-10\xA0\r\n",
        "9c405a00-5\r\n",
    };
    for (const std::string& bytes : files) {
        prompts.messages.clear();
        ASSERT_FALSE(writeFileReplacing(rig.file("in.plog"), bytes));
        page.R2IMemo->setPlainText("C0000000-0");
        prompts.answer(rig.file("in.plog"));
        page.LoadLogButtons[0]->click();
        std::string toolError;
        const auto toolText = readWholeFile(rig.file("in.plog"), toolError);
        const bool toolReads = toolText && !playLogProblem(*toolText);
        EXPECT_EQ(prompts.messages.empty(), toolReads) << bytes;
        if (!toolReads)
            continue;
        prompts.answer(rig.file("out.plog"));
        page.SaveLogButtons[0]->click();
        std::string error;
        EXPECT_EQ(readWholeFile(rig.file("out.plog"), error).value_or(""),
                  joinCrLf(splitLines(bytes)));
        prompts.answer(rig.file("out.mid"));
        page.Button52->click();
        EXPECT_EQ(readWholeFile(rig.file("out.mid"), error).value_or(""),
                  midiFileFromLog(splitLogLines(*toolText)));
        EXPECT_TRUE(prompts.messages.empty()) << prompts.messages.front();
    }
}

TEST(PlayLogsPage, MidiExportWritesTheFileOrSaysWhyNot) {
    LogsRig rig;
    PlayLogsPage& page = rig.page;
    auto& prompts = rig.h.prompts;
    page.R2IMemo->setPlainText("C0000000-0\n91405A00-50\n91400000-150");
    prompts.answer(rig.file("take.mid"));
    page.Button52->click();
    EXPECT_EQ(prompts.dialogs.back().filter, "MIDI File|*.mid");
    EXPECT_EQ(prompts.dialogs.back().defaultExt, "mid");
    std::string error;
    const std::string bytes = readWholeFile(rig.file("take.mid"), error).value_or("");
    EXPECT_EQ(bytes.size(), 37u);
    EXPECT_EQ(bytes.substr(22, 4), std::string("\x00\xC0\x00\x32", 4));
    EXPECT_TRUE(prompts.messages.empty());

    // A file that cannot be created is reported, not passed off as saved.
    prompts.answer(rig.file("no/such/folder/take.mid"));
    page.Button52->click();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0], "Cannot create file " + rig.file("no/such/folder/take.mid") +
                                       ": No such file or directory");
    // A line that is no channel message is named and nothing is written over the old file.
    page.R2IMemo->setPlainText("C0000000-0\n91C05A00-50");
    prompts.answer(rig.file("take.mid"));
    page.Button52->click();
    EXPECT_EQ(prompts.messages.back(),
              "Line 2 \"91C05A00-50\" is not a valid MIDI channel message.");
    EXPECT_EQ(readWholeFile(rig.file("take.mid"), error).value_or(""), bytes);
}

TEST(PlayLogsPage, ATakeLeftBehindIsOfferedBackOrKeptAndNeverLost) {
    LogsRig rig;
    PlayLogsPage& page = rig.page;
    TakeJournal& journal = rig.h.guitar.playLog().journal();
    auto& prompts = rig.h.prompts;
    const QString data = rig.dir.filePath("data");
    QDir().mkpath(data + "/journal");
    const auto put = [&](const QString& name, std::string_view bytes) {
        ASSERT_FALSE(writeFileReplacing((data + "/journal/" + name).toStdString(), bytes));
    };
    const auto read = [](const QString& path) {
        std::string error;
        return readWholeFile(path.toStdString(), error).value_or("<none>");
    };
    // Runs that ended uncleanly: one take cut in its last line, and one file that is not ours.
    put("take-20250302-140322-1.journal", "C0000000-0\r\n91405A00-50\r\n9140");
    put("take-20250301-090000-2.journal", "hello\r\nC0000000-0\r\n");
    page.keepTakesIn(data);
    page.recoverTakes();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0],
              "A take was left behind in " +
                  (data + "/journal/take-20250301-090000-2.journal.unreadable").toStdString() +
                  ", but it cannot be read: line 1 is not a play log line.\nThe file is kept.");
    ASSERT_EQ(prompts.questions.size(), 1u);
    EXPECT_EQ(prompts.questions[0],
              "A take of 2 lines recorded on 2025-03-02 at 14:03 was not saved. Its last line was "
              "cut off when the program ended and is left out (1 line).\n\nYes puts it back into "
              "the play log \"PL\". No keeps it as the file " +
                  (data + "/takes/take-20250302-1403.plog").toStdString() + ".");
    EXPECT_EQ(page.R2IMemo->toPlainText(), "C0000000-0\n91405A00-50");
    // The restored take, and what is played after it, go on in the take's own journal, its cut
    // line left out.
    const QString restored = data + "/journal/take-20250302-140322-1.journal";
    EXPECT_EQ(QString::fromStdString(journal.path()), restored);
    rig.h.form->output().sendAndLog(0x91, 0x40, 0);
    journal.flush();
    EXPECT_EQ(read(restored), "C0000000-0\r\n91405A00-50\r\n" +
                                  LogsRig::lines(page.R2IMemo).last().toStdString() + "\r\n");

    // "RESET and  RECORD" starts a new journal; a clean exit removes it.
    rig.h.clock.advanceCentis(1000);
    page.Button81->click();
    journal.flush();
    EXPECT_FALSE(QFile::exists(restored));
    EXPECT_EQ(read(QString::fromStdString(journal.path())), "C0000000-0\r\n");
    page.setRecoveryDir(rig.dir.filePath("kept"));
    rig.h.form->show();
    rig.h.form->close();
    journal.flush();
    EXPECT_TRUE(QDir(data + "/journal").entryList({"*.journal"}).isEmpty());

    // Declining keeps the take as a file, and the play log as it is.
    put("take-20250303-100000-3.journal", "91405A00-7\r\n");
    prompts.yesNo = {false};
    page.recoverTakes();
    EXPECT_EQ(read(data + "/takes/take-20250303-1000.plog"), "91405A00-7\r\n");
    EXPECT_TRUE(QDir(data + "/journal").entryList({"*.journal"}).isEmpty());
    EXPECT_EQ(page.R2IMemo->toPlainText(), "C0000000-0");

    // A journal that cannot be written is said in the window, from the guitar's writer thread.
    const QString plain = rig.dir.filePath("plain");
    ASSERT_FALSE(writeFileReplacing(plain.toStdString(), "x"));
    const std::size_t said = prompts.messages.size();
    page.keepTakesIn(plain);
    rig.h.form->output().sendAndLog(0x91, 0x40, 0);
    journal.flush();
    QTRY_COMPARE(prompts.messages.size(), said + 1);
    EXPECT_EQ(prompts.messages.back().rfind("The take being recorded cannot be kept safe on disk: "
                                            "Cannot create folder " +
                                                (plain + "/journal").toStdString(),
                                            0),
              0u);
}

TEST(PlayLogsPage, OnlyTakesAreKeptAtCloseAndTheLimitRemovesOnlyTheOldestTakes) {
    LogsRig rig;
    PlayLogsPage& page = rig.page;
    const QString kept = rig.dir.filePath("kept");
    page.setRecoveryDir(kept);
    const auto put = [&](const QString& name, std::string_view bytes, int hoursAgo) {
        const std::string path = (kept + "/" + name).toStdString();
        ASSERT_FALSE(writeFileReplacing(path, bytes));
        std::filesystem::last_write_time(path, std::filesystem::file_time_type::clock::now() -
                                                   std::chrono::hours(hoursAgo));
    };
    // Starts that played nothing leave only their instrument messages: nothing is kept.
    for (int start = 0; start < 3; ++start) {
        page.R2IMemo->setPlainText("C0190000-0\nC9000000-0");
        EXPECT_TRUE(page.keepUnsavedLogs().isEmpty());
    }
    EXPECT_FALSE(QDir(kept).exists());

    // A full folder: the limit's worth of real takes, and newer files left by empty starts of
    // an older version, which are no takes and count for nothing.
    QDir().mkpath(kept);
    for (int i = 0; i < PlayLogsPage::kKeptLogFiles; ++i)
        put(QString("PL-take%1.plog").arg(i, 2, 10, QChar('0')), "91405A00-10\r\n", 100 - i);
    for (int i = 0; i < 45; ++i)
        put(QString("PL-empty%1.plog").arg(i), "C0190000-0\r\nC9000000-0\r\n", 50 - i);
    page.R2IMemo->setPlainText("C0190000-0\n91405A00-10");
    const QStringList written = page.keepUnsavedLogs();
    ASSERT_EQ(written.size(), 1);
    const QStringList left = QDir(kept).entryList({"*.plog"}, QDir::Files, QDir::Name);
    EXPECT_EQ(left.size(), PlayLogsPage::kKeptLogFiles);
    EXPECT_TRUE(left.contains(QFileInfo(written[0]).fileName()));
    EXPECT_FALSE(left.contains("PL-take00.plog")); // the oldest take made room
    EXPECT_TRUE(left.contains("PL-take01.plog"));
    EXPECT_TRUE(QDir(kept).entryList({"PL-empty*"}).isEmpty());
}

TEST(PlayLogsPage, ClosingWhenTheTakeCannotBeKeptAsksWithSaveLogAsTheWayOut) {
    LogsRig rig;
    PlayLogsPage& page = rig.page;
    auto& prompts = rig.h.prompts;
    // A recovery folder that cannot be made, and no journal: the take has nowhere to go.
    ASSERT_FALSE(writeFileReplacing(rig.file("plain"), "x"));
    page.setRecoveryDir(rig.dir.filePath("plain/kept"));
    rig.h.form->show();
    const auto play = [&] { rig.h.form->output().sendAndLog(0x91, 0x40, 0x5A); };
    play();

    // "Save Log..." cancelled: Fretwright stays open, the take in "PL".
    prompts.yesNo = {true};
    prompts.answer(std::nullopt);
    EXPECT_FALSE(rig.h.form->close());
    EXPECT_TRUE(rig.h.form->isVisible());
    ASSERT_EQ(prompts.questions.size(), 1u);
    EXPECT_EQ(prompts.questions[0].rfind("The take in \"PL\" has not been saved and cannot be "
                                         "kept when Fretwright closes: Cannot create folder " +
                                             rig.file("plain/kept") + ": ",
                                         0),
              0u);
    EXPECT_NE(prompts.questions[0].find("Yes saves it now with \"Save Log...\". No closes "
                                        "Fretwright and the take is lost."),
              std::string::npos);
    // Saved: it closes.
    prompts.yesNo = {true};
    prompts.answer(rig.file("saved.plog"));
    EXPECT_TRUE(rig.h.form->close());
    std::string error;
    EXPECT_EQ(readWholeFile(rig.file("saved.plog"), error).value_or(""),
              LogsRig::lines(page.R2IMemo).join("\r\n").toStdString() + "\r\n");

    // No closes without it.
    rig.h.form->show();
    play();
    prompts.questions.clear();
    prompts.yesNo = {false};
    EXPECT_TRUE(rig.h.form->close());
    EXPECT_EQ(prompts.questions.size(), 1u);
}

TEST(PlayLogsPage, PianoRollShowsALogFollowsThePlayLogAndSelectsLines) {
    LogsRig rig;
    PlayLogsPage& page = rig.page;
    page.R2IMemo->setPlainText("C0000000-0\n91405A00-50\n91400000-150");
    page.PianoRollButtons[0]->click();
    PianoRollWindow* window = page.pianoRoll(0);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "Piano Roll - PL");
    ASSERT_EQ(window->roll().notes().size(), 1u);

    // Live play appends to the play log: the roll reads on.
    rig.h.clock.setCentis(123 + 200);
    rig.h.form->output().sendAndLog(0x91, 0x47, 0x5A);
    QTRY_COMPARE(window->roll().lines(), 4);
    EXPECT_EQ(window->roll().notes().size(), 2u);

    // A click on the first note selects its line in the log.
    PianoRollCanvas* canvas = window->canvas();
    canvas->setCentisPerPixel(1.0, 0);
    canvas->setLeftTime(0);
    canvas->verticalScrollBar()->setValue((127 - 0x40) * canvas->rowHeight() - 20);
    QTest::mouseClick(canvas->viewport(), Qt::LeftButton, {},
                      QPoint(40 + 60, 20 + canvas->rowHeight() / 2));
    EXPECT_EQ(page.R2IMemo->textCursor().blockNumber(), 1);
    EXPECT_EQ(page.R2IMemo->textCursor().selectedText(), "91405A00-50");

    // A log changed elsewhere than at its end is read again.
    page.R2IMemo->setPlainText("90305A00-0\n90300000-5");
    QTRY_COMPARE(window->roll().lines(), 2);
    ASSERT_EQ(window->roll().notes().size(), 1u);
    EXPECT_EQ(window->roll().notes()[0].end, 5);
}

TEST(PlayLogsPage, WavExportRendersOnItsThreadOrCancels) {
    LogsRig rig;
    PlayLogsPage& page = rig.page;
    auto& prompts = rig.h.prompts;
    QSignalSpy ended(&page, &PlayLogsPage::renderEnded);
    page.R2IMemo->setPlainText("C0000000-200\n91405A00-250\n91400000-300");
    prompts.answer(rig.file("take.wav"));
    page.SaveWavButton->click();
    EXPECT_EQ(prompts.dialogs.back().filter, "WAV Audio|*.wav");
    ASSERT_TRUE(ended.wait(20000));
    if (!prompts.messages.empty() && prompts.messages[0].rfind("Cannot load the SoundFont", 0) == 0)
        GTEST_SKIP() << "no General MIDI SoundFont";
    EXPECT_TRUE(prompts.messages.empty());
    std::string error;
    EXPECT_EQ(readWholeFile(rig.file("take.wav"), error).value_or("").size(),
              44u + (100 + 200) * 441 * 4);
    EXPECT_FALSE(page.busy());
    EXPECT_TRUE(page.SaveWavButton->isEnabled());

    // Ten minutes of sound take a while: the window goes on meanwhile, shows the progress in the
    // place of the button without growing, and "Cancel" leaves the old file as it was.
    TForm1& form = *rig.h.form;
    form.show();
    form.PageControl1->setCurrentWidget(&page);
    const int width = form.width();
    page.R2IMemo->setPlainText("C0000000-0\n91405A00-100\n91400000-60000");
    prompts.answer(rig.file("take.wav"));
    page.SaveWavButton->click();
    EXPECT_TRUE(page.rendering());
    EXPECT_FALSE(page.Button82->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(page.WavProgress->isVisible(), 5000);
    EXPECT_EQ(form.width(), width);
    page.WavCancelButton->click();
    ASSERT_TRUE(ended.wait(20000));
    EXPECT_FALSE(page.WavProgress->isVisible());
    EXPECT_EQ(form.width(), width);
    EXPECT_EQ(readWholeFile(rig.file("take.wav"), error).value_or("").size(),
              44u + (100 + 200) * 441 * 4);
    EXPECT_EQ(QDir(rig.dir.path()).entryList(QDir::Files), QStringList{"take.wav"});
    EXPECT_TRUE(prompts.messages.empty());

    // Closing the program in the middle of a rendering cancels it and leaves nothing behind.
    prompts.answer(rig.file("closed.wav"));
    page.SaveWavButton->click();
    EXPECT_TRUE(page.rendering());
    form.close();
    rig.h.form.reset();
    EXPECT_EQ(QDir(rig.dir.path()).entryList(QDir::Files), QStringList{"take.wav"});
}

} // namespace
} // namespace fw
