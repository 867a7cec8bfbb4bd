#include "engine/strict_int.h"
#include "engine/z2uvir.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>

namespace fw {
namespace {

TEST(Z2uvir, ByteToHexGivesTwoUpperCaseDigits) {
    EXPECT_EQ(byteToHex(5), "05");
    EXPECT_EQ(byteToHex(255), "FF");
    EXPECT_EQ(byteToHex(0), "00");
    EXPECT_EQ(byteToHex(0x5A), "5A");
    // Only the low byte counts.
    EXPECT_EQ(byteToHex(0x1FF), "FF");
}

TEST(Z2uvir, HexReaderReadsAnyLengthRightToLeft) {
    EXPECT_EQ(hexToInt("5A"), 0x5A);
    EXPECT_EQ(hexToInt("FF"), 255);
    EXPECT_EQ(hexToInt(""), 0);
    EXPECT_EQ(hexToInt("0"), 0);
    EXPECT_EQ(hexToInt("91405A00"), static_cast<int>(0x91405A00u));
    EXPECT_EQ(hexToInt("2A"), 42);
    // Letters in either case; stray characters contribute nothing but keep their place.
    EXPECT_EQ(hexToInt("a1"), 0xA1);
    EXPECT_EQ(hexToInt("9c"), 0x9C);
    EXPECT_EQ(hexToInt("-1"), 1);
    EXPECT_EQ(hexToInt("1-"), 16);
}

TEST(Z2uvir, LinesAreWrittenAsInTheLog) {
    EXPECT_EQ(formatZ2uvirLine(0x91, 0x40, 0x64, 1530), "91406400-1530");
    EXPECT_EQ(formatZ2uvirLine(0x91, 0x40, 0x00, 0), "91400000-0");
    // A negative time leaves two dashes in a row.
    EXPECT_EQ(formatZ2uvirLine(0xC1, 0x19, 0x00, -42), "C1190000--42");
}

TEST(Z2uvir, LinesAreReadByPosition) {
    const Z2uvirLine a = parseZ2uvirLine("91406400-1530");
    EXPECT_EQ(a.status, 0x91);
    EXPECT_EQ(a.data1, 0x40);
    EXPECT_EQ(a.data2, 0x64);
    EXPECT_EQ(a.time, 1530);
    // Characters 7 to 9 are skipped unchecked, and a negative time reads back.
    const Z2uvirLine b = parseZ2uvirLine("E1007FXYZ-12");
    EXPECT_EQ(b.status, 0xE1);
    EXPECT_EQ(b.data2, 0x7F);
    EXPECT_EQ(b.time, -12);
    for (int t : {0, 1, 359999, 360000, 12345678, -360000}) {
        const auto back = parseZ2uvirLine(formatZ2uvirLine(0x90, 0x2A, 0x5A, t));
        EXPECT_EQ(back.time, t);
        EXPECT_EQ(back.data1, 0x2A);
    }
}

TEST(Z2uvir, BadTimeFieldsFailWithTheConversionMessage) {
    auto messageOf = [](const char* line) -> std::string {
        try {
            parseZ2uvirLine(line);
        } catch (const ConversionError& e) {
            return e.what();
        }
        return "no error";
    };
    EXPECT_EQ(messageOf("91406400-"), "'' is not a valid integer value");
    EXPECT_EQ(messageOf("914064"), "'' is not a valid integer value");
    EXPECT_EQ(messageOf("91406400-15x0"), "'15x0' is not a valid integer value");
    EXPECT_EQ(messageOf("91406400-99999999999"), "'99999999999' is not a valid integer value");
    // A pasted megabyte is quoted by its start only.
    const std::string huge = "91406400-" + std::string(1 << 20, 'x');
    EXPECT_EQ(messageOf(huge.c_str()),
              "'" + std::string(40, 'x') + "...' is not a valid integer value");
}

TEST(Z2uvir, LineBytesAreSixHexDigitsInEitherCaseOrNothing) {
    using Bytes = std::optional<std::array<int, 3>>;
    const std::pair<const char*, Bytes> cases[] = {
        {"9c405a00-5", Bytes{{0x9C, 0x40, 0x5A}}}, // channel 13, not 1
        {"9C405A00-5", Bytes{{0x9C, 0x40, 0x5A}}},
        {"c1190000-0", Bytes{{0xC1, 0x19, 0x00}}},
        {"9G405A00-5", std::nullopt}, // never read as 90
        {"9 405A00-5", std::nullopt},
        {"91405", std::nullopt},
        {"91805A00-5", std::nullopt}, // a data byte of 80h
        {"F0405A00-5", std::nullopt}, // not a channel message
    };
    for (const auto& [line, expected] : cases) {
        const auto got = channelMessageOf(line);
        const Bytes bytes = got ? Bytes({got->status(), got->data1(), got->data2()}) : std::nullopt;
        EXPECT_EQ(bytes, expected) << line;
    }
}

TEST(StrictInt, AcceptsSignedDecimalsOnly) {
    EXPECT_EQ(strToInt("42"), 42);
    EXPECT_EQ(strToInt("-7"), -7);
    EXPECT_EQ(strToInt("+7"), 7);
    EXPECT_EQ(strToInt(" 12 "), 12);
    EXPECT_EQ(strToInt("2147483647"), 2147483647);
    EXPECT_EQ(strToInt("-2147483648"), -2147483647 - 1);
    EXPECT_THROW(strToInt("2147483648"), ConversionError);
    EXPECT_THROW(strToInt(""), ConversionError);
    EXPECT_THROW(strToInt("-"), ConversionError);
    EXPECT_THROW(strToInt("1 2"), ConversionError);
    EXPECT_THROW(strToInt("0x10"), ConversionError);
}

TEST(Z2uvir, OnlyChannelMessagesWithSevenBitDataAreValid) {
    EXPECT_TRUE(isValidChannelMessage(0x91, 0x40, 0x64));
    EXPECT_TRUE(isValidChannelMessage(0x80, 0, 0));
    EXPECT_TRUE(isValidChannelMessage(0xEF, 127, 127));
    EXPECT_FALSE(isValidChannelMessage(0x7F, 0, 0));
    EXPECT_FALSE(isValidChannelMessage(0xF0, 0, 0));
    EXPECT_FALSE(isValidChannelMessage(0x91, 128, 0));
    EXPECT_FALSE(isValidChannelMessage(0x91, 0, 200));
    EXPECT_FALSE(isValidChannelMessage(0x91, -1, 0));
}

} // namespace
} // namespace fw
