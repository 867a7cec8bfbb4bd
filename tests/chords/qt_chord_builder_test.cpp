#include "chords/qt_chord_builder_page.h"
#include "chords/qt_chord_definitions_page.h"
#include "chords/qt_edit_chord_chooser.h"
#include "support/qt_harness.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <unistd.h>

namespace fw {
namespace {

using test::MainWindowHarness;

template <typename T = QPushButton> T* named(QWidget* root, const char* name) {
    auto* w = root->findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
}

void setOffsets(ChordBuilderPage* page, std::initializer_list<const char*> values) {
    int k = 1;
    for (const char* v : values)
        named<QComboBox>(page, QString("ComboBox%1").arg(k++).toLatin1().constData())
            ->setEditText(v);
}

void waitMillis(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

TEST(ChordBuilderWindow, StartsWithRootCAndZeroOffsets) {
    MainWindowHarness h;
    ChordBuilderPage* page = h.form->ChordBuilder;
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(h.form->ListBox2, page->ListBox2);
    EXPECT_EQ(h.form->ListBox2->count(), 96);
    EXPECT_EQ(page->rootIndex(), 36);
    EXPECT_EQ(h.form->ListBox2->item(36)->text(), "C");
    for (int k = 1; k <= 10; ++k) {
        auto* box = page->offsetBoxes[k];
        EXPECT_EQ(box->objectName(), QString("ComboBox%1").arg(k));
        EXPECT_EQ(box->currentText(), "0");
        EXPECT_EQ(box->count(), 27);
        EXPECT_EQ(box->itemText(26), "26");
        EXPECT_EQ(page->previewButtons[k]->objectName(), QString("Button%1").arg(82 + k));
        EXPECT_EQ(page->previewButtons[k]->text(), "<((");
    }
    EXPECT_EQ(named(page, "Button75")->text(), "Type");
    EXPECT_EQ(named(page, "Button6")->text(), "6 String");
    EXPECT_EQ(named(page, "Button74")->text(), "Edit an Existing Chord");
    EXPECT_EQ(page->SaveChordGroup->title(), "Save Chord (Set-Slot)");
    EXPECT_TRUE(h.form->ChordDefinitions->ChordMemo->toPlainText().isEmpty());
}

TEST(ChordBuilderWindow, EverySlotButtonStoresIntoItsOwnSlot) {
    MainWindowHarness h;
    ChordBuilderPage* page = h.form->ChordBuilder;
    const char* names[5][5] = {{},
                               {nullptr, "Button2", "Button3", "Button4", "Button5"},
                               {nullptr, "Button28", "Button34", "Button35", "Button36"},
                               {nullptr, "Button37", "Button38", "Button39", "Button40"},
                               {nullptr, "Button41", "Button42", "Button43", "Button44"}};
    setOffsets(page, {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"});
    for (int set = 1; set <= 4; ++set) {
        for (int chord = 1; chord <= 4; ++chord) {
            QPushButton* b = named(page->SaveChordGroup, names[set][chord]);
            ASSERT_NE(b, nullptr);
            EXPECT_EQ(b->text(), QString("%1-%2").arg(set).arg(chord));
            // A root unique to the slot tells where each click landed.
            h.form->ListBox2->setCurrentRow(10 * set + chord);
            b->click();
        }
    }
    const auto& memory = h.form->engine().st.chordMemory;
    for (int set = 1; set <= 4; ++set)
        for (int chord = 1; chord <= 4; ++chord)
            for (int k = 1; k <= 10; ++k)
                EXPECT_EQ(memory[set][chord][k], 10 * set + chord + k - 1);
    const QStringList memo = h.form->ChordDefinitions->ChordMemo->toPlainText().split('\n');
    ASSERT_EQ(memo.size(), 160);
    EXPECT_EQ(memo[0], "11");
    EXPECT_EQ(memo[159], "53");

    // A box that is not a number: the user is told and the slot keeps its chord.
    page->offsetBoxes[3]->setEditText("seven");
    named(page, "Button2")->click();
    ASSERT_EQ(h.prompts.messages.size(), 2u); // the first is the joystick message at start
    EXPECT_EQ(h.prompts.messages[1], "'seven' is not a valid integer value");
    EXPECT_EQ(memory[1][1][1], 11);
    EXPECT_EQ(h.form->ChordDefinitions->ChordMemo->toPlainText().split('\n')[0], "11");
}

TEST(ChordBuilderWindow, PreviewButtonsSoundOneStringEachWithoutLogging) {
    MainWindowHarness h;
    ChordBuilderPage* page = h.form->ChordBuilder;
    page->preview().holdMillis = 30;
    h.form->ListBox2->setCurrentRow(40); // "E"
    setOffsets(page, {"0", "4", "7", "12", "12", "16", "19", "24", "0", "0"});
    for (int k = 1; k <= 10; ++k)
        named(page, QString("Button%1").arg(82 + k).toLatin1().constData())->click();
    ASSERT_NE(h.port, nullptr);
    ASSERT_EQ(h.port->sent.size(), 10u);
    const int notes[] = {40, 44, 47, 52, 52, 56, 59, 64, 40, 40};
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(h.port->sent[i].status, 0x91);
        EXPECT_EQ(h.port->sent[i].data1, notes[i]);
        EXPECT_EQ(h.port->sent[i].data2, 0x5A);
    }
    EXPECT_TRUE(h.logLines().isEmpty());

    // About a second later (shortened here) each distinct note is ended once, still unlogged.
    waitMillis(150);
    ASSERT_EQ(h.port->sent.size(), 17u);
    std::vector<int> ended;
    for (std::size_t i = 10; i < 17; ++i) {
        EXPECT_EQ(h.port->sent[i].status, 0x91);
        EXPECT_EQ(h.port->sent[i].data2, 0);
        ended.push_back(h.port->sent[i].data1);
    }
    std::sort(ended.begin(), ended.end());
    EXPECT_EQ(ended, (std::vector<int>{40, 44, 47, 52, 56, 59, 64}));
    EXPECT_TRUE(h.logLines().isEmpty());

    // The track chosen in the "Track" group sets the channel.
    h.form->engine().ui.track = 7;
    page->previewButtons[2]->click();
    ASSERT_EQ(h.port->sent.size(), 18u);
    EXPECT_EQ(h.port->sent.back().status, 0x98);

    // Notes a MIDI port cannot take are not sent: no root selected with offset 0 (note -1), and
    // an offset that lands above 127. A box that is not a number shows the error, sends nothing.
    page->setRootIndex(-1);
    EXPECT_EQ(page->rootIndex(), -1);
    page->previewButtons[1]->click();
    h.form->ListBox2->setCurrentRow(95);
    page->offsetBoxes[4]->setEditText("33");
    page->previewButtons[4]->click();
    page->offsetBoxes[5]->setEditText("1 2");
    page->previewButtons[5]->click();
    EXPECT_EQ(h.port->sent.size(), 18u);
    ASSERT_EQ(h.prompts.messages.size(), 2u);
    EXPECT_EQ(h.prompts.messages[1], "'1 2' is not a valid integer value");
    waitMillis(100);
    EXPECT_EQ(h.port->sent.size(), 19u); // the note-off of the track 8 preview
    EXPECT_TRUE(h.logLines().isEmpty());
}

TEST(ChordBuilderWindow, ARepeatedPreviewIsNotCutShortByTheEarlierNoteOff) {
    MainWindowHarness h;
    ChordBuilderPage* page = h.form->ChordBuilder;
    page->preview().holdMillis = 20;
    page->previewButtons[1]->click();
    page->preview().holdMillis = 600;
    page->previewButtons[1]->click();
    // Timers fire in the order they are due: once this one has, so has the first preview's
    // note-off, which must not end the note struck again. However late the machine runs it.
    bool firstDue = false;
    QTimer::singleShot(21, [&] { firstDue = true; });
    while (!firstDue)
        waitMillis(1);
    ASSERT_EQ(h.port->sent.size(), 2u);
    while (h.port->sent.size() < 3)
        waitMillis(5);
    EXPECT_EQ(h.port->sent[2].data1, 36);
    EXPECT_EQ(h.port->sent[2].data2, 0);
}

// Runs the modal "Select a Mode to Edit" window from "Edit an Existing Chord" and lets the
// given steps act on it while it is open.
void editExistingChord(MainWindowHarness& h, TForm6& form6, const std::function<void()>& steps) {
    bool ran = false;
    QTimer::singleShot(0, &form6, [&] {
        ran = form6.isVisible();
        steps();
    });
    named(h.form->ChordBuilder, "Button74")->click();
    EXPECT_TRUE(ran);
    EXPECT_FALSE(form6.isVisible());
}

TEST(ChordBuilderWindow, EditAnExistingChordRoundTrips) {
    MainWindowHarness h;
    TForm6 form6(h.guitar, *h.links, h.form.get());
    h.form->setSecondaryForms(nullptr, nullptr, nullptr, nullptr, &form6, nullptr);
    EXPECT_EQ(form6.windowTitle(), "Select a Mode to Edit");
    EXPECT_EQ(form6.RadioGroup1->item(1)->text(), "Set 2 ");
    EXPECT_EQ(form6.RadioGroup1->item(2)->text(), "Set 3 ");
    EXPECT_EQ(form6.RadioGroup2->item(3)->text(), "Chord 4");
    ChordBuilderPage* page = h.form->ChordBuilder;
    auto& memory = h.form->engine().st.chordMemory;

    h.form->ListBox2->setCurrentRow(40);
    setOffsets(page, {"0", "4", "7", "12", "12", "16", "19", "24", "0", "0"});
    named(page, "Button35")->click(); // set 2, chord 3
    const auto stored = memory[2][3];
    h.form->ListBox2->setCurrentRow(3);
    setOffsets(page, {"9", "9", "9", "9", "9", "9", "9", "9", "9", "9"});

    editExistingChord(h, form6, [&] {
        form6.RadioGroup1->item(1)->click();
        form6.RadioGroup2->item(2)->click();
        form6.Button1->click();
    });
    EXPECT_EQ(page->rootIndex(), 40);
    const char* expected[] = {"0", "4", "7", "12", "12", "16", "19", "24", "0", "0"};
    for (int k = 1; k <= 10; ++k)
        EXPECT_EQ(page->offsetBoxes[k]->currentText(), expected[k - 1]);
    named(page, "Button44")->click();
    EXPECT_EQ(memory[4][4], stored);

    // "Cancel" changes nothing, and the window remembers its choice between openings.
    setOffsets(page, {"1", "1", "1", "1", "1", "1", "1", "1", "1", "1"});
    editExistingChord(h, form6, [&] {
        EXPECT_EQ(form6.RadioGroup1->itemIndex(), 1);
        EXPECT_EQ(form6.RadioGroup2->itemIndex(), 2);
        form6.RadioGroup1->item(0)->click();
        form6.Button2->click();
    });
    EXPECT_EQ(page->offsetBoxes[1]->currentText(), "1");
    EXPECT_EQ(page->rootIndex(), 40);

    // A chord whose lowest note is -1 leaves no root selected and still stores back the same.
    memory[1][1] = {0, -1, 3, 6, 9, 12, 15, 18, 21, 24, -1};
    editExistingChord(h, form6, [&] {
        form6.RadioGroup1->item(0)->click();
        form6.RadioGroup2->item(0)->click();
        form6.Button1->click();
    });
    EXPECT_EQ(page->rootIndex(), -1);
    EXPECT_EQ(page->offsetBoxes[2]->currentText(), "4");
    named(page, "Button3")->click(); // 1-2
    EXPECT_EQ(memory[1][2], memory[1][1]);

    // A lowest note the root list does not hold: the offsets count from it, no item is
    // selected, the user is told, and a slot button stores the chord unchanged rather than
    // shifted onto no root.
    memory[1][1] = {0, 100, 104, 107, 112, 100, 100, 100, 100, 100, 100};
    editExistingChord(h, form6, [&] { form6.Button1->click(); });
    EXPECT_TRUE(h.form->ListBox2->selectedItems().isEmpty());
    EXPECT_EQ(page->rootIndex(), 100);
    EXPECT_EQ(page->offsetBoxes[2]->currentText(), "4");
    ASSERT_EQ(h.prompts.messages.size(), 2u);
    EXPECT_NE(h.prompts.messages[1].find("100"), std::string::npos);
    named(page, "Button3")->click();
    EXPECT_EQ(memory[1][2], memory[1][1]);
    // Choosing a root from the list replaces the kept one.
    h.form->ListBox2->setCurrentRow(50);
    named(page, "Button3")->click();
    EXPECT_EQ(memory[1][2][1], 50);
}

TEST(ChordDefinitionsWindow, FileButtonsSaveAndLoadThroughTheDialogs) {
    namespace fs = std::filesystem;
    MainWindowHarness h;
    ChordBuilderPage* page = h.form->ChordBuilder;
    ChordDefinitionsPage* defs = h.form->ChordDefinitions;
    EXPECT_EQ(defs->FileManager->title(), "File Manager");
    EXPECT_EQ(named(defs, "Button19")->text(), "Save Chord Set");
    EXPECT_EQ(named(defs, "Button17")->text(), "Load Chord Set");
    const fs::path dir = fs::temp_directory_path() / ("fw-chords-ui-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string path = (dir / "e.chords").string();

    h.form->ListBox2->setCurrentRow(40);
    setOffsets(page, {"0", "4", "7", "12", "12", "16", "19", "24", "0", "0"});
    named(page, "Button2")->click();
    h.prompts.answer(path);
    named(defs, "Button19")->click();
    ASSERT_EQ(h.prompts.dialogs.size(), 1u);
    EXPECT_EQ(h.prompts.dialogs[0].filter, "Chord Sets|*.chords");
    EXPECT_EQ(h.prompts.dialogs[0].defaultExt, "chords");
    const std::string bytes = readBytes(path);
    EXPECT_EQ(bytes.substr(0, 40), "40\r\n44\r\n47\r\n52\r\n52\r\n56\r\n59\r\n64\r\n40\r\n40\r\n");
    EXPECT_EQ(bytes.size(), 40u + 150u * 3u);

    // Load into another slot layout: memory and view follow the file.
    named(page, "Button5")->click(); // 1-4 also holds the chord now
    h.prompts.answer(path);
    named(defs, "Button17")->click();
    ASSERT_EQ(h.prompts.dialogs.size(), 2u);
    EXPECT_EQ(h.prompts.dialogs[1].filter, "Chord Sets|*.chords");
    EXPECT_EQ(h.prompts.dialogs[1].defaultExt, "chords");
    EXPECT_EQ(h.form->engine().st.chordMemory[1][4][1], 0);
    EXPECT_EQ(h.form->engine().st.chordMemory[1][1][8], 64);
    const QString shown = defs->ChordMemo->toPlainText();

    // A file that cannot be opened and a cancelled dialog leave memory and view alone.
    const auto memoryBefore = h.form->engine().st.chordMemory;
    h.prompts.answer((dir / "missing.chords").string());
    named(defs, "Button17")->click();
    h.prompts.answer(std::nullopt);
    named(defs, "Button17")->click();
    h.prompts.answer(std::nullopt);
    named(defs, "Button19")->click();
    EXPECT_EQ(defs->ChordMemo->toPlainText(), shown);
    EXPECT_EQ(h.form->engine().st.chordMemory, memoryBefore);
    ASSERT_EQ(h.prompts.messages.size(), 2u);
    EXPECT_EQ(h.prompts.messages[1], "Cannot open file " + (dir / "missing.chords").string());
    // The next save still writes the user's chords, not an empty view.
    h.prompts.answer(path);
    named(defs, "Button19")->click();
    EXPECT_EQ(readBytes(path), bytes);
    fs::remove_all(dir);
}

} // namespace
} // namespace fw
