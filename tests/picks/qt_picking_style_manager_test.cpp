#include "files/line_file.h"
#include "picks/picking_styles.h"
#include "picks/qt_pick_pages.h"
#include "picks/qt_picking_style_manager.h"
#include "support/qt_harness.h"
#include "support/qt_modal.h"

#include <QClipboard>
#include <QGuiApplication>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fw {
namespace {

namespace fs = std::filesystem;
using test::MainWindowHarness;
using test::whileModal;

std::string slurp(const std::string& path) {
    std::string error;
    return readWholeFile(path, error).value_or(error);
}

struct StyleManagerFixture : ::testing::Test {
    MainWindowHarness h;
    TForm3 form3{*h.links, h.prompts, h.random, h.form.get()};
    PickSetPages& pages = *h.form->pickSetPages;
    fs::path dir;

    StyleManagerFixture() {
        h.form->setSecondaryForms(nullptr, &form3, nullptr, nullptr, nullptr, nullptr);
        h.prompts.messages.clear(); // the joystick report at start-up
        pages.sequenceEdit(1, 1);   // as a player who has opened "Picking Sequences"
        std::string t = (fs::temp_directory_path() / "fw-styles-XXXXXX").string();
        dir = ::mkdtemp(t.data());
    }
    ~StyleManagerFixture() override { fs::remove_all(dir); }

