// Configuration sets through the real "Config" tab and the real chord, pick and joystick loaders.
#include "beats/beat_files.h"
#include "beats/qt_beat_manager_page.h"
#include "chords/chord_sets.h"
#include "chords/qt_chord_definitions_page.h"
#include "config/qt_configuration_set_group.h"
#include "files/line_file.h"
#include "input/joy_file.h"
#include "picks/pick_sets.h"
#include "picks/qt_pick_pages.h"
#include "support/qt_harness.h"

#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace fw {
namespace {

// Three good files to name, each different from what a fresh window holds.
struct SetupFiles {
    QTemporaryDir dir;
    ChordTable chords{};
    PickMemory picks{};
    JoyMapping joystick;

    SetupFiles() {
        chords[1][1] = {0, 40, 44, 47, 52, 52, 56, 59, 64, 40, 40};
        chords[4][4][10] = -3;
        picks[1][1] = "0------1------2------3------";
        picks[4][8] = "9------";
        applyDefaultMapping(joystick);
        write("e.chords", chordMemoryLines(chords));
        write("arp.picks", pickMemoryLines(picks));
        write("pad.joy", joyConfigLines(joystick));
    }
    std::string path(const char* name) const { return dir.filePath(name).toStdString(); }
    void write(const char* name, const std::vector<std::string>& lines) const {
        EXPECT_FALSE(writeLineFileAtomically(path(name), lines));
    }
    void writeBytes(const char* name, const std::string& bytes) const {
        EXPECT_FALSE(writeFileReplacing(path(name), bytes));
    }
};

struct ConfigTab {
    test::MainWindowHarness h;
    TForm1& f = *h.form;
    ConfigurationSetGroup& group = *f.ConfigSet;
    ConfigTab() { h.prompts.messages.clear(); } // the joystick report at start-up

