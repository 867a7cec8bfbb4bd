// Joystick play, mapping, files and calibration through the real windows, read from SDL's
// virtual joystick by the real capture.
#include "files/line_file.h"
#include "input/joy_file.h"
#include "input/qt_joystick_calibration.h"
#include "input/qt_joystick_mapping_page.h"
#include "picks/pick_sets.h"
#include "platform/sdl/sdl_joystick.h"
#include "support/qt_harness.h"
#include "support/virtual_joystick.h"

#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace fw {
namespace {

using test::VirtualJoystick;

bool until(const std::function<bool()>& condition) {
    return QTest::qWaitFor(condition, 10000);
}

struct ControllerPlay : ::testing::Test {
    VirtualJoystick pad;
    SdlJoystick sdl;
    test::MainWindowHarness h{true, &sdl};
    TForm1& f = *h.form;
    PlayState& st = f.engine().st;
    JoystickPlay& joy = f.joystickPlay();

    std::vector<test::SentMessage> beat() {
        h.clock.advanceMicros(625000);
        const auto before = h.port->sent.size();
        f.Timer2Timer();
        return {h.port->sent.begin() + static_cast<long>(before), h.port->sent.end()};
    }
    // The strum bar out to step d and back to rest, each seen by the running poll.
    void swing(int d) {
        pad.setStep(4, d); // the preset strums on R
        ASSERT_TRUE(until([&] { return joy.strumHigh == d || joy.strumLow == d; })) << d;
        pad.setStep(4, 128);
        ASSERT_TRUE(until([&] { return st.pickStep == 0; })) << d;
    }
    // The notes (and their velocity) of the beats until the sequence is done.
    std::vector<int> play(int& velocity) {
        std::vector<int> notes;
        for (int i = 0; i < 5; ++i) {
            for (const auto& m : beat()) {
                if (m.data2 != 0) {
                    notes.push_back(m.data1);
                    velocity = m.data2;
                }
            }
        }
        return notes;
    }
};

TEST_F(ControllerPlay, PresetPlaysAChordProgressionFromTheController) {
    ASSERT_TRUE(pad.attached());
    EXPECT_EQ(h.prompts.messages.at(0), "Joystick Enabled!");
    for (int s = 1; s <= 10; ++s) {
        st.chordMemory[1][1][s] = 40 + (s - 1) % 3;
        st.chordMemory[1][3][s] = 50 + (s - 1) % 3;
    }
    st.pickMemory[1][1] = interleaveChannels({"012"});
    st.pickMemory[1][2] = interleaveChannels({"210"});
    f.Timer2Timer(); // the output opens at the first beat
    h.port->sent.clear();

    QTest::mouseClick(f.Button70, Qt::LeftButton);
    ASSERT_TRUE(f.Timer1->isActive());
    // Pick 2 (button 2), then pick 1 (button 3): the last pick button pressed is the pick.
    for (auto [button, item] : {std::pair{2, 1}, std::pair{3, 0}}) {
        pad.setButton(button, true);
        ASSERT_TRUE(until([&] { return f.RadioGroup3->itemIndex() == item; }));
        pad.setButton(button, false);
    }

    int velocity = 0;
    swing(10);
    EXPECT_FALSE(f.CheckBox1->isChecked());
    EXPECT_EQ(play(velocity), (std::vector<int>{40, 41, 42}));
    EXPECT_EQ(velocity, 117);

    swing(200);
    EXPECT_TRUE(f.CheckBox1->isChecked());
    EXPECT_EQ(play(velocity), (std::vector<int>{42, 41, 40}));
    EXPECT_EQ(velocity, 72);
    EXPECT_TRUE(until([&] { return f.VolumePosition->text() == "72"; }));

    // The hat forward is chord 3; fret button 2 (button 11) raises it a semitone.
    pad.setHat(SDL_HAT_UP);
    pad.setButton(11, true);
    ASSERT_TRUE(until([&] { return f.Panel65->caption() == "1-3"; }));
    ASSERT_TRUE(until([&] { return f.fretButtons[2]->isChecked(); }));
    swing(10);
    EXPECT_EQ(play(velocity), (std::vector<int>{51, 52, 53}));
    const QStringList log = h.logLines();
    EXPECT_TRUE(log.last().startsWith("91357500-")) << log.last().toStdString();

    // The tempo box keeps its BPM while the poll runs.
    f.PitchUpdaterTimer();
    const QString bpm = f.TempoModified->text();
    EXPECT_TRUE(bpm.endsWith(" BPM"));
    QTest::qWait(30);
    EXPECT_EQ(f.TempoModified->text(), bpm);

    // "STOP Play Mode": the controller falls silent.
    QTest::mouseClick(f.Button79, Qt::LeftButton);
    EXPECT_FALSE(f.Timer1->isActive());
    pad.setStep(4, 10);
    QTest::qWait(50);
    pad.setStep(4, 128);
    QTest::qWait(50);
    EXPECT_EQ(joy.strumLow, 128);
    EXPECT_EQ(st.pickStep, kIdle);
}

TEST_F(ControllerPlay, MappingTabAssignsByClickAndSelectsByPress) {
    JoystickMappingPage& page = *f.JoystickMapping;
    page.contents()->build(); // as when the tab is first shown
    // The preset is in force from the start.
    const std::pair<const char*, QString> preset[] = {
        {"Edit133", "3"},  {"Edit126", "11"}, {"Edit1", "6"},   {"Edit137", "34"},
        {"Edit139", "33"}, {"Edit9", "6"},    {"Edit121", "R"}, {"Edit141", "X"}};
    for (auto [name, text] : preset)
        EXPECT_EQ(page.findChild<QLineEdit*>(name)->text(), text) << name;

    page.ListBox3->setCurrentRow(4); // "Button 5"
    QTest::mouseClick(page.functionBoxes[kFnFret2], Qt::LeftButton);
    EXPECT_EQ(page.functionBoxes[kFnFret2]->text(), "5");
    EXPECT_EQ(joy.map.joyMap[kFnFret2], 16);
    // Ctrl+click takes the selection away; the current row stays. Nothing selected is item 0.
    auto deselect = [](QListWidget* list) {
        const QRect row = list->visualItemRect(list->currentItem());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, row.center());
        ASSERT_TRUE(list->selectedItems().isEmpty());
    };
    deselect(page.ListBox3);
    QTest::mouseClick(page.functionBoxes[15], Qt::LeftButton);
    EXPECT_EQ(page.functionBoxes[15]->text(), "0");
    EXPECT_EQ(joy.map.joyMap[15], kPovForward);
    page.showJoyMapping();
    EXPECT_EQ(page.functionBoxes[15]->text(), "33");

