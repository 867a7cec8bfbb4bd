#include "beats/beat_generator.h"
#include "beats/qt_beat_manager_page.h"
#include "chords/qt_note_preview.h"
#include "engine/z2uvir.h"
#include "support/qt_harness.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace fw {
namespace {

using test::MainWindowHarness;

void waitMillis(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// The beat notes (status 90) each beat sent, as their note numbers in hex ("" for none).
std::vector<std::string> beats(MainWindowHarness& h, int count) {
    std::vector<std::string> out;
    for (int i = 0; i < count; ++i) {
        const auto from = h.port->sent.size();
        h.form->Timer2Timer();
        std::string notes;
        for (auto m = h.port->sent.begin() + static_cast<std::ptrdiff_t>(from);
             m != h.port->sent.end(); ++m)
            if (m->status == 0x90)
                notes += byteToHex(m->data1);
        out.push_back(notes);
    }
    return out;
}

TEST(BeatManagerWindow, HoldsTheRowsPatternLinesAndButtons) {
    MainWindowHarness h;
    BeatManagerPage* page = h.form->BeatManager;
    const int previewNumbers[kBeatRows] = {20, 21, 22, 23, 24, 25, 26, 27, 53, 54, 55, 56, 57,
                                           58, 59, 60, 61, 62, 63, 64, 71, 72, 73, 77, 78};
    for (int r = 0; r < kBeatRows; ++r) {
        EXPECT_EQ(page->rowBoxes[r]->objectName(), QString("ComboBox%1").arg(11 + r));
        EXPECT_EQ(page->rowBoxes[r]->currentText(), QString::number(r + 1));
        EXPECT_EQ(page->rowBoxes[r]->itemText(127), "128");
        EXPECT_EQ(page->previewButtons[r]->objectName(),
                  QString("Button%1").arg(previewNumbers[r]));
        EXPECT_EQ(page->previewButtons[r]->text(), "<((");
    }
    EXPECT_EQ(page->BeatPatternSegment->title(), "Beat Pattern Segment");
    for (int v = 0; v < kBeatVoices; ++v) {
        EXPECT_EQ(page->patternEdits[v]->objectName(), QString("Edit%1").arg(10 + v));
        EXPECT_TRUE(QFontInfo(page->patternEdits[v]->font()).fixedPitch());
    }
    const QString captions[] = {"Apply", "Generate 4 Beat", "Generate 8 Beat", "Generate 16 Beat",
                                "Generate 32 Beat"};
    int i = 0;
    for (auto* b :
         {page->Button80, page->Button100, page->Button98, page->Button93, page->Button99})
        EXPECT_EQ(b->text(), captions[i++]);
}

TEST(BeatManagerWindow, AppliedPatternPlaysAlongOnEveryPassWhileAccompBeatIsChecked) {
    MainWindowHarness h;
    TForm1& f = *h.form;
    BeatManagerPage* page = f.BeatManager;
    QTest::keyClicks(page->patternEdits[0], "A-A-");
    QTest::keyClicks(page->patternEdits[1], "-C");
    page->Button80->click();
    const std::string rest(14, '-');
    EXPECT_EQ(f.engine().st.accompBeatLine,
              "01" + rest.substr(2) + "--03" + rest.substr(4) + "01" + rest.substr(2) + rest);

    EXPECT_EQ(beats(h, 2), (std::vector<std::string>{"", ""})); // not checked: nothing
    f.CheckBox3->click();
    const std::vector<std::string> pass = {"01", "03", "01", ""};
    std::vector<std::string> fourPasses;
    for (int i = 0; i < 4; ++i)
        fourPasses.insert(fourPasses.end(), pass.begin(), pass.end());
    EXPECT_EQ(beats(h, 16), fourPasses);
    EXPECT_EQ(h.logLines().filter("90015A00-").size(), 8);

    // "Cycles/Digit" at "4": after four passes the count starts again, and a digit set busy
    // now is released at the end of the fourth pass from here.
    EXPECT_EQ(f.RadioGroup2->itemIndex(), 3);
    EXPECT_EQ(f.engine().st.beatCycle, 0);
    f.engine().st.beatDigitBusy = true;
    beats(h, 15);
    EXPECT_TRUE(f.engine().st.beatDigitBusy);
    beats(h, 1);
    EXPECT_FALSE(f.engine().st.beatDigitBusy);

    // Unchecked it freezes, checked again it goes on from where it stood.
    beats(h, 1);
    f.CheckBox3->click();
    EXPECT_EQ(beats(h, 3), (std::vector<std::string>{"", "", ""}));
    f.CheckBox3->click();
    EXPECT_EQ(beats(h, 3), (std::vector<std::string>{"03", "01", ""}));

    // An "Apply" that fails keeps the line that plays and says why.
    const std::string line = f.engine().st.accompBeatLine;
    page->rowBoxes[2]->setEditText("128");
    page->Button80->click();
    EXPECT_EQ(h.prompts.messages.back(),
              "Row C holds 128, which is not a MIDI note number (0 to 127).");
    EXPECT_EQ(f.engine().st.accompBeatLine, line);
}

TEST(BeatManagerWindow, RowPreviewsSoundUnloggedAndEndAboutASecondLater) {
    MainWindowHarness h;
    BeatManagerPage* page = h.form->BeatManager;
    page->preview().holdMillis = 30;
    page->rowBoxes[2]->setEditText("38");
    page->previewButtons[2]->click();
    page->previewButtons[24]->click();
    ASSERT_EQ(h.port->sent.size(), 2u);
    EXPECT_EQ(h.port->sent[0].status, 0x90);
    EXPECT_EQ(h.port->sent[0].data1, 38);
    EXPECT_EQ(h.port->sent[0].data2, 0x5A);
    EXPECT_EQ(h.port->sent[1].data1, 25);

    // A row that is no note sends nothing and says why.
    page->rowBoxes[0]->setEditText("200");
    page->previewButtons[0]->click();
    EXPECT_EQ(h.port->sent.size(), 2u);
    EXPECT_EQ(h.prompts.messages.back(),
              "Row A holds 200, which is not a MIDI note number (0 to 127).");

    waitMillis(150);
    ASSERT_EQ(h.port->sent.size(), 4u);
    EXPECT_EQ(h.port->sent[2].status, 0x90);
    EXPECT_EQ(h.port->sent[2].data2, 0);
    EXPECT_TRUE(h.logLines().isEmpty());
}

TEST(BeatManagerWindow, GeneratorButtonsFillTheBeatLine) {
    MainWindowHarness h;
    BeatManagerPage* page = h.form->BeatManager;
    std::string& line = h.form->engine().st.accompBeatLine;
    const std::pair<QPushButton*, std::size_t> buttons[] = {
        {page->Button100, 56}, {page->Button98, 112}, {page->Button93, 224}, {page->Button99, 448}};
    for (auto [button, size] : buttons) {
        line = kHighBeatMarker;
        button->click();
        ASSERT_EQ(line.size(), size);
        for (std::size_t p = 0; p < line.size(); p += 2) {
            if (line.compare(p, 2, "--") != 0) {
                EXPECT_GE(std::stoi(line.substr(p, 2), nullptr, 16), 92) << line;
            }
        }
    }
}

struct BeatFileWindow : ::testing::Test {
    std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("fw-beat-window-" + std::to_string(::getpid()));
    void SetUp() override { std::filesystem::create_directories(dir); }
    void TearDown() override { std::filesystem::remove_all(dir); }
};

TEST_F(BeatFileWindow, SaveAndLoadKeepTheLinesAndRowsAndAFailedLoadChangesNothing) {
    MainWindowHarness h;
    BeatManagerPage* page = h.form->BeatManager;
    page->patternEdits[0]->setText("A-A-B---");
    page->patternEdits[6]->setText("--C");
    page->rowBoxes[0]->setEditText("36");
    const std::string path = (dir / "first.beat").string();
    h.prompts.answer(path);
    page->BeatSaveButton->click();
    ASSERT_EQ(h.prompts.dialogs.back().filter, "Beat Patterns|*.beat");
    EXPECT_EQ(h.prompts.dialogs.back().defaultExt, "beat");
    std::stringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    EXPECT_EQ(bytes.str().substr(0, 41), "Fretwright beat pattern\r\nA-A-B---\r\n\r\n\r\n\r\n");

    page->patternEdits[0]->setText("changed");
    page->rowBoxes[0]->setEditText("1");
    h.prompts.answer(path);
    page->BeatLoadButton->click();
    EXPECT_EQ(page->patternEdits[0]->text(), "A-A-B---");
    EXPECT_EQ(page->patternEdits[6]->text(), "--C");
    EXPECT_EQ(page->rowBoxes[0]->currentText(), "36");
    EXPECT_EQ(page->rowBoxes[1]->currentText(), "2");

    // A file that is not a beat: told, and the page keeps what it holds.
    const std::string bad = (dir / "bad.beat").string();
    std::ofstream(bad, std::ios::binary) << "0------1------\r\n";
    page->patternEdits[0]->setText("mine");
    const auto messages = h.prompts.messages.size();
    h.prompts.answer(bad);
    page->BeatLoadButton->click();
    EXPECT_EQ(h.prompts.messages.size(), messages + 1);
    EXPECT_EQ(page->patternEdits[0]->text(), "mine");
    EXPECT_EQ(page->rowBoxes[0]->currentText(), "36");
    h.prompts.answer(std::nullopt); // cancelled
    page->BeatLoadButton->click();
    EXPECT_EQ(page->patternEdits[0]->text(), "mine");
}

} // namespace
} // namespace fw
