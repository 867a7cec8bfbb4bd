#pragma once

#include <array>
#include <cstdint>

namespace fw {

// What a status byte announces: for a channel message its high four bits.
enum class MidiKind : std::uint8_t {
    None = 0x00, // a data byte where a status byte belongs
    NoteOff = 0x80,
    NoteOn = 0x90,
    KeyPressure = 0xA0,
    ControlChange = 0xB0,
    ProgramChange = 0xC0,
    ChannelPressure = 0xD0,
    PitchBend = 0xE0,
    System = 0xF0, // exclusive, common and real-time alike
};

// The system real-time messages of MIDI clock.
inline constexpr int kMidiClock = 0xF8;
inline constexpr int kMidiStart = 0xFA;
inline constexpr int kMidiContinue = 0xFB;
inline constexpr int kMidiStop = 0xFC;

// The channel mode controllers that silence a channel.
inline constexpr int kAllSoundOff = 120;
inline constexpr int kAllNotesOff = 123;

// The pitch bend at rest, and its greatest value: fourteen bits.
inline constexpr int kPitchBendCentre = 0x2000;
inline constexpr int kPitchBendMax = 0x3FFF;

// One MIDI short message: a status byte and up to two data bytes. The bytes are kept as given,
// a data byte with its eighth bit set included, so that whatever was packed unpacks the same;
// only wireBytes() clears that bit, as every output does when it sends.
class MidiMessage {
public:
    constexpr MidiMessage() = default;
    constexpr explicit MidiMessage(int status, int data1 = 0, int data2 = 0)
        : status_(static_cast<std::uint8_t>(status)), data1_(static_cast<std::uint8_t>(data1)),
          data2_(static_cast<std::uint8_t>(data2)) {}

    // A channel message of the given kind; the channel is 0..15.
    static constexpr MidiMessage channelMessage(MidiKind kind, int channel, int data1,
                                                int data2 = 0) {
        return MidiMessage(static_cast<int>(kind) | (channel & 0x0F), data1, data2);
    }
    static constexpr MidiMessage noteOn(int channel, int key, int velocity) {
        return channelMessage(MidiKind::NoteOn, channel, key, velocity);
    }
    static constexpr MidiMessage noteOff(int channel, int key, int velocity = 0) {
        return channelMessage(MidiKind::NoteOff, channel, key, velocity);
    }
    static constexpr MidiMessage controlChange(int channel, int controller, int value) {
        return channelMessage(MidiKind::ControlChange, channel, controller, value);
    }
    static constexpr MidiMessage programChange(int channel, int program) {
        return channelMessage(MidiKind::ProgramChange, channel, program);
    }
    // The fourteen-bit value (0..16383, kPitchBendCentre at rest) goes low seven bits first.
    static constexpr MidiMessage pitchBend(int channel, int value) {
        return channelMessage(MidiKind::PitchBend, channel, value & 0x7F, (value >> 7) & 0x7F);
    }
    static constexpr MidiMessage systemRealtime(int status) { return MidiMessage(status); }

    // The packed form the outputs pass along: status in the lowest byte, then data 1, data 2;
    // the fourth byte is zero and ignored when unpacking.
    static constexpr MidiMessage fromPacked(std::uint32_t packed) {
        return MidiMessage(static_cast<int>(packed & 0xFFu),
                           static_cast<int>((packed >> 8) & 0xFFu),
                           static_cast<int>((packed >> 16) & 0xFFu));
    }
    constexpr std::uint32_t packed() const {
        return std::uint32_t{status_} | (std::uint32_t{data1_} << 8) |
               (std::uint32_t{data2_} << 16);
    }

    constexpr int status() const { return status_; }
    constexpr int data1() const { return data1_; }
    constexpr int data2() const { return data2_; }
    // For a channel message: the channel 0..15 and what it does.
    constexpr int channel() const { return status_ & 0x0F; }
    constexpr MidiKind kind() const {
        return status_ < 0x80 ? MidiKind::None : static_cast<MidiKind>(status_ & 0xF0);
    }
    // The fourteen-bit value of a pitch bend.
    constexpr int bend() const { return (data1_ & 0x7F) | ((data2_ & 0x7F) << 7); }

    constexpr bool isChannelMessage() const { return status_ >= 0x80 && status_ < 0xF0; }
    constexpr bool isSystemRealtime() const { return status_ >= 0xF8; }
    // A note on with a velocity: a note on of velocity 0 is a note off.
    constexpr bool isNoteOn() const { return kind() == MidiKind::NoteOn && (data2_ & 0x7F) != 0; }
    // A channel message whose data bytes are all below 0x80: what may go to a MIDI port as is.
    constexpr bool isValidChannelMessage() const {
        return isChannelMessage() && data1_ < 0x80 && data2_ < 0x80;
    }

    // Bytes on the wire: 1 for a system real-time message, 2 or 3 for a channel message, 0 for
    // anything the outputs do not send.
    constexpr int size() const {
        if (isSystemRealtime())
            return 1;
        if (!isChannelMessage())
            return 0;
        const MidiKind k = kind();
        return (k == MidiKind::ProgramChange || k == MidiKind::ChannelPressure) ? 2 : 3;
    }
    // The status and the data bytes with their eighth bit cleared; size() of them are sent.
    constexpr std::array<std::uint8_t, 3> wireBytes() const {
        return {status_, static_cast<std::uint8_t>(data1_ & 0x7F),
                static_cast<std::uint8_t>(data2_ & 0x7F)};
    }
    // The same message with its data bytes as wireBytes() sends them.
    constexpr MidiMessage onWire() const {
        return MidiMessage(status_, data1_ & 0x7F, data2_ & 0x7F);
    }

    friend constexpr bool operator==(const MidiMessage&, const MidiMessage&) = default;

private:
    std::uint8_t status_ = 0;
    std::uint8_t data1_ = 0;
    std::uint8_t data2_ = 0;
};

// True when the three values form a channel message that may go to a MIDI port: a status byte
// from 0x80 to 0xEF and data bytes from 0 to 0x7F. Checked before they become bytes, so that a
// note of 300 is refused rather than sent as 44.
constexpr bool isValidChannelMessage(int status, int data1, int data2) {
    return status >= 0x80 && status <= 0xEF && data1 >= 0 && data1 < 0x80 && data2 >= 0 &&
           data2 < 0x80;
}

} // namespace fw
