#include "beats/beat_instrument.h"
#include "engine/log_sink.h"
#include "engine/midi_output.h"
#include "support/fakes.h"

#include <gtest/gtest.h>

namespace fw {
namespace {

TEST(BeatInstrument, AnnouncesTheSelectedProgramOnTheBeatChannel) {
    test::ManualClock clock(5000 * 10000LL);
    test::ScriptedPrompts prompts;
    VectorLog log;
    test::RecordingMidiPort port(&clock);
    MidiOutput out(clock, log, prompts);
    out.setPort(&port);
    out.logStartTime = 4990;

    // The probe opens the output first.
    EXPECT_TRUE(announceBeatInstrument(out, 0));
    EXPECT_TRUE(port.opened);
    EXPECT_TRUE(announceBeatInstrument(out, 127));
    EXPECT_EQ(log.lines, (std::vector<std::string>{"C0000000-10", "C07F0000-10"}));
    ASSERT_EQ(port.sent.size(), 2u);
    EXPECT_EQ(port.sent[1].status, 0xC0);
    EXPECT_EQ(port.sent[1].data1, 0x7F);
    // With nothing selected nothing goes out: no program FFh reaches the port or the log.
    EXPECT_FALSE(announceBeatInstrument(out, -1));
    EXPECT_EQ(port.sent.size(), 2u);
    EXPECT_EQ(log.lines.size(), 2u);
}

} // namespace
} // namespace fw
