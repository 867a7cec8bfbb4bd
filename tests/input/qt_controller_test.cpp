// Controllers SDL knows, plugged into the running program: the mapping that fits them, the
// player's own mapping kept per controller, and the starter set played from them through the
// real poll and the recording output.
#include "beats/qt_beat_manager_page.h"
#include "config/qt_starter_set_group.h"
#include "config/starter_set.h"
#include "input/joystick_poll.h"
#include "input/keyboard_play.h"
#include "input/qt_joystick_mapping_page.h"
#include "input/sdl_joystick.h"
#include "support/qt_harness.h"
#include "support/virtual_joystick.h"

#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdint>

namespace fw {
namespace {

using test::VirtualJoystick;

bool until(const std::function<bool()>& condition) {
    return QTest::qWaitFor(condition, 10000);
}

struct Controllers : ::testing::Test {
    SdlJoystick sdl;
    std::unique_ptr<test::MainWindowHarness> h =
        std::make_unique<test::MainWindowHarness>(true, &sdl);
    TForm1* f = h->form.get();

    JoystickMappingPage& page() { return *f->JoystickMapping; }
    // The notes of the next beat.
    std::vector<int> beat() {
        h->clock.advanceMicros(625000);
        const auto before = h->port->sent.size();
        f->Timer2Timer();
        f->engine().releasePlucks(INT64_MAX); // a strum's later strings, spread after the beat
        std::vector<int> notes;
        for (auto m = h->port->sent.begin() + static_cast<long>(before); m != h->port->sent.end();
             ++m) {
            if ((m->status & 0xF0) == 0x90 && m->data2 != 0)
                notes.push_back(m->data1);
        }
        return notes;
    }
    std::vector<int> strings(int set, int chord, bool up = false) {
        std::vector<int> notes;
        for (int s = 1; s <= 6; ++s)
            notes.push_back(f->engine().st.chordMemory[set][chord][up ? 7 - s : s]);
        return notes;
    }
    // Pressed, seen by the running poll to start a pick, and released.
    void press(const std::function<void(bool)>& control) {
        control(true);
        ASSERT_TRUE(until([&] { return f->engine().st.pickStep == 0; }));
        control(false);
        QTest::qWait(5);
    }
};

TEST_F(Controllers, APadPluggedInWhilePlayingPlaysTheStarterSetAlone) {
    VirtualJoystick pad(test::xbox360Pad(), false);
    ASSERT_TRUE(f->StarterSet->LoadStarterSetClick());
    f->Timer2Timer();
    QTest::mouseClick(f->Button70, Qt::LeftButton); // "Init Play Mode"
    const int tempo = f->TempTracker->value();
    ASSERT_TRUE(pad.attach());
    ASSERT_TRUE(until([&] { return page().mappingSource() == "Gamepad"; }));
    EXPECT_TRUE(page().ControllerLabel->text().contains("Virtual Xbox 360 pad"));
    QTest::qWait(30); // the pad at rest: sticks centred, triggers at their lowest
    EXPECT_EQ(f->TempTracker->value(), tempo);
    EXPECT_EQ(f->TremTracker->value(), 127);
    EXPECT_EQ(f->engine().st.pickStep, kIdle);

    // Up, right, down, left choose chords 1..4; A strums each down.
    const Uint8 dpad[4] = {SDL_HAT_UP, SDL_HAT_RIGHT, SDL_HAT_DOWN, SDL_HAT_LEFT};
    for (int chord = 1; chord <= 4; ++chord) {
        pad.setHat(dpad[chord - 1]);
        ASSERT_TRUE(until([&] { return f->engine().st.selChord == chord; }));
        press([&](bool down) { pad.setButton(1, down); });
        EXPECT_EQ(beat(), strings(1, chord)) << chord;
    }
    // A flick of the right stick strums as a hand does: down and back is the down-strum, low
    // string to high; up and back the up-strum, high to low. The left shoulder steps the set.
    pad.setHat(SDL_HAT_CENTERED);
    const struct {
        int step;
        bool up;
    } flicks[] = {{230, false}, {20, true}, {200, false}};
    for (const auto& flick : flicks) {
        pad.setStep(5, flick.step);
        ASSERT_TRUE(until([&] {
            const JoystickPlay& joy = f->joystickPlay();
            return joy.strumHigh == flick.step || joy.strumLow == flick.step;
        }));
        pad.setStep(5, 128);
        ASSERT_TRUE(until([&] { return f->engine().st.pickStep == 0; }));
        EXPECT_EQ(f->CheckBox1->isChecked(), flick.up) << flick.step;
        EXPECT_EQ(beat(), strings(1, 4, flick.up)) << flick.step;
    }
    pad.setButton(5, true);
    ASSERT_TRUE(until([&] { return f->Panel65->caption() == "2-4"; }));
    pad.setButton(5, false);
    QTest::qWait(20);
    EXPECT_EQ(f->Panel65->caption(), "2-4"); // once per press
    EXPECT_EQ(f->TempTracker->value(), tempo);
}

TEST_F(Controllers, AGuitarChoosesChordsWithItsFretsAndStrumsWithItsBar) {
    VirtualJoystick guitar(test::xbox360Guitar());
    f->Timer4Timer();
    ASSERT_EQ(page().mappingSource(), "Guitar controller");
    ASSERT_TRUE(f->StarterSet->LoadStarterSetClick());
    f->Timer2Timer();
    QTest::mouseClick(f->Button70, Qt::LeftButton);
    QTest::qWait(30); // at rest, the whammy bar at its lowest: no bend
    f->PitchUpdaterTimer();
    EXPECT_EQ(f->TremTracker->value(), 127);
    EXPECT_EQ(h->port->sent.back().status, 0xE1); // the first bend sent is the centre
    EXPECT_EQ(h->port->sent.back().data2, 64);

    // Green, red, yellow, blue: buttons A, B, Y, X.
    const int frets[4] = {1, 2, 4, 3};
    for (int chord = 1; chord <= 4; ++chord) {
        guitar.setButton(frets[chord - 1], true);
        ASSERT_TRUE(until([&] { return f->engine().st.selChord == chord; }));
        const bool up = chord % 2 == 0;
        press([&](bool down) { guitar.setHat(down ? (up ? SDL_HAT_UP : SDL_HAT_DOWN) : 0); });
        EXPECT_EQ(f->CheckBox1->isChecked(), up);
        EXPECT_EQ(beat(), strings(1, chord, up)) << chord;
        guitar.setButton(frets[chord - 1], false);
    }
    // Orange holds fret 3; the whammy bends down from its rest at the lowest value.
    guitar.setButton(5, true);
    ASSERT_TRUE(until([&] { return f->fretButtons[3]->isChecked(); }));
    guitar.setAxis(4, 65535);
    ASSERT_TRUE(until([&] { return f->TremTracker->value() == 1; }));
    guitar.setAxis(4, 0);
    ASSERT_TRUE(until([&] { return f->TremTracker->value() == 127; }));
}

TEST_F(Controllers, TheMappingLastSavedForAControllerComesBackWithIt) {
    QTemporaryDir dir;
    const std::string settings = dir.filePath("Fretwright.conf").toStdString();
    const std::string mine = dir.filePath("mine.joy").toStdString();
    f->restoreSettings(settings);
    auto tab = [&] { return f->PageControl1->tabText(f->PageControl1->currentIndex()); };
    EXPECT_EQ(tab(), "Config"); // the first start opens where "Load Starter Set" is
    VirtualJoystick pad(test::xbox360Pad());
    f->Timer4Timer();
    ASSERT_EQ(page().mappingSource(), "Gamepad");
    page().ListBox3->setCurrentRow(7); // "Button 8" (start) plays pick 1
    QTest::mouseClick(page().functionBoxes[kFnPick1], Qt::LeftButton);
    h->prompts.answer(mine);
    QTest::mouseClick(page().Button94, Qt::LeftButton);
    const JoyMapping saved = f->joystickPlay().map;
    EXPECT_TRUE(page().ControllerLabel->text().contains("mine.joy"));

    // Another model gets its own preset; the pad back gets its saved mapping.
    pad.detach();
    VirtualJoystick guitar(test::xbox360Guitar());
    f->Timer4Timer();
    EXPECT_EQ(page().mappingSource(), "Guitar controller");
    guitar.detach();
    pad.attach();
    f->Timer4Timer();
    EXPECT_EQ(page().mappingSource(), mine);
    EXPECT_EQ(f->joystickPlay().map, saved);

    // And after a restart.
    h.reset();
    h = std::make_unique<test::MainWindowHarness>(true, &sdl);
    f = h->form.get();
    EXPECT_EQ(page().mappingSource(), "Gamepad");
    f->restoreSettings(settings);
    EXPECT_EQ(tab(), "Builder");
    EXPECT_EQ(page().mappingSource(), mine);
    EXPECT_EQ(f->joystickPlay().map, saved);
}

TEST(StarterSet, LoadsWholeAndTheKeyboardsFirstPickPlaysAChord) {
    test::MainWindowHarness h;
    TForm1& f = *h.form;
    EXPECT_EQ(f.StarterSet->LoadStarterSetButton->text(), "Load Starter Set");
    const std::size_t messages = h.prompts.messages.size();
    QTest::mouseClick(f.StarterSet->LoadStarterSetButton, Qt::LeftButton);
    EXPECT_EQ(h.prompts.messages.size(), messages);
    EXPECT_TRUE(h.prompts.dialogs.empty());            // one action: no dialog
    EXPECT_EQ(f.engine().st.chordMemory[4][4][1], 43); // G7's low G
    EXPECT_FALSE(f.engine().st.accompBeatLine.empty());
    // The tempo, spread and beat instrument its patterns are written for.
    EXPECT_EQ(f.TempTracker->value(), 801); // 200 steps a minute: eighths at 100 BPM
    EXPECT_EQ(f.Sound->StrumSpread->value(), 24);
    EXPECT_EQ(f.engine().ui.strumSpreadMs, 24);
    EXPECT_EQ(f.BeatManager->ListBox5->currentRow(), 118); // "119   Synth Drum"
    f.Timer2Timer();
    EXPECT_EQ(f.ChordNames->text(), "Plays G \u00b7 selected G");
    int key = vk::Up; // "KB Play Mode": the first pick
    f.Edit22KeyDown(key, {});
    h.clock.advanceMicros(625000);
    const auto before = h.logLines().size();
    f.Timer2Timer();
    f.engine().releasePlucks(INT64_MAX);
    QStringList played;
    for (const QString& line : h.logLines().mid(static_cast<int>(before)))
        played << line.left(8);
    EXPECT_EQ(played, (QStringList{"912B4000", "912F4000", "91324000", "91374000", "913B4000",
                                   "91434000"})); // G major on six strings, at the "V" bar's 64

    // A spread the player chose is theirs: loading again keeps it.
    f.Sound->StrumSpread->setValue(5);
    f.StarterSet->LoadStarterSetClick();
    EXPECT_EQ(f.Sound->StrumSpread->value(), 5);
    EXPECT_EQ(f.engine().ui.strumSpreadMs, 5);

    // A starter set with a bad file changes nothing.
    QTemporaryDir dir;
    for (const char* name : {"starter.cset", "starter.chords", "starter.beat"})
        QFile::copy(QString(FW_SOURCE_DIR "/data/starter/") + name, dir.filePath(name));
    QFile bad(dir.filePath("starter.picks"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write(QByteArray("012\0", 4));
    bad.close();
    f.engine().st.chordMemory[1][1][1] = 1;
    StarterSetGroup group(h.prompts, dir.filePath("starter.cset").toStdString(),
                          [&](const WholeSet&) { FAIL(); });
    EXPECT_FALSE(group.LoadStarterSetClick());
    EXPECT_EQ(h.prompts.messages.size(), messages + 1);
    EXPECT_EQ(f.engine().st.chordMemory[1][1][1], 1);
}

} // namespace
} // namespace fw
