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

    // Storing a chord and a pick set shows only after "Refresh".
    h.form->ChordBuilder->setRootIndex(40);
    h.form->findChild<QPushButton*>("Button36")->click(); // 2-4
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
}

} // namespace
} // namespace fw
