#include "support/qt_harness.h"
#include "toys/qt_music_toys_page.h"
#include "ui/qt_widgets.h"

#include <QTest>
#include <gtest/gtest.h>

#include <map>
#include <set>

namespace fw {
namespace {

using test::MainWindowHarness;

TEST(MusicToysWindow, HoldsTheCountingGroup) {
    MainWindowHarness h;
    MusicToysPage* page = h.form->MusicToys;
    EXPECT_EQ(page->BinaryCountingGroup->title(), "Binary Counting 0-->255");
    EXPECT_EQ(page->Button96->text(), "Detailed Binary Counting");
    EXPECT_EQ(page->Button97->text(), "Stop");
    EXPECT_EQ(page->Label83->text(), "Label83");
    EXPECT_EQ(page->RadioGroup4->title(), "Beats/Cycle");
    EXPECT_EQ(page->RadioGroup4->count(), 8);
    EXPECT_EQ(page->RadioGroup4->item(7)->text(), "32");
    EXPECT_EQ(page->RadioGroup4->itemIndex(), 2); // "12"
    EXPECT_EQ(page->RadioGroup2, h.form->RadioGroup2);
    EXPECT_EQ(page->RadioGroup2->title(), "Cycles/Digit");
}

// The count played by the window's own beat timer at a fast beat.
TEST(MusicToysWindow, CountsThroughTheRunningSequencerAndStops) {
    MainWindowHarness h;
    TForm1& f = *h.form;
    MusicToysPage* page = f.MusicToys;
    Engine& engine = f.engine();
    f.CheckBox3->click();
    f.RadioGroup2->item(0)->click();     // "1" pass per bit
    page->RadioGroup4->item(0)->click(); // 4 steps per line
    EXPECT_EQ(engine.ui.cyclesPerDigitItem, 0);

    // Every label shown, and the beat notes heard while it was shown.
    std::vector<QString> labels;
    std::map<QString, std::set<int>> heard;
    std::size_t seen = 0;
    auto toyStep = engine.afterBeatStep;
    engine.afterBeatStep = [&] {
        const QString label = page->Label83->text();
        for (; seen < h.port->sent.size(); ++seen)
            if (h.port->sent[seen].status == 0x90 && h.port->sent[seen].data2 > 0)
                heard[label].insert(h.port->sent[seen].data1);
        toyStep();
        if (labels.empty() || labels.back() != page->Label83->text())
            labels.push_back(page->Label83->text());
    };

    f.Timer2->setInterval(4);
    f.Timer2->start();
    page->Button96->click();
    EXPECT_FALSE(page->Button96->isEnabled()); // no second count while one runs
    labels.push_back(page->Label83->text());
    const auto firstLines = page->counting().lines();
    ASSERT_TRUE(QTest::qWaitFor([&] { return page->counting().number() >= 6; }, 30000));

    // Number 0 plays low lines only; 5 sets bits 1 and 3.
    for (int b = 1; b <= 8; ++b) {
        const QString label = QString("Info: In number 0, Bit #%1=0").arg(b);
        EXPECT_EQ(labels[static_cast<std::size_t>(b - 1)], label);
        for (int note : heard[label]) {
            EXPECT_GE(note, 56) << label.toStdString();
            EXPECT_LE(note, 91) << label.toStdString();
        }
    }
    for (int b = 1; b <= 8; ++b)
        EXPECT_EQ(labels[static_cast<std::size_t>(40 + b - 1)],
                  QString("Info: In number 5, Bit #%1=%2").arg(b).arg(b == 1 || b == 3 ? 1 : 0));

    page->Button97->click();
    EXPECT_FALSE(page->counting().active());
    EXPECT_TRUE(page->Button96->isEnabled());
    // The stopped number's last bits went by at once (numbers this small have bit 8 clear).
    EXPECT_EQ(page->Label83->text(),
              QString("Info: In number %1, Bit #8=0").arg(page->counting().number() - 1));
    const QString stopped = page->Label83->text();
    QTest::qWait(50);
    EXPECT_EQ(page->Label83->text(), stopped);

    page->Button96->click();
    EXPECT_EQ(page->Label83->text(), "Info: In number 0, Bit #1=0");
    EXPECT_NE(page->counting().lines(), firstLines);
    // Closing the program mid-count leaves nothing behind that runs on.
    QTest::qWait(30);
    f.close();
    h.form.reset();
    // The guitar outlives its window: it plays and logs on, telling none of the window's parts.
    h.guitar.beat();
    h.guitar.output().sendAndLog(0x91, 0x40, 0);
}

} // namespace
} // namespace fw
