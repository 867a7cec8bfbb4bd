#include "picks/picking_styles.h"
#include "support/scripted_random.h"

#include <gtest/gtest.h>

namespace fw {
namespace {

TEST(PickingStyles, SlotFileIsTheSevenChannelsAsTyped) {
    const PickChannels slot{"0123", "--5", "", " a b ", "", "", "9"};
    const std::string text = "0123\r\n--5\r\n\r\n a b \r\n\r\n\r\n9\r\n";
    EXPECT_EQ(styleSlotText(slot), text);
    EXPECT_EQ(styleSlotText(PickChannels{}), "\r\n\r\n\r\n\r\n\r\n\r\n\r\n");
    const auto back = parseStyleSlot(text, "a.pss");
    ASSERT_TRUE(back.ok());
    EXPECT_EQ(back.value, slot);
}

TEST(PickingStyles, GroupFileHoldsTheNormalStylesFirst) {
    StyleGroup group;
    for (std::size_t i = 0; i < group.size(); ++i)
        for (std::size_t c = 0; c < kPickChannels; ++c)
            group[i][c] = std::to_string(10 * (i + 1) + c + 1); // sequence, channel
    const std::string text = styleGroupText(group);
    std::string expected;
    for (int n : {1, 3, 5, 7, 2, 4, 6, 8})
        for (int c = 1; c <= 7; ++c)
            expected += std::to_string(10 * n + c) + "\r\n";
    EXPECT_EQ(text, expected);
    const auto back = parseStyleGroup(text, "g.psg");
    ASSERT_TRUE(back.ok());
    EXPECT_EQ(back.value, group);
}

TEST(PickingStyles, ShortAndLongFilesReadWithoutComplaint) {
    struct Case {
        const char* text;
        PickChannels slot;
    };
    const Case slots[] = {
        {"", {}},
        {"01\r\n23", {"01", "23"}},
        {"1\n2\r3\r\n4\r\n5\r\n6\r\n7\r\n8 and more\r\n", {"1", "2", "3", "4", "5", "6", "7"}},
    };
    for (const auto& c : slots) {
        const auto read = parseStyleSlot(c.text, "s.pss");
        ASSERT_TRUE(read.ok()) << c.text;
        EXPECT_EQ(read.value, c.slot) << c.text;
    }
    // Ten lines fill "Pick 1 Style" and the first three channels of "Pick 2 Style".
    std::string ten;
    for (int i = 1; i <= 10; ++i)
        ten += std::to_string(i) + "\r\n";
    const auto group = parseStyleGroup(ten, "g.psg");
    ASSERT_TRUE(group.ok());
    EXPECT_EQ(group.value[0], (PickChannels{"1", "2", "3", "4", "5", "6", "7"}));
    EXPECT_EQ(group.value[2], (PickChannels{"8", "9", "10"}));
    for (std::size_t i : {1u, 3u, 4u, 5u, 6u, 7u})
        EXPECT_EQ(group.value[i], PickChannels{});

    const auto binary = parseStyleSlot(std::string("01\0"
                                                   "2",
                                                   4),
                                       "x.pss");
    EXPECT_EQ(binary.error, "x.pss is not a text file.");
    EXPECT_FALSE(parseStyleGroup(std::string(1, '\0'), "x.psg").ok());
}

TEST(PickingStyles, NoteCountIsCheckedBeforeAnythingIsGenerated) {
    struct Case {
        const char* text;
        int value;
        const char* error;
    };
    const Case cases[] = {
        {"8", 8, ""},
        {"0", 0, ""},
        {"-3", -3, ""},
        {"4096", 4096, ""},
        {"eight", 0, "'eight' is not a valid integer value"},
        {"", 0, "'' is not a valid integer value"},
        {"4097", 0, "\"Num Notes/Channel\" can be at most 4096, not 4097."},
        {"2000000000", 0, "\"Num Notes/Channel\" can be at most 4096, not 2000000000."},
    };
    for (const auto& c : cases) {
        const auto count = parseStyleNoteCount(c.text);
        EXPECT_EQ(count.error, c.error) << c.text;
        if (count.ok()) {
            EXPECT_EQ(count.value, c.value) << c.text;
        }
    }
}

TEST(PickingStyles, RandomStyleDrawsPassByPassFromThePool) {
    // Draw k lands at channel k % 7 + 1, step k / 7 + 1; the value picks the pool position.
    test::ScriptedRandom scripted{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
    EXPECT_EQ(generateRandomStyle(scripted, "abcd", 2),
              (PickChannels{"ad", "ba", "cb", "dc", "ad", "ba", "cb"}));
    EXPECT_EQ(scripted.draws, 14);

    for (int notes : {0, -3}) {
        test::ScriptedRandom none{};
        EXPECT_EQ(generateRandomStyle(none, "0123", notes), PickChannels{});
        EXPECT_EQ(none.draws, 0);
    }
    test::ScriptedRandom emptyPool{};
    EXPECT_EQ(generateRandomStyle(emptyPool, "", 8), PickChannels{});

    // The top of the range that would favour low positions is drawn again.
    test::ScriptedRandom top{0x7FFFFFFE, 0x7FFFFFFF, 5};
    EXPECT_EQ(uniformIndex(top, 3), 2u);
    EXPECT_EQ(top.draws, 3);
}

TEST(PickingStyles, RandomStyleWeighsEachPoolPositionEqually) {
    SeededRandom random(2024);
    const PickChannels slot = generateRandomStyle(random, "0000-", kMaxStyleNotes);
    int zeros = 0, total = 0;
    for (const auto& channel : slot) {
        ASSERT_EQ(channel.size(), static_cast<std::size_t>(kMaxStyleNotes));
        for (char ch : channel) {
            ASSERT_TRUE(ch == '0' || ch == '-');
            zeros += ch == '0';
            ++total;
        }
    }
    // 4/5 of 28672 draws; the bound is over eight standard deviations wide.
    EXPECT_NEAR(static_cast<double>(zeros) / total, 0.8, 0.02);

    // The default pool gives the rest and every string about 1/11 each.
    const PickChannels even = generateRandomStyle(random, "-0123456789", kMaxStyleNotes);
    std::array<int, 256> counts{};
    for (const auto& channel : even)
        for (unsigned char ch : channel)
            ++counts[ch];
    for (char ch : std::string("-0123456789"))
        EXPECT_NEAR(counts[static_cast<unsigned char>(ch)] / 28672.0, 1.0 / 11, 0.01) << ch;
}

} // namespace
} // namespace fw