    page.ListBox4->setCurrentRow(1);
    deselect(page.ListBox4);
    QTest::mouseClick(page.axisBoxes[kRoleStrum], Qt::LeftButton);
    EXPECT_EQ(page.axisBoxes[kRoleStrum]->text(), "R");
    page.ListBox4->setCurrentRow(6);
    QTest::mouseClick(page.axisBoxes[kRolePick], Qt::LeftButton);
    EXPECT_EQ(page.axisBoxes[kRolePick]->text(), "none");
    EXPECT_EQ(joy.map.axisMap[kRolePick], kAxisNone);

    QTest::mouseClick(page.Button1, Qt::LeftButton);
    EXPECT_EQ(page.functionBoxes[kFnPick1]->text(), "1");
    EXPECT_EQ(page.functionBoxes[kFnChordSet1 + 3]->text(), "32");
    EXPECT_EQ(page.axisBoxes[kRoleStrum]->text(), "X");

    // Press to select: only while the tab is in sight; nothing is assigned without a click.
    f.show();
    f.PageControl1->setCurrentWidget(&page);
    ASSERT_TRUE(until([&] { return page.PressTimer->isActive(); }));
    page.PressTimerTimer(); // what is held now is the rest state
    const auto before = joy.map;
    pad.setButton(7, true);
    ASSERT_TRUE(until([&] { return page.ListBox3->currentRow() == 6; }));
    pad.setHat(SDL_HAT_LEFT);
    ASSERT_TRUE(until([&] { return page.ListBox3->currentItem()->text() == "POV Left"; }));
    pad.setAxis(2, 0);
    ASSERT_TRUE(until([&] { return page.ListBox4->currentRow() == 1; }));
    EXPECT_EQ(joy.map, before);
    f.PageControl1->setCurrentIndex(0);
    EXPECT_FALSE(page.PressTimer->isActive());

    // The monitor shows the raw axes: R, U, V, X, Y, Z.
    pad.setAxis(4, 1234);
    f.Timer4Timer();
    EXPECT_EQ(page.trackBars[1]->value(), 1234);
    EXPECT_EQ(page.trackBars[5]->value(), 0);
}

