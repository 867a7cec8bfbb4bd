#include "engine/midi_port.h"
#include "platform/fluidsynth/fluid_synth_port.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace fw {
namespace {

double rms(const std::vector<std::int16_t>& s, std::size_t from, std::size_t to) {
    double sum = 0;
    for (std::size_t i = from; i < to && i < s.size(); ++i)
        sum += static_cast<double>(s[i]) * s[i];
    return to > from ? std::sqrt(sum / static_cast<double>(to - from)) : 0;
}

TEST(OfflineSynth, PlaysANoteAndFallsSilentAfterReset) {
    OfflineSynth synth(44100);
    ASSERT_TRUE(synth.loaded()) << "General MIDI SoundFont missing";
    std::vector<std::int16_t> pcm;
    synth.render(4410, pcm);
    EXPECT_LT(rms(pcm, 0, pcm.size()), 1.0) << "silent before any note";

    synth.send(MidiMessage::programChange(1, 25)); // steel string guitar on the guitar's channel
    synth.send(MidiMessage::noteOn(1, 52, 100));
    pcm.clear();
    synth.render(22050, pcm);
    EXPECT_GT(rms(pcm, 0, pcm.size()), 300.0);

    synth.reset();
    pcm.clear();
    synth.render(44100, pcm); // let the reverb's tail die away
    pcm.clear();
    synth.render(4410, pcm);
    EXPECT_LT(rms(pcm, 0, pcm.size()), 2.0);
}

TEST(OfflineSynth, NoteOffWithZeroVelocityEndsTheNote) {
    OfflineSynth synth(44100);
    ASSERT_TRUE(synth.loaded());
    std::vector<std::int16_t> pcm;
    synth.send(MidiMessage::programChange(1, 80)); // a square lead sustains while held
    synth.send(MidiMessage::noteOn(1, 60, 100));
    synth.render(22050, pcm);
    const double held = rms(pcm, 0, pcm.size());
    synth.send(MidiMessage::noteOn(1, 60, 0));
    pcm.clear();
    synth.render(88200, pcm);
    EXPECT_LT(rms(pcm, pcm.size() - 8820, pcm.size()), held / 50);
}

} // namespace
} // namespace fw
