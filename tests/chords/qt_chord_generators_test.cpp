#include "chords/chord_generator_examples.h"
#include "chords/qt_chord_builder_page.h"
#include "chords/qt_fast_chord_generator.h"
#include "chords/qt_finger_chords.h"
#include "support/qt_harness.h"
#include "support/qt_modal.h"

#include <QElapsedTimer>
#include <QTest>
#include <gtest/gtest.h>

namespace fw {
namespace {

using test::MainWindowHarness;
using test::whileModal;

struct ChordGeneratorsFixture : ::testing::Test {
    MainWindowHarness h;
    TForm2 form2{*h.links, h.form.get()};
    TForm4 form4{*h.links, h.form.get()};
    ChordBuilderPage* page = h.form->ChordBuilder;

    ChordGeneratorsFixture() {
        h.form->setSecondaryForms(&form2, nullptr, &form4, nullptr, nullptr, nullptr);
        h.prompts.messages.clear(); // the joystick report at start-up
        page->setRootIndex(40);     // "E"
    }
    QStringList offsets() const {
        QStringList out;
        for (int k = 1; k <= 10; ++k)
            out << page->offsetBoxes[k]->currentText();
        return out;
    }
    template <std::size_t N> static QStringList texts(const std::array<int, N>& values) {
        QStringList out;
        for (int v : values)
            out << QString::number(v);
        return out;
    }
};

TEST_F(ChordGeneratorsFixture, FastChordGeneratorWritesTheOffsetsOfAChordType) {
    EXPECT_EQ(form2.windowTitle(), "Fast Chord Generator");
    EXPECT_EQ(form2.RadioGroup1->title(), "Major or minor");
    EXPECT_EQ(form2.RadioGroup2->title(), "6, 7, 8, or 9");
    EXPECT_EQ(form2.RadioGroup3->title(), "Aug or Dim");
    for (const auto& e : test::kFastChordExamples) {
        page->setOffsetText(1, "99");
        EXPECT_TRUE(whileModal(
            form2, [&] { h.form->Button75->click(); },
            [&] {
                form2.RadioGroup1->item(e.third)->click();
                form2.RadioGroup2->item(e.top)->click();
                form2.RadioGroup3->item(e.fifth)->click();
                form2.Button1->click();
            }));
        EXPECT_EQ(offsets(), texts(e.offsets)) << e.third << " " << e.top << " " << e.fifth;
        EXPECT_EQ(page->rootIndex(), 40);
    }

    // Closing by the frame changes nothing; the choices stay for the next opening.
    const QStringList before = offsets();
    const auto& last = std::end(test::kFastChordExamples)[-1];
    EXPECT_TRUE(whileModal(
        form2, [&] { h.form->Button75->click(); },
        [&] {
            EXPECT_EQ(form2.RadioGroup1->itemIndex(), last.third);
            EXPECT_EQ(form2.RadioGroup2->itemIndex(), last.top);
            EXPECT_EQ(form2.RadioGroup3->itemIndex(), last.fifth);
            form2.RadioGroup1->item(1 - last.third)->click();
            form2.reject();
        }));
    EXPECT_EQ(offsets(), before);
}

TEST_F(ChordGeneratorsFixture, FingerChordsGenerateIntoTheFirstSixBoxes) {
    EXPECT_EQ(form4.windowTitle(), "6 String Guitar Finger Chords");
    const char* captions[] = {"E", "A", "D", "G", "B", "E"};
    const char* buttons[] = {"Button83", "Button1", "Button2", "Button3", "Button4", "Button5"};
    for (int s = 0; s < 6; ++s) {
        EXPECT_EQ(form4.stringGroups[s]->objectName(), QString("RadioGroup%1").arg(s + 1));
        EXPECT_EQ(form4.stringGroups[s]->title(), captions[s]);
        EXPECT_EQ(form4.stringGroups[s]->count(), 24);
        EXPECT_EQ(form4.stringGroups[s]->itemIndex(), 0);
        EXPECT_EQ(form4.previewButtons[s]->objectName(), buttons[s]);
        EXPECT_EQ(form4.previewButtons[s]->text(), "<((");
    }

    for (int k = 7; k <= 10; ++k)
        page->setOffsetText(k, QString::number(k - 6));
    page->preview().holdMillis = 600000; // no note-off among the notes counted here
    for (const auto& e : test::kFingerChordExamples) {
        const std::size_t sentBefore = h.port ? h.port->sent.size() : 0;
        EXPECT_TRUE(whileModal(
            form4, [&] { h.form->Button6->click(); },
            [&] {
                for (int s = 0; s < 6; ++s) {
                    form4.stringGroups[s]->item(e.frets[s])->click();
                    form4.previewButtons[s]->click();
                }
                form4.Button6->click();
            }));
        EXPECT_EQ(offsets(), texts(e.offsets) + QStringList({"1", "2", "3", "4"}));
        EXPECT_EQ(page->rootIndex(), 40);
        // Each preview is the fingered note at velocity 90 on the guitar's track.
        ASSERT_EQ(h.port->sent.size(), sentBefore + 6);
        for (int s = 0; s < 6; ++s) {
            const auto& m = h.port->sent[sentBefore + s];
            EXPECT_EQ(m.status, 0x91);
            EXPECT_EQ(m.data1, e.notes[s]);
            EXPECT_EQ(m.data2, 90);
        }
        if (e.frets[0] == 0 && e.frets[1] == 0) { // all open: store it on root "E"
            h.form->findChild<QPushButton*>("Button2")->click();
            EXPECT_EQ(h.form->engine().st.chordMemory[1][1],
                      (std::array<int, 11>{0, 40, 45, 50, 55, 59, 64, 41, 42, 43, 44}));
        }
    }
    EXPECT_TRUE(h.logLines().isEmpty());

    // The previews end about a second later (shortened here), still unlogged.
    page->preview().holdMillis = 20;
    const std::size_t before = h.port->sent.size();
    h.form->engine().ui.track = 3;
    form4.previewButtons[5]->click();
    QElapsedTimer t;
    t.start();
    while (h.port->sent.size() < before + 2 && t.elapsed() < 2000)
        QTest::qWait(10);
    ASSERT_EQ(h.port->sent.size(), before + 2);
    EXPECT_EQ(h.port->sent[before + 1].status, 0x94);
    EXPECT_EQ(h.port->sent[before + 1].data1, 87);
    EXPECT_EQ(h.port->sent[before + 1].data2, 0);
    EXPECT_TRUE(h.logLines().isEmpty());

    // "Cancel" after moving the frets leaves the builder; the window shows them next time.
    const QStringList kept = offsets();
    const int resets = h.port->resets;
    EXPECT_TRUE(whileModal(
        form4, [&] { h.form->Button6->click(); },
        [&] {
            form4.stringGroups[2]->item(5)->click();
            form4.Button29->click();
            form4.Button7->click();
        }));
    EXPECT_EQ(offsets(), kept);
    EXPECT_EQ(h.port->resets, resets + 1);
    EXPECT_EQ(form4.stringGroups[2]->itemIndex(), 5);
}

TEST_F(ChordGeneratorsFixture, TheRootListAlwaysKeepsARoot) {
    h.form->show();
    QListWidget* list = h.form->ListBox2;
    list->scrollToItem(list->item(40));
    const QPoint at = list->visualItemRect(list->item(40)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, at);
    EXPECT_EQ(page->rootIndex(), 40);
    QTest::keyClick(list, Qt::Key_Space, Qt::ControlModifier);
    EXPECT_EQ(page->rootIndex(), 40);
    page->setOffsetText(1, "7");
    h.form->findChild<QPushButton*>("Button44")->click();
    EXPECT_EQ(h.form->engine().st.chordMemory[4][4][1], 47);

    // Should the list ever lose its root all the same, the slot buttons refuse to store.
    list->setCurrentRow(-1);
    list->clearSelection();
    h.form->findChild<QPushButton*>("Button2")->click();
    ASSERT_EQ(h.prompts.messages.size(), 1u);
    EXPECT_EQ(h.prompts.messages[0], "Choose a root note in \"Chord Root\" first.");
    EXPECT_EQ(h.form->engine().st.chordMemory[1][1][1], 0);
}

} // namespace
} // namespace fw
