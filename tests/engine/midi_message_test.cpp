#include "engine/midi_message.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

namespace fw {
namespace {

// Built at compile time, as the real-time paths may.
static_assert(MidiMessage::noteOn(1, 0x40, 0x64).packed() == 0x644091u);
static_assert(MidiMessage::fromPacked(0x00000CC1u) == MidiMessage::programChange(1, 12));

TEST(MidiMessage, PartsKindsAndThePackedForm) {
    struct Row {
        MidiMessage msg;
        std::uint32_t packed;
        MidiKind kind;
        int channel;
        int size;
        bool noteOn;
        bool valid;
    };
    const std::array rows{
        Row{MidiMessage::noteOn(1, 0x40, 0x64), 0x644091u, MidiKind::NoteOn, 1, 3, true, true},
        // A note on of velocity 0 ends the note.
        Row{MidiMessage::noteOn(15, 0x7F, 0), 0x007F9Fu, MidiKind::NoteOn, 15, 3, false, true},
        Row{MidiMessage::noteOff(0, 0, 0), 0x000080u, MidiKind::NoteOff, 0, 3, false, true},
        Row{MidiMessage::controlChange(3, 123, 0), 0x007BB3u, MidiKind::ControlChange, 3, 3, false,
            true},
        Row{MidiMessage::programChange(8, 0x19), 0x0019C8u, MidiKind::ProgramChange, 8, 2, false,
            true},
        Row{MidiMessage(0xD2, 0x10), 0x0010D2u, MidiKind::ChannelPressure, 2, 2, false, true},
        Row{MidiMessage::pitchBend(1, kPitchBendMax), 0x7F7FE1u, MidiKind::PitchBend, 1, 3, false,
            true},
        Row{MidiMessage::systemRealtime(kMidiClock), 0x0000F8u, MidiKind::System, 8, 1, false,
            false},
        Row{MidiMessage::systemRealtime(0xFF), 0x0000FFu, MidiKind::System, 15, 1, false, false},
        // Neither goes to an output: a system common message and a data byte alone.
        Row{MidiMessage(0xF2, 1, 2), 0x0201F2u, MidiKind::System, 2, 0, false, false},
        Row{MidiMessage(0x7F, 1, 2), 0x02017Fu, MidiKind::None, 15, 0, false, false},
        // A data byte of 0x80 or more is kept as it was packed, and is not valid to send.
        Row{MidiMessage(0x91, 0x80, 0xFF), 0xFF8091u, MidiKind::NoteOn, 1, 3, true, false},
        // Only the low byte of each part counts, as the channel's low four bits.
        Row{MidiMessage::noteOn(0x11, 0x140, -1), 0xFF4091u, MidiKind::NoteOn, 1, 3, true, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << std::hex << r.packed);
        EXPECT_EQ(r.msg.packed(), r.packed);
        EXPECT_EQ(MidiMessage::fromPacked(r.packed), r.msg);
        EXPECT_EQ(r.msg.status(), static_cast<int>(r.packed & 0xFF));
        EXPECT_EQ(r.msg.kind(), r.kind);
        EXPECT_EQ(r.msg.channel(), r.channel);
        EXPECT_EQ(r.msg.size(), r.size);
        EXPECT_EQ(r.msg.isNoteOn(), r.noteOn);
        EXPECT_EQ(r.msg.isValidChannelMessage(), r.valid);
    }
    // The fourth byte of a packed message is not part of it; on the wire the data bytes lose
    // their eighth bit.
    EXPECT_EQ(MidiMessage::fromPacked(0xAB644091u).packed(), 0x644091u);
    EXPECT_EQ(MidiMessage(0x91, 0x80, 0xFF).wireBytes(),
              (std::array<std::uint8_t, 3>{0x91, 0, 0x7F}));
}

TEST(MidiMessage, PitchBendCarriesFourteenBits) {
    for (const int value : {0, 1, 0x7F, 0x80, kPitchBendCentre, 0x2A55, kPitchBendMax}) {
        const MidiMessage msg = MidiMessage::pitchBend(2, value);
        EXPECT_EQ(msg.bend(), value);
        EXPECT_EQ(msg.data1(), value & 0x7F);
        EXPECT_EQ(msg.data2(), value >> 7);
        EXPECT_TRUE(msg.isValidChannelMessage());
    }
    // The centre is 00 40, as every receiver reads it.
    EXPECT_EQ(MidiMessage::pitchBend(0, kPitchBendCentre).packed(), 0x4000E0u);
}

} // namespace
} // namespace fw