    const ChordTable& chords() { return f.engine().st.chordMemory; }
    const PickMemory& picks() { return f.engine().st.pickMemory; }
    const JoyMapping& joystick() { return f.joystickPlay().map; }
    QStringList names() const {
        return {group.Edit19->text(), group.Edit20->text(), group.Edit21->text()};
    }
};

std::string slurp(const std::string& path) {
    std::string error;
    return readWholeFile(path, error).value_or("<" + error + ">");
}

TEST(ConfigurationSetGroup, BrowseSaveAndLoadBringTheWholeSetUpBack) {
    SetupFiles files;
    const std::string cset = files.path("band.cset");
    {
        ConfigTab tab;
        ConfigurationSetGroup& g = tab.group;
        EXPECT_EQ(g.title(), "Configuration Set");
        EXPECT_EQ(g.Button104->text(), "Save *.cset");
        EXPECT_EQ(g.Button105->text(), "Load *.cset");
        EXPECT_EQ(tab.f.PageControl1->tabText(tab.f.PageControl1->indexOf(g.parentWidget())),
                  "Config");

        // An empty set is three empty lines: six bytes.
        tab.h.prompts.answer(cset);
        QTest::mouseClick(g.Button104, Qt::LeftButton);
        EXPECT_EQ(tab.h.prompts.dialogs.back().filter, "Configuration Set|*.cset");
        EXPECT_EQ(tab.h.prompts.dialogs.back().defaultExt, "cset");
        EXPECT_EQ(slurp(cset), "\r\n\r\n\r\n");

        // Browsing fills a box from its file's own dialog and loads nothing.
        const struct {
            QPushButton* button;
            const char* file;
            const char* filter;
            const char* ext;
        } rows[] = {{g.Button101, "e.chords", "Chord Sets|*.chords", "chords"},
                    {g.Button102, "arp.picks", "PickSequence Sets|*.picks", "picks"},
                    {g.Button103, "pad.joy", "Joystick Config|*.joy", "joy"}};
        for (const auto& row : rows) {
            tab.h.prompts.answer(files.path(row.file));
            QTest::mouseClick(row.button, Qt::LeftButton);
            EXPECT_EQ(tab.h.prompts.dialogs.back().filter, row.filter);
            EXPECT_EQ(tab.h.prompts.dialogs.back().defaultExt, row.ext);
        }
        tab.h.prompts.answer(std::nullopt); // a cancelled browse keeps the name
        QTest::mouseClick(g.Button101, Qt::LeftButton);
        EXPECT_EQ(tab.chords(), ChordTable{});
        EXPECT_EQ(tab.picks(), PickMemory{});

        tab.h.prompts.answer(cset);
        QTest::mouseClick(g.Button104, Qt::LeftButton);
        EXPECT_EQ(slurp(cset), files.path("e.chords") + "\r\n" + files.path("arp.picks") + "\r\n" +
                                   files.path("pad.joy") + "\r\n");
        EXPECT_TRUE(tab.h.prompts.messages.empty());
    }

    // A fresh start: one load brings chords, picks and controller back, the joystick file only
    // once its dialog, shown with the name preselected, is confirmed.
    ConfigTab tab;
    tab.h.prompts.answer(cset);
    tab.h.prompts.answer(files.path("pad.joy"));
    QTest::mouseClick(tab.group.Button105, Qt::LeftButton);
    EXPECT_TRUE(tab.h.prompts.messages.empty());
    EXPECT_EQ(tab.names(), (QStringList{QString::fromStdString(files.path("e.chords")),
                                        QString::fromStdString(files.path("arp.picks")),
                                        QString::fromStdString(files.path("pad.joy"))}));
    EXPECT_EQ(tab.chords(), files.chords);
    EXPECT_EQ(tab.picks(), files.picks);
    EXPECT_EQ(tab.joystick(), files.joystick);
    EXPECT_EQ(tab.f.ChordDefinitions->ChordMemo->toPlainText().split('\n').size(), 160);
    ASSERT_EQ(tab.h.prompts.dialogs.size(), 2u);
    EXPECT_EQ(tab.h.prompts.dialogs[0].filter, "Configuration Set|*.cset");
    EXPECT_EQ(tab.h.prompts.dialogs[1].filter, "Joystick Config|*.joy");
    EXPECT_EQ(tab.h.prompts.dialogs[1].fileName, files.path("pad.joy"));
}

// Each step loads whole or not at all; the first that fails says why, naming its file, and ends
// the load. The steps before it stay loaded.
TEST(ConfigurationSetGroup, TheFirstFailingStepEndsTheLoadAndKeepsWhatCameBefore) {
    SetupFiles files;
    // Bad lines late in the files, so that a half load would show.
    auto chordLines = chordMemoryLines(files.chords);
    chordLines[149] = "O"; // a letter O for a zero
    files.write("bad.chords", chordLines);
    files.writeBytes("bin.picks", std::string("0-\0-\r\n", 6));
    const auto joyLines = joyConfigLines(files.joystick);
    files.write("short.joy", {joyLines.begin(), joyLines.begin() + 100});
    const auto at = [&](const char* name) { return files.path(name); };
    enum Step { kNone, kChords, kPicks }; // the last step that loaded

    const struct {
        std::string cset; // names relative to the directory, one per line
        std::optional<std::string> joyAnswer;
        std::string message; // empty: none
        Step loaded;         // the joystick dialog shows once the picks loaded
    } cases[] = {
        {"gone.chords\narp.picks\npad.joy", at("pad.joy"), "Cannot open file " + at("gone.chords"),
         kNone},
        {"bad.chords\narp.picks\npad.joy", at("pad.joy"),
         "'O' is not a valid integer value\n(line 150 of " + at("bad.chords") +
             "; nothing was loaded)",
         kNone},
        {"e.chords\ngone.picks\npad.joy", at("pad.joy"), "Cannot open file " + at("gone.picks"),
         kChords},
        {"e.chords\nbin.picks\npad.joy", at("pad.joy"), at("bin.picks") + " is not a text file.",
         kChords},
        {"e.chords\narp.picks\nshort.joy", at("short.joy"),
         "'' is not a valid integer value\n(line 101 of " + at("short.joy") +
             "; nothing was loaded)",
         kPicks},
        {"e.chords\narp.picks\npad.joy", std::nullopt, "", kPicks}, // the joystick dialog cancelled
        {"e.chords\narp.picks", std::nullopt, "", kPicks},          // no joystick name
        {"", at("pad.joy"), "Cannot open file ", kNone},            // three empty names
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cset);
        std::vector<std::string> paths;
        for (const QString& name : QString::fromStdString(c.cset).split('\n'))
            paths.push_back(name.isEmpty() ? std::string() : at(name.toUtf8().constData()));
        paths.resize(3);
        files.write("step.cset", paths);

        ConfigTab tab;
        const QString chordView = tab.f.ChordDefinitions->ChordMemo->toPlainText();
        const JoyMapping preset = tab.joystick();
        tab.h.prompts.answer(at("step.cset"));
        tab.h.prompts.answer(c.joyAnswer);
        QTest::mouseClick(tab.group.Button105, Qt::LeftButton);

        EXPECT_EQ(tab.h.prompts.messages, c.message.empty() ? std::vector<std::string>{}
                                                            : std::vector<std::string>{c.message});
        EXPECT_EQ(tab.names(),
                  (QStringList{QString::fromStdString(paths[0]), QString::fromStdString(paths[1]),
                               QString::fromStdString(paths[2])}));
        EXPECT_EQ(tab.chords(), c.loaded >= kChords ? files.chords : ChordTable{});
        EXPECT_EQ(tab.f.ChordDefinitions->ChordMemo->toPlainText() == chordView,
                  c.loaded < kChords);
        EXPECT_EQ(tab.picks(), c.loaded >= kPicks ? files.picks : PickMemory{});
        EXPECT_EQ(tab.f.pickSetPages->memoLines().empty(), c.loaded < kPicks);
        EXPECT_EQ(tab.joystick(), preset); // no case here gets as far as loading it
        ASSERT_EQ(tab.h.prompts.dialogs.size(), c.loaded >= kPicks ? 2u : 1u);
        if (c.loaded >= kPicks) {
            EXPECT_EQ(tab.h.prompts.dialogs[1].fileName, paths[2]);
        }
    }

