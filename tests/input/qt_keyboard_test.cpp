#include "input/qt_keyboard_play_window.h"
#include "picks/qt_pick_pages.h"
#include "support/qt_harness.h"

#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

namespace fw {
namespace {

using test::MainWindowHarness;

struct KeyboardWindows : ::testing::Test {
    MainWindowHarness h;
    TForm1& f = *h.form;
    TForm5 kb{h.guitar, *h.links, &f};

    KeyboardWindows() {
        // Chord 1-1: E major from root E; pick 1 of set 1: 0123 in channel 1, typed and stored.
        const int offsets[10] = {0, 4, 7, 12, 12, 16, 19, 24, 0, 0};
        for (int s = 1; s <= 10; ++s)
            f.engine().st.chordMemory[1][1][s] = 40 + offsets[s - 1];
        QTest::keyClicks(f.pickSetPages->pickEdits[1][0], "0123");
        QTest::mouseClick(f.pickSetPages->setButtons[1], Qt::LeftButton);
        f.Timer2Timer(); // the output opens at the first beat
        h.port->sent.clear();
        f.R2IMemo->clear();
    }
    std::vector<test::SentMessage> beat() {
        h.clock.advanceMicros(625000);
        const auto before = h.port->sent.size();
        f.Timer2Timer();
        return {h.port->sent.begin() + static_cast<long>(before), h.port->sent.end()};
    }
};

TEST_F(KeyboardWindows, ExpertBoxPlaysTheKeyTable) {
    EXPECT_TRUE(f.Edit22->isReadOnly());
    QTest::keyClick(f.Edit22, Qt::Key_Up);
    std::vector<int> notes;
    for (int i = 0; i < 4; ++i) {
        const auto sent = beat();
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].status, 0x91);
        notes.push_back(sent[0].data1);
    }
    EXPECT_EQ(notes, (std::vector<int>{40, 44, 47, 52}));
    const QStringList log = h.logLines();
    ASSERT_EQ(log.size(), 4);
    EXPECT_TRUE(log[0].startsWith("91284000-"));
    EXPECT_TRUE(log[3].startsWith("91344000-"));
    EXPECT_EQ(f.Edit123->text(), "3------");

    // Shift+1 arrives as "!" and still holds fret button 2; the box keeps its text.
    QTest::keyClick(f.Edit22, Qt::Key_Exclam, Qt::ShiftModifier);
    EXPECT_TRUE(f.fretButtons[2]->isChecked());
    EXPECT_EQ(f.Edit22->text(), "Click to use KB Mode");
    // Selection keys show in the selection panel at once.
    QTest::keyClick(f.Edit22, Qt::Key_U);
    QTest::keyClick(f.Edit22, Qt::Key_BraceRight, Qt::ShiftModifier);
    EXPECT_EQ(f.Panel65->caption(), "3-4");
    QTest::keyClick(f.Edit22, Qt::Key_T);
    QTest::keyClick(f.Edit22, Qt::Key_O);
    // "\" checks "ALT"; "L" moves the main "V" bar up by four.
    QTest::keyClick(f.Edit22, Qt::Key_Backslash);
    EXPECT_TRUE(f.CheckBox1->isChecked());
    QTest::keyClick(f.Edit22, Qt::Key_Backslash);
    QTest::keyClick(f.Edit22, Qt::Key_L);
    EXPECT_EQ(f.VTracker->value(), 59);
    EXPECT_EQ(f.engine().st.velocity, 68);
    QTest::keyClick(f.Edit22, Qt::Key_Q);
    EXPECT_EQ(h.port->resets, 1);
}

TEST_F(KeyboardWindows, AltWithADigitInTheExpertBoxIsAFretNotThePickAccelerator) {
    f.show();
    QApplication::setActiveWindow(&f);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
    f.Edit22->setFocus();
    // Away from the box, Alt+1 is the accelerator of pick button "&1 u": it picks as the key goes
    // down, not when the button's animated click ends.
    f.Button12->setFocus();
    QTest::keyPress(f.Button12, Qt::Key_1, Qt::AltModifier);
    EXPECT_EQ(f.engine().st.pickStep, 0);
    f.engine().st.pickStep = 7;
    QTest::keyRelease(f.Button12, Qt::Key_1, Qt::AltModifier);
    QTest::qWait(250);
    EXPECT_EQ(f.engine().st.pickStep, 7); // and only then: no second pick when a click ends
    f.engine().st.pickStep = 0xFFFF;
    f.Edit22->setFocus();
    QTest::keyClick(f.Edit22, Qt::Key_1, Qt::AltModifier);
    QTest::qWait(250);
    EXPECT_TRUE(f.fretButtons[2]->isChecked());
    EXPECT_EQ(f.engine().st.pickStep, 0xFFFF);
}

