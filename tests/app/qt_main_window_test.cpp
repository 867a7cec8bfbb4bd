#include "picks/qt_pick_pages.h"
#include "support/qt_harness.h"

#include <QApplication>
#include <QCloseEvent>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace fw {
namespace {

using test::MainWindowHarness;

template <typename T> T* find(QWidget* root, const char* name) {
    T* w = root->findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
}

QString buttonText(QWidget* root, const char* name) {
    auto* b = root->findChild<QAbstractButton*>(name);
    return b ? b->text() : QString("<missing %1>").arg(name);
}

TEST(MainWindow, HasTheTabsInOrderAndTheSizeOfTheLayout) {
    MainWindowHarness h;
    TForm1& f = *h.form;
    EXPECT_EQ(f.windowTitle(), "Fretwright");
    EXPECT_EQ(QApplication::applicationName(), "Fretwright");
    const QStringList expected = {
        "Builder",          "Memory State", "Play Logs", "Alternate Instruments",
        "Joystick Mapping", "Beat Manager", "Help",      "Thanks to:",
        "Config",           "Music Toys"};
    QStringList tabs;
    for (int i = 0; i < f.PageControl1->count(); ++i)
        tabs << f.PageControl1->tabText(i);
    EXPECT_EQ(tabs, expected);
    EXPECT_EQ(f.size(), QSize(779, 569));
    f.move(200, 150);
    f.show();
    EXPECT_EQ(f.pos(), QPoint(0, 0));
    // Every page fits: showing the window does not grow it past its size.
    EXPECT_EQ(f.size(), QSize(779, 569));
    EXPECT_LE(f.minimumSizeHint().width(), 779);
    EXPECT_LE(f.minimumSizeHint().height(), 569);
    EXPECT_TRUE(f.HelpMemo->toPlainText().contains("KB Play Mode"));
    EXPECT_EQ(f.HelpMemo->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_FALSE(f.ThanksMemo->toPlainText().isEmpty());
}

TEST(MainWindow, GuitarStatusHoldsEveryControlWithItsCaption) {
    MainWindowHarness h;
    TForm1& f = *h.form;
    for (int n = 1; n <= 13; ++n) {
        const QString name = QString("FretButton%1").arg(n);
        EXPECT_NE(f.findChild<QRadioButton*>(name), nullptr) << name.toStdString();
    }
    const std::pair<const char*, const char*> captions[] = {
        {"CheckBox1", "ALT"},
        {"Button65", "&1 u"},
        {"Button66", "&2 k"},
        {"Button67", "&3 j"},
        {"Button68", "&4 h"},
        {"Button12", "S"},
        {"Button30", "M"},
        {"Button32", "1"},
        {"Button31", "2"},
        {"Button33", "3"},
        {"Button70", "Init Play Mode"},
        {"Button79", "STOP Play Mode"},
        {"Button9", "KB Play Mode"},
        {"Button29", "Silence"},
        {"Button69", "ReInit Joystick"},
        {"CheckBox3", "Accomp. Beat"},
        {"CheckBox4", "Realtime Frets"},
        {"CheckBox5", "Merge Modes"},
        {"Button75", "Type"},
        {"Button6", "6 String"},
        {"Button74", "Edit an Existing Chord"},
        {"Button106", "Calibrate Joystick"},
        {"Button76", "Picking Style File Manager"},
        {"MidiRescanButton", "Rescan"}};
    // Their pages ("Picking Sequences", "Joystick Mapping") made as when first shown.
    f.ButtonStyleManager.get();
    f.Button106.get();
    for (auto [name, caption] : captions)
        EXPECT_EQ(buttonText(&f, name), caption) << name;
    for (int k = 1; k <= 4; ++k) {
        auto* panel = find<Panel>(&f, QString("Panel%1").arg(66 + k).toUtf8().constData());
        EXPECT_EQ(panel->caption(), QString("&%1").arg(k));
    }
    EXPECT_EQ(find<Panel>(&f, "Panel65")->caption(), "1-1");
    EXPECT_EQ(find<QLineEdit>(&f, "VolumePosition")->text(), "Volume Position");
    EXPECT_EQ(find<QLineEdit>(&f, "JoyStickYPos")->text(), "Vibrato Position");
    EXPECT_EQ(find<QLineEdit>(&f, "TempoModified")->text(), "Tempo");
    EXPECT_EQ(find<QLineEdit>(&f, "Edit22")->text(), "Click to use KB Mode");
    EXPECT_NE(f.findChild<QLineEdit*>("Edit123"), nullptr);
    EXPECT_EQ(f.StatusPages->tabText(0), "Z2UVIR Mode");
    EXPECT_EQ(f.StatusPages->count(), 1);
    EXPECT_EQ(f.TrackRadioGroup->title(), "Track");
    EXPECT_EQ(f.TrackRadioGroup->count(), 8);
    EXPECT_EQ(f.RadioGroup1->title(), "Metronome");
    EXPECT_EQ(f.RadioGroup3->title(), "Pick");
    EXPECT_EQ(f.RadioGroup5->title(), "PSet");
    EXPECT_FALSE(f.RadioGroup3->isEnabled());
    EXPECT_FALSE(f.RadioGroup5->isEnabled());
    EXPECT_EQ(f.TremTracker->orientation(), Qt::Vertical);
    EXPECT_EQ(f.TremTracker->minimum(), 1);
    EXPECT_EQ(f.TremTracker->maximum(), 255);
    EXPECT_EQ(f.TempTracker->maximum(), 1000);
    EXPECT_EQ(f.VTracker->minimum(), 0);
    EXPECT_EQ(f.VTracker->maximum(), 127);
    // The three pick pages' boxes are in place for the sequence editor.
    EXPECT_EQ(f.pickSetPages->pickEdits[1][0]->objectName(), "Edit65");
    EXPECT_EQ(f.pickSetPages->pickEdits[1][7]->objectName(), "Edit93");
    EXPECT_EQ(f.pickSetPages->pickEdits[4][13]->objectName(), "Edit120");
}

TEST(MainWindow, StartsWithTheDefaultsOfAFreshInstrument) {
    MainWindowHarness h(false);
    TForm1& f = *h.form;
    EXPECT_EQ(f.ListBox1->currentRow(), 25);
    EXPECT_EQ(f.ListBox1->currentItem()->text(), "26   Steel String Guitar");
    EXPECT_EQ(f.ListBox1->item(0)->text(), "1    Acoustic Grand");
    EXPECT_EQ(f.ListBox1->count(), 128);
    EXPECT_EQ(f.ListBox2->currentItem()->text(), "C");
    EXPECT_EQ(f.ListBox2->currentRow(), 36);
    EXPECT_EQ(f.ListBox8->currentItem()->text(), "121   Guitar Fret Noise");
    EXPECT_EQ(f.ListBox7->currentRow(), 25);
    EXPECT_EQ(f.ListBox6->currentItem()->text(), "27   Electric Jazz Guitar");
    EXPECT_TRUE(f.CheckBox4->isChecked());
    EXPECT_TRUE(f.CheckBox5->isChecked());
    EXPECT_FALSE(f.CheckBox3->isChecked());
    EXPECT_FALSE(f.CheckBox1->isChecked());
    EXPECT_EQ(f.TrackRadioGroup->itemIndex(), 0);
    EXPECT_EQ(f.RadioGroup2->itemIndex(), 3);
    EXPECT_EQ(f.TremTracker->value(), 127);
    EXPECT_EQ(f.TempTracker->value(), 905);
    EXPECT_EQ(f.VTracker->value(), 63);

    const PlayState& st = f.engine().st;
    EXPECT_EQ(st.pickStep, 0xFFFF);
    EXPECT_EQ(st.chordSet + st.chord + st.pick + st.pickSet, 4);
    EXPECT_EQ(st.selChordSet + st.selChord + st.selPickSet, 3);
    EXPECT_EQ(st.velocity, 100); // the "V" bar's 63 is not applied until it moves
    EXPECT_EQ(st.bendValue, 63);
    EXPECT_EQ(st.sentInstrument, -1);
    EXPECT_EQ(f.output().logStartTime, 0);

    // Timers: the joystick poll off; sequencer, pitch updater and monitor running.
    EXPECT_FALSE(f.Timer1->isActive());
    EXPECT_EQ(f.Timer1->interval(), 1);
    EXPECT_TRUE(f.Timer2->isEnabled());
    EXPECT_TRUE(f.PitchUpdater->isActive());
    EXPECT_EQ(f.PitchUpdater->interval(), 5);
    EXPECT_TRUE(f.Timer4->isActive());
    EXPECT_EQ(f.Timer4->interval(), 100);
    EXPECT_TRUE(f.Button79->isHidden());
    EXPECT_FALSE(f.Button70->isHidden());

    // The joystick was captured once and the result told; no controller here.
    EXPECT_EQ(h.joystick.captures, 1);
    ASSERT_EQ(h.prompts.messages.size(), 1u);
    EXPECT_EQ(h.prompts.messages[0], "JOYERR_UNPLUGGED\t");

    // The output is not opened before the first beat; the first beats open it and the pitch
    // updater then announces the instrument and a centred bend.
    EXPECT_FALSE(h.port->opened);
    QTest::qWait(50);
    EXPECT_TRUE(h.port->opened);
    QTest::qWait(30);
    EXPECT_EQ(f.Timer2->interval(), 625);
    EXPECT_EQ(f.TempoModified->text(), "96 BPM");
    EXPECT_EQ(f.JoyStickYPos->text(), "127");
    const QStringList lines = h.logLines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith("C1190000-"));
    EXPECT_TRUE(lines[1].startsWith("E1004000-"));
    EXPECT_EQ(h.port->sent.size(), 2u);

    // The "MIDI Output" group says how the output stands at each tick of the monitor.
    EXPECT_TRUE(f.MidiOutputState->text().startsWith("Not open yet")) << "as at the start";
    f.Timer4Timer();
    EXPECT_EQ(f.MidiOutputState->text(), "Open.");
    h.port->failSend = true;
    f.Timer4Timer();
    EXPECT_TRUE(f.MidiOutputState->text().startsWith("Not open yet"));
}

TEST(MainWindow, PlayModeButtonsSwitchTheJoystickPoll) {
    MainWindowHarness h;
    TForm1& f = *h.form;
    SecondaryWindows windows(f);
    // The secondary windows are built when first shown, and then show what the main one does.
    for (int n = 2; n <= 7; ++n)
        EXPECT_EQ(f.findChild<QDialog*>(QString("TForm%1").arg(n)), nullptr) << n;
    f.TempTracker->setValue(300);
    TForm5& keyboard = static_cast<TForm5&>(*windows.form(5));
    EXPECT_EQ(keyboard.TempTracker->value(), f.TempTracker->value());
    f.show();
    QTest::mouseClick(f.Button70, Qt::LeftButton);
    EXPECT_TRUE(f.Timer1->isActive());
    EXPECT_TRUE(f.Button70->isHidden());
    EXPECT_FALSE(f.Button79->isHidden());
    QTest::mouseClick(f.Button79, Qt::LeftButton);
    EXPECT_FALSE(f.Timer1->isActive());
    EXPECT_FALSE(f.Button70->isHidden());

    // "KB Play Mode" stops joystick play before the keyboard window opens, modally.
    QTest::mouseClick(f.Button70, Qt::LeftButton);
    bool pollWasOff = false;
    bool modal = false;
    QTimer::singleShot(50, [&] {
        pollWasOff = !f.Timer1->isActive();
        modal = QApplication::activeModalWidget() == &keyboard;
        keyboard.reject();
    });
    QTest::mouseClick(f.Button9, Qt::LeftButton);
    EXPECT_TRUE(pollWasOff);
    EXPECT_TRUE(modal);
    EXPECT_FALSE(f.Timer1->isActive());

    // Each tool button shows its own window, captioned as the user knows it.
    const std::pair<QPushButton*, QString> tools[] = {
        {f.Button75, "Fast Chord Generator"},
        {f.ButtonStyleManager, "Picking Style Manager"},
        {f.Button6, "6 String Guitar Finger Chords"},
        {f.Button74, "Select a Mode to Edit"},
        {f.Button106, "Joystick Calibration"}};
    for (auto [button, caption] : tools) {
        QString shown;
        QTimer::singleShot(30, [&] {
            if (auto* w = QApplication::activeModalWidget()) {
                shown = w->windowTitle();
                static_cast<QDialog*>(w)->reject();
            }
        });
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_EQ(shown, caption);
    }
    EXPECT_EQ(keyboard.windowTitle(), "Keyboard Play Mode Input");

    // Closing the main window lets go of the joystick.
    f.close();
    EXPECT_EQ(h.joystick.releases, 1);
}

TEST(MainWindow, OnScreenControlsPlayThroughTheEngine) {
    MainWindowHarness h;
    TForm1& f = *h.form;
    auto& st = f.engine().st;
    for (int s = 1; s <= 10; ++s)
        st.chordMemory[1][1][s] = 40 + s;
    st.pickMemory[1][3] = "1------";
    f.CheckBox1->click(); // "ALT": pick 2 plays its altered sequence, number 4
    st.pickMemory[1][4] = "2------";
    f.Timer2Timer();
    h.port->sent.clear();
    QTest::mouseClick(f.pickButtons[2], Qt::LeftButton);
    EXPECT_EQ(f.RadioGroup3->itemIndex(), 1);
    f.Timer2Timer();
    ASSERT_EQ(h.port->sent.size(), 1u);
    EXPECT_EQ(h.port->sent[0].data1, 43);
    EXPECT_EQ(f.Edit123->text(), "2------");

    // The selection panel follows "S" and "M".
    QTest::mouseClick(f.Button12, Qt::LeftButton);
    QTest::mouseClick(f.Button30, Qt::LeftButton);
    QTest::mouseClick(f.Button30, Qt::LeftButton);
    EXPECT_EQ(f.Panel65->caption(), "2-3");

    // Alternate "3" selects the fret noise in the instrument list.
    QTest::mouseClick(f.Button33, Qt::LeftButton);
    EXPECT_EQ(f.ListBox1->currentRow(), 120);
    f.PitchUpdaterTimer();
    // The first update after the output opened: the program change, then the centred bend.
    const QStringList announced = h.logLines();
    ASSERT_GE(announced.size(), 2);
    EXPECT_TRUE(announced[announced.size() - 2].startsWith("C1780000-"));

    // "Silence" resets the output and logs nothing.
    const auto lines = h.logLines().size();
    QTest::mouseClick(f.Button29, Qt::LeftButton);
    EXPECT_EQ(h.port->resets, 1);
    EXPECT_EQ(h.logLines().size(), lines);

    // A user's move of "V" sets the velocity; setting it from code does not.
    f.VTracker->triggerAction(QAbstractSlider::SliderToMinimum);
    EXPECT_EQ(st.velocity, 127);
    f.engine().ui.vPosition = 100;
    f.syncControls();
    EXPECT_EQ(f.VTracker->value(), 100);
    EXPECT_EQ(st.velocity, 127);
}

} // namespace
} // namespace fw
