// Controllers SDL knows, plugged into the running program: the mapping that fits them, the
// player's own mapping kept per controller, and the starter set played from them through the
// real poll and the recording output.
#include "beats/qt_beat_manager_page.h"
#include "config/qt_starter_set_group.h"
#include "config/starter_set.h"
#include "input/joystick_poll.h"
#include "input/keyboard_play.h"
#include "input/qt_joystick_mapping_page.h"
#include "platform/sdl/sdl_joystick.h"
#include "support/qt_harness.h"
#include "support/virtual_joystick.h"

#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
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
    // Pressed, seen by the running poll, and released: the notes that sounded at the press (the
    // presets play on press, so the first group sounds at once).
    std::vector<int> press(const std::function<void(bool)>& control) {
        const auto before = h->port->sent.size();
        const auto noteOns = [&] {
            std::vector<int> notes;
            for (auto m = h->port->sent.begin() + static_cast<long>(before);
                 m != h->port->sent.end(); ++m) {
                if ((m->status & 0xF0) == 0x90 && m->data2 != 0)
                    notes.push_back(m->data1);
            }
            return notes;
        };
        control(true);
        EXPECT_TRUE(until([&] { return !noteOns().empty(); }));
        f->engine().releasePlucks(INT64_MAX); // a strum's later strings, spread after the first
        control(false);
        QTest::qWait(5);
        return noteOns();
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
        EXPECT_EQ(press([&](bool down) { pad.setButton(1, down); }), strings(1, chord)) << chord;
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
        // Back to rest: the flick's end strums, at once.
        EXPECT_EQ(press([&](bool down) {
                      if (down)
                          pad.setStep(5, 128);
                  }),
                  strings(1, 4, flick.up))
            << flick.step;
        EXPECT_EQ(f->CheckBox1->isChecked(), flick.up) << flick.step;
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
        EXPECT_EQ(
            press([&](bool down) { guitar.setHat(down ? (up ? SDL_HAT_UP : SDL_HAT_DOWN) : 0); }),
            strings(1, chord, up))
            << chord;
        EXPECT_EQ(f->CheckBox1->isChecked(), up);
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

// A pad's A through the real poll while the beats run: the first group at the press, the later
// ones on the beats, the accompaniment on its beats as before. Pressed early in a beat, group 2
// comes at the next beat; late in a beat (an early strum), at the one after. With "Play on
// press" off and "Pick Start" at "On the beat", the right stick's strum waits for the beat.
TEST_F(Controllers, APickAtOnceSoundsAtThePressAndItsLaterGroupsKeepToTheBeats) {
    VirtualJoystick pad(test::xbox360Pad());
    f->Timer4Timer();
    ASSERT_EQ(page().mappingSource(), "Gamepad");
    Engine& e = f->engine();
    for (int s = 1; s <= 10; ++s)
        e.st.chordMemory[1][1][s] = 50 + s;
    e.st.pickMemory[1][1] = e.st.pickMemory[1][2] = "0------1------2------3------";
    e.st.accompBeatLine = "24------------";
    f->CheckBox3->click(); // "Accomp. Beat"
    e.ui.tempPosition = 1001 - 200;
    f->syncControls();
    f->PitchUpdaterTimer();
    constexpr std::int64_t kBeat = 300000;
    ASSERT_EQ(f->Timer2->interval() * 1000, kBeat);
    std::vector<std::int64_t> beats;
    QObject::connect(f->Timer2, &BeatTimer::timeout, f,
                     [&] { beats.push_back(f->Timer2->lastBeatDue()); });
    f->Timer2->start();
    QTest::mouseClick(f->Button70, Qt::LeftButton); // "Init Play Mode"

    struct Case {
        bool atOnce;
        int permille; // where in the beat the press falls
    };
    for (Case c : {Case{true, 250}, Case{true, 750}, Case{false, 500}}) {
        SCOPED_TRACE(c.permille);
        if (!c.atOnce)
            QTest::mouseClick(page().PickButtonsPlay, Qt::LeftButton);
        ASSERT_EQ(f->joystickPlay().map.pickButtonsPlay, c.atOnce);
        const std::size_t seen = beats.size();
        ASSERT_TRUE(until([&] { return beats.size() > seen; }));
        const std::int64_t aim = beats.back() + kBeat * c.permille / 1000;
        ASSERT_TRUE(until([&] { return monotonicMicros() >= aim; }));
        const auto before = h->port->sent.size();
        const std::int64_t pressed = monotonicMicros();
        if (c.atOnce) {
            pad.setButton(1, true);
        } else {
            pad.setStep(5, 230);
            ASSERT_TRUE(until([&] { return f->joystickPlay().strumHigh == 230; }));
            pad.setStep(5, 128);
        }
        const std::size_t afterPress = beats.size();
        ASSERT_TRUE(until([&] { return beats.size() >= afterPress + 5; }));
        pad.setButton(1, false);

        // Every beat since the press carries its accompaniment note at its due time, and nothing
        // of the pick lies off the beats but the first group of a pick at once.
        std::vector<std::int64_t> accompaniment, groups;
        std::vector<int> notes;
        for (auto m = h->port->sent.begin() + static_cast<long>(before); m != h->port->sent.end();
             ++m) {
            if (m->status == 0x90) {
                accompaniment.push_back(m->stamp);
            } else if (m->status == 0x91 && m->data2 != 0) {
                groups.push_back(m->stamp);
                notes.push_back(m->data1);
            }
        }
        const std::vector<std::int64_t> since(beats.begin() + static_cast<long>(afterPress),
                                              beats.end());
        EXPECT_TRUE(
            std::includes(accompaniment.begin(), accompaniment.end(), since.begin(), since.end()));
        ASSERT_EQ(notes, (std::vector<int>{51, 52, 53, 54}));
        const auto beatIndex = [&](std::int64_t t) {
            return std::find(beats.begin(), beats.end(), t) - beats.begin();
        };
        // The first beat that group 2 may take: half a beat after the press or later.
        const auto firstBeatFrom = [&](std::int64_t t) {
            return std::find_if(beats.begin(), beats.end(), [t](auto b) { return b >= t; }) -
                   beats.begin();
        };
        if (c.atOnce) {
            EXPECT_GE(groups[0], pressed);
            EXPECT_EQ(beatIndex(groups[0]), static_cast<long>(beats.size())); // off the beats
            EXPECT_EQ(beatIndex(groups[1]), firstBeatFrom(groups[0] + kBeat / 2));
        } else {
            EXPECT_EQ(beatIndex(groups[0]), firstBeatFrom(pressed));
            EXPECT_EQ(beatIndex(groups[1]), beatIndex(groups[0]) + 1);
        }
        EXPECT_EQ(beatIndex(groups[2]), beatIndex(groups[1]) + 1);
        EXPECT_EQ(beatIndex(groups[3]), beatIndex(groups[2]) + 1);
    }
}

// The player's mapping stays in force while the same controller is reopened ("ReInit Joystick")
// or plugged back: a box edited on the tab, calibrated ranges and a strum armed on the bar. Only
// another controller gets its own preset. An unknown controller and a pad SDL knows alike.
TEST_F(Controllers, ReInitAndReplugKeepTheMappingInForce) {
    struct Case {
        test::ControllerModel model;
        const char* preset;
        int strumAxis;
    };
    test::ControllerModel unknown;
    unknown.name = "Virtual guitar";
    f->engine().st.chordMemory[1][1][1] = 40;
    f->engine().st.pickMemory[1][1] = f->engine().st.pickMemory[1][2] = "0------";
    for (const Case& c :
         {Case{unknown, "Bramble First Guitar", 4}, Case{test::xbox360Pad(), "Gamepad", 5}}) {
        SCOPED_TRACE(c.preset);
        VirtualJoystick controller(c.model);
        f->Timer4Timer();
        ASSERT_EQ(page().mappingSource(), c.preset);
        QTest::mouseClick(f->Button70, Qt::LeftButton);
        page().ListBox3->setCurrentRow(7); // "Button 8" plays pick 2
        QTest::mouseClick(page().functionBoxes[kFnPick1 + 1], Qt::LeftButton);
        for (int k = 1; k <= 13; ++k)
            f->engine().st.fretCalibration[k] = 1000 * k;
        page().Button107->click(); // "Apply Calibrations", as the calibration's end does
        const JoyMapping mine = f->joystickPlay().map;
        ASSERT_EQ(mine.fretRanges[2], (AxisRange{1500, 2500}));
        controller.setStep(c.strumAxis, 10);
        ASSERT_TRUE(until([&] { return f->joystickPlay().strumLow == 10; }));

        QTest::mouseClick(f->Button69, Qt::LeftButton); // "ReInit Joystick"
        EXPECT_EQ(h->prompts.messages.back(), "Joystick Enabled!");
        f->Timer4Timer();
        QTest::qWait(20);
        EXPECT_EQ(f->joystickPlay().map, mine);
        EXPECT_TRUE(page().ControllerLabel->text().contains("changed here"));
        EXPECT_EQ(f->joystickPlay().strumLow, 10); // still armed: back to rest strums
        const auto before = h->port->sent.size();
        controller.setStep(c.strumAxis, 128);
        ASSERT_TRUE(until([&] { return f->engine().st.pickStep != kIdle; }));
        EXPECT_EQ(h->port->sent.size() > before, f->joystickPlay().map.pickButtonsPlay);

        controller.detach();
        f->Timer4Timer();
        ASSERT_TRUE(controller.attach());
        f->Timer4Timer();
        EXPECT_EQ(f->joystickPlay().map, mine);
        controller.detach();
        VirtualJoystick other(test::xbox360Guitar());
        f->Timer4Timer();
        EXPECT_EQ(page().mappingSource(), "Guitar controller");
        EXPECT_EQ(f->joystickPlay().map.fretRanges, mine.fretRanges);
        QTest::mouseClick(f->Button79, Qt::LeftButton); // "STOP Play Mode"
        other.detach();
        f->Timer4Timer();
        f->engine().st.pickStep = kIdle;
    }
}

// A built-in mapping is tried, not kept: only "Keep for Controller" (or a save or load) makes it
// the controller's own, and the tab says which one the controller gets. "Defaults" is the same
// whatever was in force before: 164 lines, also after "Gamepad".
TEST_F(Controllers, ABuiltInMappingIsKeptForTheControllerOnlyWhenChosen) {
    QTemporaryDir dir;
    const std::string settings = dir.filePath("Fretwright.conf").toStdString();
    f->restoreSettings(settings);
    VirtualJoystick pad(test::xbox360Pad());
    f->Timer4Timer();
    ASSERT_EQ(page().mappingSource(), "Gamepad");
    const auto restart = [&] {
        h.reset();
        h = std::make_unique<test::MainWindowHarness>(true, &sdl);
        f = h->form.get();
        f->restoreSettings(settings);
        return page().mappingSource();
    };
    QTest::mouseClick(page().Button1, Qt::LeftButton); // "Defaults"
    EXPECT_FALSE(page().ControllerLabel->text().contains("Kept"));
    EXPECT_EQ(restart(), "Gamepad");

    QTest::mouseClick(page().Button1, Qt::LeftButton);
    QTest::mouseClick(page().KeepMappingButton, Qt::LeftButton);
    EXPECT_TRUE(page().ControllerLabel->text().contains("Kept for this controller."));
    QTest::mouseClick(page().GamepadButton, Qt::LeftButton);
    EXPECT_TRUE(page().ControllerLabel->text().contains("Kept for it: Defaults."));
    EXPECT_EQ(restart(), "Defaults");

    QTest::mouseClick(page().GamepadButton, Qt::LeftButton);
    QTest::mouseClick(page().Button1, Qt::LeftButton);
    const std::string saved = dir.filePath("defaults.joy").toStdString();
    h->prompts.answer(saved);
    QTest::mouseClick(page().Button94, Qt::LeftButton); // "Save Config"
    QFile file(QString::fromStdString(saved));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    EXPECT_EQ(lines.size(), 165); // 164 lines, each ended
    for (int k = 32; k < 36; ++k)
        EXPECT_EQ(lines[k], "0\r") << "line " << k + 1;
    JoyMapping defaults;
    applyDefaultMapping(defaults);
    EXPECT_EQ(f->joystickPlay().map, defaults); // as a fresh start's "Defaults"
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