TEST_F(KeyboardWindows, KeyboardWindowPlaysShowsTheCodeAndMirrorsTheMainWindow) {
    EXPECT_EQ(kb.windowTitle(), "Keyboard Play Mode Input");
    EXPECT_EQ(kb.Memo1->toPlainText().split('\n').size(), 13);
    EXPECT_TRUE(kb.Label1->text().isEmpty());
    EXPECT_EQ(kb.Button1->text(), "Exit Keyboard Mode");
    EXPECT_EQ(kb.TempTracker->maximum(), 512);
    // Its bars keep their own start positions until the main window's first change.
    TForm5 fresh(h.guitar, *h.links, &f);
    EXPECT_EQ(fresh.TremTracker->value(), 127);
    EXPECT_EQ(fresh.TempTracker->value(), 256);
    EXPECT_EQ(fresh.VTracker->value(), 63);
    f.syncControls();
    EXPECT_EQ(fresh.TempTracker->value(), 512);

    f.engine().st.chordMemory[1][1] = {0, 43, 47, 50, 55, 59, 67, 43, 43, 43, 43}; // G
    kb.show();
    QTest::keyClick(kb.Memo1, Qt::Key_Left);
    EXPECT_EQ(kb.Label1->text(), "37");
    EXPECT_EQ(f.engine().st.pick, 7);
    QTest::keyClick(kb.Memo1, Qt::Key_QuoteLeft);
    EXPECT_EQ(kb.Label1->text(), "192");
    QTest::keyClick(kb.Memo1, Qt::Key_Underscore, Qt::ShiftModifier);
    EXPECT_EQ(kb.Label1->text(), "189");
    EXPECT_TRUE(f.fretButtons[12]->isChecked());
    // The G in play at fret 1; picked now, at fret 12, it would sound F#.
    EXPECT_EQ(kb.ChordNames->text(), "Plays G \u00b7 selected F#");
    EXPECT_EQ(kb.ChordNames->text(), f.ChordNames->text());

    // Bar keys move the main bar, and this window's bar follows.
    QTest::keyClick(kb.Memo1, Qt::Key_Slash);
    EXPECT_EQ(f.TremTracker->value(), 131);
    EXPECT_EQ(kb.TremTracker->value(), 131);
    QTest::keyClick(kb.Memo1, Qt::Key_L);
    EXPECT_EQ(kb.VTracker->value(), 59);

    // Keys on a focused bar play and then move the bar, which moves the main bar.
    QTest::keyClick(kb.TremTracker, Qt::Key_Up);
    EXPECT_EQ(f.engine().st.pick, 1);
    EXPECT_NE(kb.TremTracker->value(), 131);
    EXPECT_EQ(f.TremTracker->value(), kb.TremTracker->value());
    EXPECT_EQ(f.engine().ui.tremPosition, kb.TremTracker->value());

    // "V" dragged here reaches the main bar at once and the velocity at the next key.
    kb.VTracker->triggerAction(QAbstractSlider::SliderToMinimum);
    EXPECT_EQ(f.VTracker->value(), 0);
    EXPECT_EQ(f.engine().st.velocity, 68);
    QTest::keyClick(kb.Memo1, Qt::Key_F5);
    EXPECT_EQ(kb.Label1->text(), "116");
    EXPECT_EQ(f.engine().st.velocity, 127);
    // "T" here is clamped into the main range; the main bar's end shows as this bar's end.
    kb.TempTracker->triggerAction(QAbstractSlider::SliderToMinimum);
    EXPECT_EQ(f.TempTracker->value(), 1);
    f.TempTracker->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(kb.TempTracker->value(), 512);

    // Switches and track, both ways.
    kb.CheckBox4->click();
    EXPECT_FALSE(f.CheckBox4->isChecked());
    EXPECT_FALSE(f.engine().ui.realtimeFrets);
    f.CheckBox5->click();
    EXPECT_FALSE(kb.CheckBox5->isChecked());
    EXPECT_FALSE(f.engine().ui.mergeModes);
    QTest::mouseClick(kb.TrackRadioGroup->item(3), Qt::LeftButton);
    EXPECT_EQ(f.TrackRadioGroup->itemIndex(), 3);
    EXPECT_EQ(f.engine().ui.track, 3);
    f.TrackRadioGroup->item(7)->click();
    EXPECT_EQ(f.engine().ui.track, 7);
    EXPECT_EQ(kb.TrackRadioGroup->itemIndex(), 7);

    // With the focus in "Track" the keys do not play.
    const QString last = kb.Label1->text();
    kb.TrackRadioGroup->item(7)->setFocus();
    QTest::keyClick(kb.TrackRadioGroup->item(7), Qt::Key_Y);
    EXPECT_EQ(kb.Label1->text(), last);
    EXPECT_EQ(f.engine().st.selChordSet, 1);
    // A key to the window itself plays once.
    kb.setFocus();
    kb.TrackRadioGroup->item(7)->clearFocus();
    QTest::keyClick(&kb, Qt::Key_Comma);
    EXPECT_EQ(f.VTracker->value(), 4);

    // Escape shows its code like any key outside the table; the window stays open.
    QTest::keyClick(kb.Memo1, Qt::Key_Escape);
    EXPECT_EQ(kb.Label1->text(), "27");
    EXPECT_TRUE(kb.isVisible());

    // The alternate buttons and "Exit Keyboard Mode".
    QTest::mouseClick(kb.Button33, Qt::LeftButton);
    EXPECT_EQ(f.ListBox1->currentRow(), 120);
    QTest::mouseClick(kb.Button1, Qt::LeftButton);
    EXPECT_FALSE(kb.isVisible());
}

} // namespace
} // namespace fw