    // A set that cannot be read changes nothing, not even the names.
    ConfigTab tab;
    tab.group.Edit19->setText("kept.chords");
    tab.h.prompts.answer(at("gone.cset"));
    QTest::mouseClick(tab.group.Button105, Qt::LeftButton);
    EXPECT_EQ(tab.h.prompts.messages,
              std::vector<std::string>{"Cannot open file " + at("gone.cset")});
    EXPECT_EQ(tab.names(), (QStringList{"kept.chords", "", ""}));
}

// The beat box is empty unless chosen or named by a loaded set, and only a filled one is written.
TEST(ConfigurationSetGroup, TheBeatIsAFourthBoxWrittenOnlyWhenFilled) {
    SetupFiles files;
    BeatPattern beat{};
    {
        ConfigTab tab;
        beat = tab.f.BeatManager->pattern();
    }
    beat.voices[0] = "24----24----24----24----";
    files.write("rock.beat", beatFileLines(beat));
    files.write("with.cset",
                {files.path("e.chords"), files.path("arp.picks"), "", files.path("rock.beat")});
    const std::string saved = files.path("saved.cset");

    ConfigTab tab;
    ConfigurationSetGroup& g = tab.group;
    EXPECT_EQ(g.BeatFile->text(), "");
    tab.h.prompts.answer(files.path("with.cset"));
    tab.h.prompts.answer(std::nullopt); // the joystick dialog
    QTest::mouseClick(g.Button105, Qt::LeftButton);
    EXPECT_TRUE(tab.h.prompts.messages.empty());
    EXPECT_EQ(g.BeatFile->text(), QString::fromStdString(files.path("rock.beat")));
    EXPECT_EQ(tab.f.BeatManager->pattern().voices[0], beat.voices[0]);

    // The player empties the box: the next set has three lines and no beat.
    g.BeatFile->clear();
    tab.h.prompts.answer(saved);
    QTest::mouseClick(g.Button104, Qt::LeftButton);
    EXPECT_EQ(slurp(saved), files.path("e.chords") + "\r\n" + files.path("arp.picks") + "\r\n\r\n");

    // Chosen through its own dialog, it is the fourth line.
    tab.h.prompts.answer(files.path("rock.beat"));
    QTest::mouseClick(g.BrowseBeat, Qt::LeftButton);
    EXPECT_EQ(tab.h.prompts.dialogs.back().filter, "Beat Patterns|*.beat");
    tab.h.prompts.answer(saved);
    QTest::mouseClick(g.Button104, Qt::LeftButton);
    EXPECT_EQ(slurp(saved), files.path("e.chords") + "\r\n" + files.path("arp.picks") + "\r\n\r\n" +
                                files.path("rock.beat") + "\r\n");

    // A set without a beat empties the box again and leaves the beat pattern alone.
    files.write("plain.cset", {files.path("e.chords"), files.path("arp.picks"), ""});
    tab.f.BeatManager->showPattern(BeatPattern{});
    tab.h.prompts.answer(files.path("plain.cset"));
    tab.h.prompts.answer(std::nullopt);
    QTest::mouseClick(g.Button105, Qt::LeftButton);
    EXPECT_EQ(g.BeatFile->text(), "");
    EXPECT_EQ(tab.f.BeatManager->pattern().voices[0], "");
}

} // namespace
} // namespace fw
