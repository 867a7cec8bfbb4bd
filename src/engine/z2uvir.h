#pragma once

#include "engine/midi_message.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace fw {

// A byte value as exactly two upper-case hexadecimal digits ("05", "FF").
std::string byteToHex(int value);

// Hexadecimal text to an integer, read from the last character to the first; letters in either
// case. An empty text gives 0. Characters other than hexadecimal digits contribute nothing but
// still advance the place value, so a stray character never throws.
int hexToInt(std::string_view text);

// One sent message with its time: "SSD1D200-time".
std::string formatZ2uvirLine(int status, int data1, int data2, int timeCs);

struct Z2uvirLine {
    int status = 0;
    int data1 = 0;
    int data2 = 0;
    int time = 0;
};

// Reads a line by position: characters 1-2, 3-4, 5-6 are the three bytes, 7-9 are skipped
// unchecked, 10 onwards is the decimal time. A time that is not an integer (a line shorter than
// ten characters has an empty one) throws ConversionError with the field's text.
Z2uvirLine parseZ2uvirLine(std::string_view line);

// The time field alone (characters 10 onwards), strictly converted.
int z2uvirTime(std::string_view line);

// The three bytes of a log line (characters 1-6) when they are six hexadecimal digits, in either
// case, forming a valid channel message; nothing otherwise. Players, exporters and renderers read
// lines through this, so a line is either read as written or refused, never read as other bytes.
std::optional<MidiMessage> channelMessageOf(std::string_view line);

} // namespace fw
