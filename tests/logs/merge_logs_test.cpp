#include "logs/log_lines.h"
#include "logs/merge_logs.h"

#include <gtest/gtest.h>

namespace fw {
namespace {

using Lines = std::vector<std::string_view>;

Lines merged(const Lines& first, const Lines& second) {
    Lines target = {"stale"};
    mergeLogs(first, second, target);
    return target;
}

TEST(MergeLogs, TakesTheEarlierHeadAndFirstBeforeSecondOnEqualTimes) {
    // The worked examples: 5, 5 with 5; and 10, 30 with 20.
    EXPECT_EQ(merged({"90010000-5", "90020000-5"}, {"90030000-5"}),
              (Lines{"90010000-5", "90030000-5", "90020000-5"}));
    EXPECT_EQ(merged({"90010000-10", "90020000-30"}, {"90030000-20"}),
              (Lines{"90010000-10", "90030000-20", "90020000-30"}));
    // Negative times (across an hour) compare as numbers.
    EXPECT_EQ(merged({"90010000-3"}, {"90020000--7"}), (Lines{"90020000--7", "90010000-3"}));
}

TEST(MergeLogs, EmptySidesAndUnsortedInputs) {
    EXPECT_TRUE(merged({}, {}).empty());
    // One empty side copies the other whatever its times.
    const Lines unordered = {"90010000-50", "90020000-10", "90030000-99", "90040000--4"};
    EXPECT_EQ(merged(unordered, {}), unordered);
    EXPECT_EQ(merged({}, unordered), unordered);
    // Only the two heads are compared: an out-of-order line leaves when it reaches the head.
    EXPECT_EQ(merged({"90010000-50", "90020000-10"}, {"90030000-20", "90040000-60"}),
              (Lines{"90030000-20", "90010000-50", "90020000-10", "90040000-60"}));
    // Lines are copied as they stand, characters 7-9 included.
    EXPECT_EQ(merged({"91405AXY-1"}, {"C0000000-1"}), (Lines{"91405AXY-1", "C0000000-1"}));
}

TEST(MergeLogs, ABadTimeStopsItKeepingWhatCameBefore) {
    Lines target;
    try {
        mergeLogs({"90010000-1", "90020000-4", "90030000-9"}, {"90040000-3", "9005000", "x"},
                  target);
        FAIL() << "merged a line without a time";
    } catch (const LogLineError& e) {
        EXPECT_STREQ(e.what(), "'' is not a valid integer value");
        EXPECT_EQ(e.line(), 1);
        EXPECT_EQ(e.source(), 1);
    }
    EXPECT_EQ(target, (Lines{"90010000-1", "90040000-3"}));

    try {
        mergeLogs({"90010000-1", "90020000-1.5"}, {"90040000-3"}, target);
        FAIL();
    } catch (const LogLineError& e) {
        EXPECT_STREQ(e.what(), "'1.5' is not a valid integer value");
        EXPECT_EQ(e.source(), 0);
    }
    EXPECT_EQ(target, (Lines{"90010000-1"}));
}

TEST(LogLines, SplitAndJoin) {
    EXPECT_TRUE(splitLogLines("").empty());
    EXPECT_EQ(splitLogLines("a\r\n"), (Lines{"a"}));
    EXPECT_EQ(splitLogLines("a\r\nb\nc"), (Lines{"a", "b", "c"}));
    EXPECT_EQ(splitLogLines("a\n\nb\n"), (Lines{"a", "", "b"}));
    // A lone CR ends a line here as in every other file of the program.
    EXPECT_EQ(splitLogLines("a\rb\r\n"), (Lines{"a", "b"}));
    EXPECT_EQ(joinLogLines({"a", "b"}), "a\nb");
    EXPECT_EQ(joinLogLines({"a", "b"}, "\r\n"), "a\r\nb");
    EXPECT_EQ(joinLogLines({}), "");
}

} // namespace
} // namespace fw
