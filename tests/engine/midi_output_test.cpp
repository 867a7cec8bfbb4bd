#include "engine/clock.h"
#include "engine/midi_output.h"
#include "engine/prompts.h"
#include "engine/z2uvir.h"
#include "platform/midi_outputs.h"
#include "support/fakes.h"

#include <gtest/gtest.h>

namespace fw {
namespace {

struct OutputFixture : ::testing::Test {
    test::ManualClock clock{1000 * 10000};
    test::ScriptedPrompts prompts;
    VectorLog log;
    test::RecordingMidiPort port{&clock};
    MidiOutput out{clock, log, prompts};
    OutputFixture() { out.setPort(&port); }
};

TEST_F(OutputFixture, SilentEnsureOpenOpensWhenTheProbeFailsAndPutsNothingOnTheWire) {
    out.setMessage(0x91, 0x40, 0x64);
    out.ensureOpenSilent();
    EXPECT_EQ(port.openCalls, 1);
    EXPECT_TRUE(port.usable());
    EXPECT_EQ(out.midiMsg, MidiMessage(0x90));
    // Open already: the probe is a check, it neither reopens nor sends.
    out.ensureOpenSilent();
    EXPECT_EQ(port.openCalls, 1);
    EXPECT_TRUE(port.sent.empty());
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(OutputFixture, SilentEnsureOpenRetriesQuietlyWhenThereIsNoDevice) {
    port.failOpen = true;
    for (int tick = 0; tick < 3; ++tick)
        out.ensureOpenSilent();
    EXPECT_EQ(port.openCalls, 3);
    EXPECT_TRUE(prompts.messages.empty());
    // The line is logged even though nothing could be sent.
    EXPECT_TRUE(out.sendAndLog(0x91, 0x28, 0x64));
    EXPECT_TRUE(port.sent.empty());
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(log.lines[0], "91286400-1000");
}

TEST_F(OutputFixture, ReportingEnsureOpenShowsTheErrorOnlyWhenTheOpenFails) {
    out.setMessage(0xC1, 0x19, 0);
    out.ensureOpenReporting();
    EXPECT_EQ(port.openCalls, 1);
    EXPECT_TRUE(prompts.messages.empty());
    // It leaves the shared message as it was.
    EXPECT_EQ(out.midiMsg.status(), 0xC1);
    out.ensureOpenReporting();
    EXPECT_EQ(port.openCalls, 1);

    test::RecordingMidiPort dead(&clock);
    dead.failOpen = true;
    out.setPort(&dead);
    out.ensureOpenReporting();
    out.ensureOpenReporting();
    ASSERT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(prompts.messages[0], "Error opening MIDI Output.\n");
}

TEST_F(OutputFixture, ProbeOnlyNeverOpens) {
    EXPECT_FALSE(out.probeOnly());
    EXPECT_EQ(port.openCalls, 0);
    EXPECT_EQ(out.midiMsg, MidiMessage(0x90));
    port.open();
    EXPECT_TRUE(out.probeOnly());
    port.failSend = true;
    EXPECT_FALSE(out.probeOnly());
}

TEST_F(OutputFixture, SendAndLogTimesLinesFromTheLastResetAndRefusesBadBytes) {
    port.open();
    out.logStartTime = 1000;
    clock.advanceCentis(1530);
    EXPECT_TRUE(out.sendAndLog(0x91, 0x40, 0x64));
    ASSERT_EQ(port.sent.size(), 1u);
    EXPECT_EQ(port.sent[0].status, 0x91);
    EXPECT_EQ(port.sent[0].data1, 0x40);
    EXPECT_EQ(log.lines.back(), "91406400-1530");
    EXPECT_EQ(out.packedMessage(), 0x00644091u);

    // A note beyond 127 would put a status-like byte on the wire: neither sent nor logged.
    EXPECT_FALSE(out.sendAndLog(0x91, 0x80, 0x64));
    EXPECT_FALSE(out.sendAndLog(0x91, 0x40, 0xFF));
    EXPECT_EQ(port.sent.size(), 1u);
    EXPECT_EQ(log.lines.size(), 1u);

    // A recording started late in an hour keeps counting up after it.
    out.logStartTime = 359000;
    clock.setCentis(361000);
    out.sendAndLog(0x91, 0x40, 0);
    EXPECT_EQ(log.lines.back(), "91400000-2000");
}

TEST_F(OutputFixture, ResetAndChangingTheOutputSilenceTheOldOne) {
    port.open();
    out.reset();
    EXPECT_EQ(port.resets, 1);
    test::RecordingMidiPort other(&clock);
    out.setPort(&other);
    EXPECT_EQ(port.resets, 2);
    out.ensureOpenSilent();
    out.sendAndLog(0x91, 0x40, 0x64);
    EXPECT_EQ(other.sent.size(), 1u);
    EXPECT_TRUE(port.sent.empty());
}

TEST_F(OutputFixture, MessagesOfOneBeatCarryTheBeatsTimeStampAndAreLoggedAtIt) {
    port.open();
    const std::int64_t now = clock.stampMicros();
    out.sendAndLog(0x91, 0x40, 0x64);
    {
        // A beat handed over 15 ms before it is due.
        const MidiOutput::HeldStamp beat(out, now + 15000);
        out.sendAndLog(0x91, 0x40, 0);
        out.sendAndLog(0x91, 0x41, 0x64);
    }
    {
        // One due already: logged when it leaves.
        const MidiOutput::HeldStamp beat(out, now - 15000);
        out.sendAndLog(0x91, 0x42, 0x64);
    }
    clock.advanceMicros(20000);
    out.sendAndLog(0x91, 0x41, 0);
    ASSERT_EQ(port.sent.size(), 5u);
    const std::int64_t stamps[] = {now, now + 15000, now + 15000, now - 15000, now + 20000};
    for (std::size_t i = 0; i < 5; ++i)
        EXPECT_EQ(port.sent[i].stamp, stamps[i]) << i;
    EXPECT_EQ(log.lines, (std::vector<std::string>{
                             formatZ2uvirLine(0x91, 0x40, 0x64, 1000),
                             formatZ2uvirLine(0x91, 0x40, 0, 1001),
                             formatZ2uvirLine(0x91, 0x41, 0x64, 1001),
                             formatZ2uvirLine(0x91, 0x42, 0x64, 1000),
                             formatZ2uvirLine(0x91, 0x41, 0, 1002),
                         }));
}

TEST(MidiOutputs, ListsOutputZeroFirstAndFindsPortsByName) {
    std::vector<std::string> present = {"alsa:Synth A", "alsa:Synth B"};
    int made = 0;
    MidiOutputs outputs(
        "builtin:", [&] { return present; },
        [&](const std::string& key) {
            ++made;
            return std::make_unique<test::RecordingMidiPort>(nullptr, key);
        });
    EXPECT_EQ(outputs.count(), 1);
    outputs.rescan();
    ASSERT_EQ(outputs.count(), 3);
    EXPECT_EQ(outputs.names()[0], "Built-in synthesizer (General MIDI)");
    EXPECT_EQ(outputs.names()[2], "Synth B");
    MidiPort* b = outputs.port(2);
    EXPECT_EQ(b->name(), "alsa:Synth B");

    // Ports come and go: after a rescan the same name finds the same port at its new place.
    present = {"alsa:Synth B"};
    outputs.rescan();
    EXPECT_EQ(outputs.indexOfKey("alsa:Synth B"), 1);
    EXPECT_EQ(outputs.indexOfKey("alsa:Synth A"), -1);
    EXPECT_EQ(outputs.port(1), b);
    EXPECT_EQ(made, 1);
}

} // namespace
} // namespace fw
