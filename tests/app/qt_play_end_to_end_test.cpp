// A first session as a new player has it: build a chord, type a pattern, store both, play them
// from the keyboard, all through the real windows and the recording output.
#include "chords/qt_chord_builder_page.h"
#include "engine/z2uvir.h"
#include "picks/qt_pick_pages.h"
#include "support/qt_harness.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace fw {
namespace {

TEST(PlayEndToEnd, ChordAndPatternFromTheBuilderPlayFromTheKeyboard) {
    test::MainWindowHarness h;
    TForm1& f = *h.form;

    // Chord root "E", offsets of an open E major, stored in slot 1-1.
    f.ListBox2->setCurrentRow(40);
    ASSERT_EQ(f.ListBox2->currentItem()->text(), "E");
    const char* offsets[10] = {"0", "4", "7", "12", "12", "16", "19", "24", "0", "0"};
    for (int s = 1; s <= 10; ++s) {
        QComboBox* box = f.ChordBuilder->offsetBoxes[s];
        box->lineEdit()->selectAll();
        QTest::keyClicks(box->lineEdit(), offsets[s - 1]);
    }
    QTest::mouseClick(f.ChordBuilder->slotButtons[1][1], Qt::LeftButton);
    EXPECT_EQ(f.engine().st.chordMemory[1][1][4], 52);

    // Pattern 0123 in pick channel 1 of pick 1, stored in pick set 1.
    QTest::keyClicks(f.pickSetPages->pickEdits[1][0], "0123");
    QTest::mouseClick(f.pickSetPages->setButtons[1], Qt::LeftButton);
    EXPECT_EQ(f.engine().st.pickMemory[1][1], "0------1------2------3------");

    f.Timer2Timer(); // the first beat opens the output
    h.port->sent.clear();
    f.R2IMemo->clear();

    auto beat = [&] {
        h.clock.advanceCentis(63);
        const auto before = h.port->sent.size();
        f.Timer2Timer();
        return std::vector<test::SentMessage>(h.port->sent.begin() + static_cast<long>(before),
                                              h.port->sent.end());
    };

    QTest::keyClick(f.Edit22, Qt::Key_Up); // pick 1
    std::vector<int> notes;
    for (int i = 0; i < 4; ++i) {
        for (const auto& m : beat()) {
            EXPECT_EQ(m.status, 0x91);
            notes.push_back(m.data1);
        }
    }
    EXPECT_EQ(notes, (std::vector<int>{40, 44, 47, 52}));
    const QStringList lines = h.logLines();
    ASSERT_EQ(lines.size(), 4);
    EXPECT_TRUE(lines[0].startsWith("91284000-"));
    EXPECT_TRUE(lines[1].startsWith("912C4000-"));
    EXPECT_TRUE(lines[2].startsWith("912F4000-"));
    EXPECT_TRUE(lines[3].startsWith("91344000-"));
    // Times run on from the clock, one beat apart.
    EXPECT_EQ(z2uvirTime(lines[3].toStdString()) - z2uvirTime(lines[0].toStdString()), 3 * 63);

    // Fret key 2 holds FretButton3: with "Realtime Frets" the sounding strings are turned off,
    // then the next pick plays two semitones higher.
    QTest::keyClick(f.Edit22, Qt::Key_2);
    EXPECT_TRUE(f.fretButtons[3]->isChecked());
    QTest::keyClick(f.Edit22, Qt::Key_Up);
    const auto first = beat();
    ASSERT_EQ(first.size(), 5u);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(first[static_cast<std::size_t>(i)].data2, 0) << "string " << i + 1 << " off";
    EXPECT_EQ(first[4].data1, 42);
    EXPECT_EQ(beat().at(0).data1, 46);
}

} // namespace
} // namespace fw
