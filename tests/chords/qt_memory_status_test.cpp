#include "chords/memory_status.h"
#include "chords/qt_chord_builder_page.h"
#include "chords/qt_memory_status_page.h"
#include "picks/qt_pick_pages.h"
#include "support/qt_harness.h"

#include <gtest/gtest.h>

namespace fw {
namespace {

using test::MainWindowHarness;

// The page's picture against the one the memory gives, pixel for pixel.
void expectPictureOf(const MemoryStatusPage& page, const PlayState& st) {
    const QImage& image = page.pickImage();
    ASSERT_EQ(image.size(), QSize(256, 128));
    const PickStatusImage expected = drawPickStatus(st.pickMemory);
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 256; ++x) {
            const Rgb c = expected.at(x, y);
            ASSERT_EQ(image.pixel(x, y), qRgb(c.r, c.g, c.b)) << x << "," << y;
        }
}

TEST(MemoryStatusWindow, DrawnAtStartAndOnRefreshOnly) {
    MainWindowHarness h;
    MemoryStatusPage* page = h.form->MemoryStatus;
    ASSERT_NE(page, nullptr);
    auto* tabs = h.form->findChild<QTabWidget*>("MemoryPages");
    EXPECT_EQ(tabs->tabText(tabs->indexOf(page)), "Memory Status");
    EXPECT_EQ(h.form->Button51, page->Button51);
    EXPECT_EQ(page->Button51->text(), "Refresh");
    EXPECT_EQ(page->Image1->size(), QSize(256, 128));
    const QString empty = QString::fromUtf8(chordGridCaption(PlayState{}.chordMemory));
    EXPECT_EQ(page->Label47->text(), empty);
    EXPECT_EQ(empty.count(QChar(0x2588)), 16);
    expectPictureOf(*page, PlayState{});

    // Storing a chord and a pick set shows only after "Refresh". The builder names the chord it
    // stored at once: E major, 022100, strings 7..10 on the root.
    h.form->ChordBuilder->setRootIndex(40);
    const int offsets[6] = {0, 7, 12, 16, 19, 24};
    for (int k = 1; k <= 6; ++k)
        h.form->ChordBuilder->setOffsetText(k, QString::number(offsets[k - 1]));
    h.form->findChild<QPushButton*>("Button36")->click(); // 2-4
    EXPECT_EQ(h.form->ChordBuilder->StoredChordName->text(), "Stored in 2-4: E");
    h.form->pickSetPages->sequenceEdit(4, 2)->setText("-");
    h.form->pickSetPages->savePickSet(3);
    EXPECT_EQ(page->Label47->text(), empty);
    expectPictureOf(*page, PlayState{});
    page->Button51->click();
    const QString block = QString(QChar(0x2588));
    EXPECT_EQ(page->Label47->text(), block.repeated(4) + " " + block.repeated(3) + "X " +
                                         block.repeated(4) + " " + block.repeated(4) + " ");
    expectPictureOf(*page, h.form->engine().st);
    EXPECT_EQ(page->pickImage().pixel(103, 66), qRgb(255, 255, 0));
    EXPECT_EQ(page->chordNames[1]->text(), "-  -  -  -");
    EXPECT_EQ(page->chordNames[2]->text(), "-  -  -  E");
}

} // namespace
} // namespace fw