TEST(JoystickFiles, SaveLoadAndAFailedLoadThatChangesNothing) {
    test::MainWindowHarness h;
    TForm1& f = *h.form;
    JoystickMappingPage& page = *f.JoystickMapping;
    QTemporaryDir dir;
    const std::string path = dir.filePath("guitar.joy").toStdString();

    QTest::mouseClick(page.Button1, Qt::LeftButton); // "Defaults"
    h.prompts.answer(path);
    QTest::mouseClick(page.Button94, Qt::LeftButton);
    EXPECT_EQ(h.prompts.dialogs.back().filter, "Joystick Config|*.joy");
    EXPECT_EQ(h.prompts.dialogs.back().defaultExt, "joy");
    std::string error;
    const auto bytes = readWholeFile(path, error);
    ASSERT_TRUE(bytes) << error;
    const auto lines = splitLines(*bytes);
    ASSERT_EQ(lines.size(), 164u);
    EXPECT_EQ(lines[31], "-2147483648");
    EXPECT_EQ(*bytes, joinCrLf(lines)); // CR LF after every line, the last one too

    // 165 lines load; the preselected name reaches the dialog.
    auto withExtra = lines;
    withExtra[0] = "9000";
    withExtra.push_back("extra");
    ASSERT_FALSE(writeLineFileAtomically(path, withExtra));
    h.prompts.answer(path);
    EXPECT_TRUE(f.loadJoystickConfig(path));
    EXPECT_EQ(h.prompts.dialogs.back().fileName, path);
    EXPECT_EQ(page.functionBoxes[kFnPick1]->text(), "34");

    // A file of 100 lines or one that is missing: nothing changes, the line is named.
    const auto mapping = f.joystickPlay().map;
    ASSERT_FALSE(writeLineFileAtomically(path, {lines.begin(), lines.begin() + 100}));
    h.prompts.answer(path);
    EXPECT_FALSE(f.loadJoystickConfig({}));
    EXPECT_EQ(h.prompts.messages.back(),
              "'' is not a valid integer value\n(line 101 of " + path + "; nothing was loaded)");
    EXPECT_EQ(f.joystickPlay().map, mapping);
    EXPECT_EQ(page.functionBoxes[kFnPick1]->text(), "34");
    h.prompts.answer(dir.filePath("missing.joy").toStdString());
    QTest::mouseClick(page.Button95, Qt::LeftButton);
    EXPECT_EQ(h.prompts.messages.back().rfind("Cannot open file", 0), 0u);
    EXPECT_TRUE(h.prompts.dialogs.back().fileName.empty());
    h.prompts.answer(std::nullopt);
    EXPECT_FALSE(f.loadJoystickConfig(path));
    EXPECT_EQ(f.joystickPlay().map, mapping);
}

TEST(JoystickCalibration, RunsOnATimerAndCancelPutsSamplesBack) {
    VirtualJoystick pad;
    SdlJoystick sdl;
    test::MainWindowHarness h(true, &sdl);
    TForm1& f = *h.form;
    TForm7 f7(h.guitar, sdl, *h.links, &f);
    EXPECT_EQ(f7.PageControl1->tabText(f7.PageControl1->currentIndex()),
              "Pick Selector Calibration");
    EXPECT_EQ(f7.labels[0]->text(), "Click 'Calibrate' to start..");
    PlayState& st = f.engine().st;

    // The preset's neck is U. Fret positions 1..12 at 1000 apart, then the open strings.
    f7.Button1Click();
    EXPECT_TRUE(f7.CalibrationTimer->isActive());
    EXPECT_FALSE(f7.calibrateButtons[1]->isEnabled()); // one run at a time
    for (int i = 1; i <= 13; ++i) {
        pad.setAxis(5, i == 13 ? 500 : 1000 * i);
        f7.CalibrationTimerTimer();
        pad.setButton(1, true);
        f7.CalibrationTimerTimer();
        pad.setButton(1, false);
        f7.CalibrationTimerTimer();
        if (i == 12) {
            EXPECT_EQ(f7.labels[0]->text(), "Release All Frets then press a button.");
        }
    }
    EXPECT_FALSE(f7.running());
    EXPECT_EQ(h.prompts.messages.back(), "Your analog frets are now calibrated.");
    EXPECT_EQ(f7.labels[0]->text(), "Click 'Calibrate' to start.");
    EXPECT_EQ(st.fretCalibration[1], 500);
    EXPECT_EQ(st.fretCalibration[13], 12000);
    EXPECT_EQ(f.joystickPlay().map.fretRanges[2], AxisRange{}); // not applied yet

    // A chord run closed half way leaves the samples as they were; "Save and Exit" applies.
    f7.Button3Click();
    pad.setAxis(6, 4321);
    f7.CalibrationTimerTimer();
    EXPECT_EQ(st.chordCalibration[1], 4321);
    f7.reject();
    EXPECT_FALSE(f7.running());
    EXPECT_FALSE(f7.CalibrationTimer->isActive());
    EXPECT_EQ(st.chordCalibration[1], 0);
    EXPECT_TRUE(f7.calibrateButtons[2]->isEnabled());
    f7.Button4Click();
    EXPECT_EQ(f.joystickPlay().map.fretRanges[2], (AxisRange{500, 1500}));
    EXPECT_EQ(f.joystickPlay().map.fretRanges[1], (AxisRange{250, 750}));

    f.joystickPlay().map.axisMap[kRoleChord] = kAxisNone;
    f7.Button3Click();
    EXPECT_FALSE(f7.running());
    EXPECT_EQ(h.prompts.messages.back(),
              "You Must Select a CHORD AXIS in the Joystick Mapping FIRST.");
}

} // namespace
} // namespace fw
