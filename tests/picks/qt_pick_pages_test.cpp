#include "files/line_file.h"
#include "picks/qt_pick_pages.h"
#include "support/qt_harness.h"

#include <QFontMetrics>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace fw {
namespace {

namespace fs = std::filesystem;
using test::MainWindowHarness;

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Until the player opens "Picking Sequences", its sequences are kept without it: set (as the
// style manager sets them), read back and stored, then shown in the boxes once the page is made.
TEST(PickPages, KeepTheSequencesUntilTheirPageIsMade) {
    MainWindowHarness h;
    PickSetPages& p = *h.form->pickSetPages;
    ASSERT_EQ(p.pickEdits[3][7].ifBuilt(), nullptr);
    const PickChannels fifth{"0-1", "", "2", "", "", "", "333"};
    p.setChannelTexts(5, fifth);
    EXPECT_EQ(p.channelTexts(5), fifth);
    EXPECT_EQ(p.channelTexts(6), PickChannels{});
    p.savePickSet(2);
    EXPECT_EQ(h.form->engine().st.pickMemory[2][5], interleaveChannels(fifth));
    EXPECT_EQ(p.pickEdits[3][0].ifBuilt(), nullptr);
    EXPECT_EQ(p.sequenceEdit(5, 7)->text(), "333"); // reaching a box makes the page
    EXPECT_EQ(p.sequenceEdit(5, 1)->text(), "0-1");
    EXPECT_EQ(p.channelTexts(5), fifth);
    EXPECT_EQ(p.sequenceEdit(6, 1)->text(), "");
}

struct PickPagesFixture : ::testing::Test {
    MainWindowHarness h;
    TForm1& f = *h.form;
    PickSetPages& p = *f.pickSetPages;
    PickMemory& memory = f.engine().st.pickMemory;
    fs::path dir;

    PickPagesFixture() {
        std::string t = (fs::temp_directory_path() / "fw-pickpages-XXXXXX").string();
        dir = ::mkdtemp(t.data());
        h.prompts.messages.clear(); // the joystick report at start-up
        // As a player who has opened both pages.
        p.sequenceEdit(1, 1);
        p.PickMemo.get();
    }
    ~PickPagesFixture() override { fs::remove_all(dir); }

    QLineEdit* box(const char* name) { return f.findChild<QLineEdit*>(name); }
    QStringList memoLines() const { return p.PickMemo->toPlainText().split('\n'); }
};

TEST_F(PickPagesFixture, PagesHoldTheirControlsWhereThePlayerLooksForThem) {
    auto* builder = f.findChild<QTabWidget*>("BuilderPages");
    ASSERT_NE(builder, nullptr);
    EXPECT_EQ(builder->tabText(1), "Picking Sequences");
    QPlainTextEdit* memo = p.PickMemo; // reaching it makes its tab's page
    auto* memoryPages = f.findChild<QTabWidget*>("MemoryPages");
    ASSERT_NE(memoryPages, nullptr);
    EXPECT_EQ(memoryPages->tabText(1), "Pick Definitions");
    EXPECT_TRUE(memoryPages->widget(1)->isAncestorOf(memo));
    for (int k = 1; k <= 4; ++k)
        EXPECT_EQ(p.PickPages->tabText(k - 1), QString("Pick %1").arg(k));
    EXPECT_EQ(p.SavePickDefinitions->title(), "Save Pick Definitions");
    for (int set = 1; set <= 4; ++set) {
        auto* b = f.findChild<QPushButton*>(QString("Button%1").arg(46 + set));
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->text(), QString("Set %1").arg(set));
    }
    EXPECT_EQ(f.findChild<QPushButton*>("Button45")->text(), "Load Pick Set");
    EXPECT_EQ(f.findChild<QPushButton*>("Button46")->text(), "SavePick Set");
    EXPECT_EQ(f.ButtonStyleManager, f.findChild<QPushButton*>("Button76"));
    EXPECT_TRUE(p.PickMemo->isReadOnly());
    EXPECT_EQ(p.PickMemo->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_TRUE(p.PickMemo->toPlainText().isEmpty());

    // Sequence n, channel c: the boxes and their names agree.
    EXPECT_EQ(p.sequenceEdit(1, 1), box("Edit65"));
    EXPECT_EQ(p.sequenceEdit(1, 7), box("Edit71"));
    EXPECT_EQ(p.sequenceEdit(2, 1), box("Edit93"));
    EXPECT_EQ(p.sequenceEdit(3, 1), box("Edit72"));
    EXPECT_EQ(p.sequenceEdit(8, 7), box("Edit120"));
    EXPECT_EQ(p.sequenceEdit(9, 1), nullptr);
    for (int n = 65; n <= 120; ++n) {
        QLineEdit* e = box(QString("Edit%1").arg(n).toUtf8().constData());
        ASSERT_NE(e, nullptr) << n;
        // Fixed width: the channels' characters line up as columns.
        const QFontMetrics metrics(e->font());
        EXPECT_EQ(metrics.horizontalAdvance('1'), metrics.horizontalAdvance('-')) << n;
        EXPECT_EQ(metrics.horizontalAdvance('i'), metrics.horizontalAdvance('M')) << n;
        EXPECT_EQ(e->toolTip(), "Type the String  ID numbers in a sequence for this channel "
                                "(0-9)=Strings(1-10)");
        EXPECT_TRUE(e->text().isEmpty());
    }
}

TEST_F(PickPagesFixture, SetButtonsStoreAllEightSequencesAndShowTheMemory) {
    QTest::keyClicks(box("Edit65"), "0123");
    QTest::keyClicks(box("Edit66"), "--5");
    QTest::keyClicks(box("Edit100"), "9"); // pick 2 altered, channel 1
    QTest::keyClicks(box("Edit120"), "1-1");
    QTest::mouseClick(p.setButtons[2], Qt::LeftButton);

    EXPECT_EQ(memory[2][1], "0------1------25-----3------");
    EXPECT_EQ(memory[2][4], "9------");
    EXPECT_EQ(memory[2][8], "------1-------------1");
    EXPECT_EQ(memory[2][2], "");
    EXPECT_EQ(memory[1][1], "");
    const QStringList lines = memoLines();
    ASSERT_EQ(lines.size(), 32);
    EXPECT_EQ(lines[8], "0------1------25-----3------");
    EXPECT_EQ(lines[11], "9------");
    EXPECT_EQ(lines[15], "------1-------------1");
    EXPECT_EQ(lines[0], "");

    // The pick plays what the set button stored.
    auto& st = f.engine().st;
    for (int s = 1; s <= 10; ++s)
        st.chordMemory[1][1][s] = 50 + s;
    st.selPickSet = 2;
    QTest::mouseClick(f.pickButtons[1], Qt::LeftButton);
    h.port->sent.clear();
    f.Timer2Timer();
    f.Timer2Timer();
    std::vector<int> notes;
    for (const auto& m : h.port->sent)
        if (m.data2 != 0)
            notes.push_back(m.data1);
    EXPECT_EQ(notes, (std::vector<int>{51, 52}));
}

TEST_F(PickPagesFixture, SaveAndLoadGoThroughFilesByteForByte) {
    const std::string path = (dir / "mine.picks").string();
    // Saving right after start writes an empty file.
    h.prompts.answer(path);
    QTest::mouseClick(p.Button46, Qt::LeftButton);
    ASSERT_EQ(h.prompts.dialogs.size(), 1u);
    EXPECT_EQ(h.prompts.dialogs[0].filter, "Pick Sequence Sets|*.picks");
    EXPECT_EQ(h.prompts.dialogs[0].defaultExt, "picks");
    EXPECT_EQ(slurp(path), "");

    // A sequence of 800 steps in one channel (5600 characters) is stored, saved and loaded whole.
    // The boxes themselves cut nothing either (a line edit's usual limit is 32767).
    box("Edit65")->setText(QString(40000, '1'));
    EXPECT_EQ(box("Edit65")->text().size(), 40000);
    const QString longChannel = QString("0123").repeated(200);
    box("Edit65")->setText(longChannel);
    EXPECT_EQ(box("Edit65")->text(), longChannel);
    box("Edit93")->setText("5");
    QTest::mouseClick(p.setButtons[1], Qt::LeftButton);
    ASSERT_EQ(memory[1][1].size(), 5600u);
    h.prompts.answer(path);
    QTest::mouseClick(p.Button46, Qt::LeftButton);
    std::string expected = memory[1][1] + "\r\n5------\r\n";
    for (int i = 3; i <= 32; ++i)
        expected += "\r\n";
    EXPECT_EQ(slurp(path), expected);

    const PickMemory saved = memory;
    memory = PickMemory{};
    box("Edit65")->setText("7");
    h.prompts.answer(path);
    QTest::mouseClick(p.Button45, Qt::LeftButton);
    EXPECT_EQ(h.prompts.dialogs.back().filter, "PickSequence Sets|*.picks");
    EXPECT_EQ(h.prompts.dialogs.back().defaultExt, "picks");
    EXPECT_EQ(memory, saved);
    EXPECT_EQ(memoLines()[0].size(), 5600);
    EXPECT_EQ(box("Edit65")->text(), "7"); // loading leaves the editor alone
    EXPECT_TRUE(h.prompts.messages.empty());

    // A later set button stores the editor's texts over the loaded set.
    QTest::mouseClick(p.setButtons[1], Qt::LeftButton);
    EXPECT_EQ(memory[1][1], "7------");

    // A short file loads with the missing entries empty; extra lines are shown, not stored.
    std::ofstream(dir / "short.picks", std::ios::binary) << "1------\r\n\r\n3------\r\n";
    ASSERT_TRUE(p.loadPickSetFile((dir / "short.picks").string()));
    EXPECT_EQ(memory[1][1], "1------");
    EXPECT_EQ(memory[1][3], "3------");
    EXPECT_EQ(memory[1][2] + memory[1][4] + memory[4][8], "");
    EXPECT_EQ(memoLines(), (QStringList{"1------", "", "3------"}));
    std::string many;
    for (int i = 1; i <= 33; ++i)
        many += std::to_string(i) + "\r\n";
    std::ofstream(dir / "many.picks", std::ios::binary) << many;
    ASSERT_TRUE(p.loadPickSetFile((dir / "many.picks").string()));
    EXPECT_EQ(memoLines().size(), 33);
    EXPECT_EQ(memory[4][8], "32");
    // Saving writes the view's lines as they are, the 33rd included.
    h.prompts.answer(path);
    QTest::mouseClick(p.Button46, Qt::LeftButton);
    EXPECT_EQ(slurp(path), many);
}

TEST_F(PickPagesFixture, AFailedLoadOrSaveChangesNothing) {
    QTest::keyClicks(box("Edit65"), "01");
    QTest::mouseClick(p.setButtons[3], Qt::LeftButton);
    const PickMemory before = memory;
    const QString shown = p.PickMemo->toPlainText();

    const std::string missing = (dir / "gone.picks").string();
    h.prompts.answer(missing);
    QTest::mouseClick(p.Button45, Qt::LeftButton);
    ASSERT_EQ(h.prompts.messages.size(), 1u);
    EXPECT_EQ(h.prompts.messages[0], "Cannot open file " + missing);
    EXPECT_EQ(memory, before);
    EXPECT_EQ(p.PickMemo->toPlainText(), shown);

    std::ofstream(dir / "bin.picks", std::ios::binary) << std::string("0\0"
                                                                      "1\r\n",
                                                                      5);
    EXPECT_FALSE(p.loadPickSetFile((dir / "bin.picks").string()));
    EXPECT_EQ(memory, before);
    EXPECT_EQ(p.PickMemo->toPlainText(), shown);

    // Cancelled dialogs do nothing at all.
    QTest::mouseClick(p.Button45, Qt::LeftButton);
    QTest::mouseClick(p.Button46, Qt::LeftButton);
    EXPECT_EQ(h.prompts.messages.size(), 2u);
    EXPECT_EQ(memory, before);

    // A save that cannot be written says so and leaves the old file as it was.
    const std::string kept = (dir / "kept.picks").string();
    std::ofstream(kept, std::ios::binary) << "old\r\n";
    h.prompts.answer((dir / "none" / "x.picks").string());
    QTest::mouseClick(p.Button46, Qt::LeftButton);
    ASSERT_EQ(h.prompts.messages.size(), 3u);
    EXPECT_EQ(h.prompts.messages[2].rfind("Cannot create file ", 0), 0u);
    EXPECT_EQ(slurp(kept), "old\r\n");
    EXPECT_EQ(memory, before);
}

} // namespace
} // namespace fw