    // Every sequence's seven boxes, sequence 1 first.
    StyleGroup editor() const {
        StyleGroup all;
        for (int n = 1; n <= 8; ++n)
            all[n - 1] = pages.channelTexts(n);
        return all;
    }
    std::string file(const char* name) const { return (dir / name).string(); }
};

TEST_F(StyleManagerFixture, WindowOffersItsSlotsFilesAndGenerator) {
    EXPECT_EQ(form3.windowTitle(), "Picking Style Manager");
    for (auto* group : {form3.RadioGroup1, form3.RadioGroup2, form3.RadioGroup3}) {
        ASSERT_EQ(group->count(), 8);
        EXPECT_EQ(group->item(1)->text(), "Pick 1 Altered Style");
        EXPECT_EQ(group->itemIndex(), 0);
    }
    EXPECT_EQ(form3.RadioGroup3->title(), "Select Style Slot to Generate Into");
    EXPECT_EQ(form3.Edit1->text(), "-0123456789");
    EXPECT_EQ(form3.Edit2->text(), "8");
    EXPECT_TRUE(whileModal(
        form3, [&] { h.form->ButtonStyleManager->click(); }, [&] { form3.Button3->click(); }));
}

TEST_F(StyleManagerFixture, ASlotCopiedThroughAFileKeepsEveryCharacter) {
    const PickChannels slot{"0123", " -5 ", "", "x\xe9y", "9", "", "--1"};
    pages.setChannelTexts(4, slot); // "Pick 2 Altered Style"
    form3.RadioGroup2->item(3)->click();
    h.prompts.answer(file("one.pss"));
    form3.Button2->click();
    EXPECT_EQ(slurp(file("one.pss")), "0123\r\n -5 \r\n\r\nx\xe9y\r\n9\r\n\r\n--1\r\n");

    form3.RadioGroup1->item(6)->click(); // "Pick 4 Style"
    h.prompts.answer(file("one.pss"));
    form3.Button1->click();
    EXPECT_EQ(pages.channelTexts(7), slot);
    EXPECT_EQ(pages.sequenceEdit(7, 1), h.form->findChild<QLineEdit*>("Edit86"));

    // The dialogs, and what a missing file, a file that is not text or a cancel leave.
    std::ofstream(file("bin.pss"), std::ios::binary) << std::string("a\0b", 3);
    for (const auto& answer : {std::optional(file("missing.pss")), std::optional(file("bin.pss")),
                               std::optional<std::string>()}) {
        h.prompts.answer(answer);
        form3.Button1->click();
    }
    EXPECT_EQ(pages.channelTexts(7), slot);
    EXPECT_EQ(h.prompts.messages,
              (std::vector<std::string>{"Cannot open file " + file("missing.pss"),
                                        file("bin.pss") + " is not a text file."}));
    ASSERT_EQ(h.prompts.dialogs.size(), 5u);
    for (std::size_t i : {0u, 1u}) {
        EXPECT_EQ(h.prompts.dialogs[i].filter, "Picking Style Slot Data|*.pss");
        EXPECT_EQ(h.prompts.dialogs[i].defaultExt, "pss");
    }
    h.prompts.answer(dir.string()); // a directory cannot be replaced
    form3.Button2->click();
    EXPECT_EQ(h.prompts.messages.size(), 3u);
    EXPECT_EQ(pages.channelTexts(4), slot);
}

TEST_F(StyleManagerFixture, APastedLineBreakDoesNotSplitAChannelInTheFile) {
    QLineEdit* box = pages.sequenceEdit(1, 2);
    box->setText("--");
    box->setCursorPosition(1);
    QGuiApplication::clipboard()->setText("01\r\n23\n");
    box->paste();
    EXPECT_EQ(box->text(), "-0123-");
    EXPECT_EQ(box->cursorPosition(), 5);
    h.prompts.answer(file("paste.pss"));
    form3.Button2->click();
    EXPECT_EQ(slurp(file("paste.pss")), "\r\n-0123-\r\n\r\n\r\n\r\n\r\n\r\n");
}

TEST_F(StyleManagerFixture, TheCompleteSetRestoresAll56BoxesAndNotThePickMemory) {
    StyleGroup all;
    for (int n = 1; n <= 8; ++n)
        for (int c = 1; c <= 7; ++c)
            all[n - 1][c - 1] = std::to_string(n) + "-" + std::to_string(c);
    for (int n = 1; n <= 8; ++n)
        pages.setChannelTexts(n, all[n - 1]);
    h.prompts.answer(file("all.psg"));
    form3.Button5->click();
    EXPECT_EQ(slurp(file("all.psg")), styleGroupText(all));

    for (int n = 1; n <= 8; ++n)
        pages.setChannelTexts(n, {});
    h.prompts.answer(file("all.psg"));
    form3.Button4->click();
    EXPECT_EQ(editor(), all);
    EXPECT_EQ(h.form->engine().st.pickMemory, PlayState{}.pickMemory);
    for (std::size_t i : {0u, 1u}) {
        EXPECT_EQ(h.prompts.dialogs[i].filter, "Picking Style Slot Group Data|*.psg");
        EXPECT_EQ(h.prompts.dialogs[i].defaultExt, "psg");
    }

    // A short group file empties the channels it does not reach.
    std::ofstream(file("short.psg"), std::ios::binary) << "a\r\nb\r\n";
    h.prompts.answer(file("short.psg"));
    form3.Button4->click();
    EXPECT_EQ(pages.channelTexts(1), (PickChannels{"a", "b"}));
    EXPECT_EQ(pages.channelTexts(8), PickChannels{});
    EXPECT_TRUE(h.prompts.messages.empty());
}

TEST_F(StyleManagerFixture, GenerateChecksTheCountBeforeTouchingTheBoxes) {
    const PickChannels mine{"0123", "4567"};
    pages.setChannelTexts(6, mine);
    form3.RadioGroup3->item(5)->click(); // "Pick 3 Altered Style"
    for (const char* count : {"eight", "4097"}) {
        form3.Edit2->setText(count);
        form3.Button6->click();
        EXPECT_EQ(pages.channelTexts(6), mine) << count;
    }
    EXPECT_EQ(h.prompts.messages,
              (std::vector<std::string>{"'eight' is not a valid integer value",
                                        "\"Num Notes/Channel\" can be at most 4096, not 4097."}));

    form3.Edit2->setText("8");
    form3.Button6->click();
    for (const auto& channel : pages.channelTexts(6)) {
        EXPECT_EQ(channel.size(), 8u);
        EXPECT_EQ(channel.find_first_not_of("-0123456789"), std::string::npos);
    }
    form3.Edit1->setText("33");
    form3.Button6->click();
    EXPECT_EQ(pages.channelTexts(6), PickChannels({"33333333", "33333333", "33333333", "33333333",
                                                   "33333333", "33333333", "33333333"}));
    for (auto [pool, count] : {std::pair{"", "8"}, {"0", "0"}, {"0", "-2"}}) {
        pages.setChannelTexts(6, mine);
        form3.Edit1->setText(pool);
        form3.Edit2->setText(count);
        form3.Button6->click();
        EXPECT_EQ(pages.channelTexts(6), PickChannels{}) << pool << " " << count;
    }
    EXPECT_EQ(h.prompts.messages.size(), 2u);
}

} // namespace
} // namespace fw
