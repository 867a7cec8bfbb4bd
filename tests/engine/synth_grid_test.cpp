#include "engine/midi_message.h"
#include "engine/stream_clock.h"
#include "platform/fluidsynth/fluid_calls.h"
#include "platform/fluidsynth/soundfont_subset.h"
#include "platform/fluidsynth/synth_grid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace fw {
namespace {

// Renders up to a frame and returns the first frame from `from` on louder than threshold.
std::int64_t renderToOnset(SynthGrid& grid, std::int64_t from, std::int64_t until) {
    std::vector<float> left(static_cast<std::size_t>(until - grid.position()));
    std::vector<float> right(left.size());
    const std::int64_t start = grid.position();
    grid.render(static_cast<int>(left.size()), left.data(), right.data());
    for (std::int64_t f = std::max(from, start); f < until; ++f)
        if (std::fabs(left[static_cast<std::size_t>(f - start)]) > 0.02f)
            return f;
    return -1;
}

TEST(SynthGrid, NotesStartWithinAQuarterBlockOfTheirFrameAndIdleLanesSleep) {
    SynthGrid grid(44100, FW_DEFAULT_SOUNDFONT);
    ASSERT_TRUE(grid.loaded()) << "General MIDI SoundFont missing";
    grid.post(0, MidiMessage::programChange(1, 115)); // woodblock: a sharp attack
    // Notes at every offset within a block, half a second apart: FluidSynth alone would start
    // them on its 64-frame grid, up to 63 frames late.
    std::vector<std::int64_t> delays;
    for (int offset = 0; offset < SynthGrid::kBlock; offset += 5) {
        const std::int64_t frame = (delays.size() + 1) * 22050 + offset;
        renderToOnset(grid, frame, frame);
        grid.post(frame, MidiMessage::noteOn(1, 76, 100));
        const std::int64_t onset = renderToOnset(grid, frame, frame + 4410);
        ASSERT_GE(onset, frame) << offset;
        delays.push_back(onset - frame);
    }
    const auto [lo, hi] = std::minmax_element(delays.begin(), delays.end());
    EXPECT_LT(*hi - *lo, SynthGrid::kBlock / SynthGrid::kLanes);
    EXPECT_EQ(grid.lateMessages(), 0);

    // Once the last note and its reverb have died away nothing renders, and a program change
    // or a bend does not wake anything; a note does.
    renderToOnset(grid, 0, grid.position() + 3 * 44100);
    EXPECT_EQ(grid.awakeLanes(), 0);
    grid.post(grid.position(), MidiMessage::pitchBend(1, kPitchBendCentre));
    grid.post(grid.position() - 100, MidiMessage::noteOn(1, 76, 100)); // already past: at once
    EXPECT_EQ(grid.lateMessages(), 1);
    EXPECT_GE(renderToOnset(grid, grid.position(), grid.position() + 4410), 0);
    EXPECT_EQ(grid.awakeLanes(), 1);
}

TEST(SynthGrid, ALaneFullOfRingingNotesPassesNewOnesOnRatherThanCutOneShort) {
    // Forty notes struck on one frame would all start in one lane; past its share of voices
    // FluidSynth would end some. Every one of them still sounds.
    const auto voicesOf = [](int notes) {
        SynthGrid grid(44100, FW_DEFAULT_SOUNDFONT);
        grid.post(0, MidiMessage::programChange(1, 25));
        for (int n = 0; n < notes; ++n)
            grid.post(640, MidiMessage::noteOn(1, 40 + n, 100));
        renderToOnset(grid, 0, 4410);
        return grid.activeVoices();
    };
    const int one = voicesOf(1);
    ASSERT_GT(one, 0) << "General MIDI SoundFont missing";
    EXPECT_EQ(voicesOf(40), 40 * one);
}

TEST(SynthGrid, OnDemandAProgramChangeWaitsUntilItsInstrumentIsLoaded) {
    SynthGrid grid(44100, FW_DEFAULT_SOUNDFONT, SynthGrid::Samples::OnDemand);
    ASSERT_TRUE(grid.loaded()) << "General MIDI SoundFont missing";
    // The program change and the note behind it wait; the lane renders silence meanwhile.
    grid.post(0, MidiMessage::programChange(1, 115));
    grid.post(100, MidiMessage::noteOn(1, 76, 100));
    EXPECT_EQ(renderToOnset(grid, 0, 22050), -1);
    EXPECT_FALSE(grid.prepared(0, 115));
    grid.prepare(0, 115);
    EXPECT_TRUE(grid.prepared(0, 115));
    EXPECT_GE(renderToOnset(grid, grid.position(), grid.position() + 4410), 0);

    // A bank the SoundFont lacks falls back to bank 0, as FluidSynth itself does; after a long
    // silence the same woodblock sounds again.
    renderToOnset(grid, 0, grid.position() + 2 * 44100);
    grid.post(grid.position(), MidiMessage::controlChange(1, 0, 5));
    grid.post(grid.position(), MidiMessage::programChange(1, 115));
    grid.post(grid.position(), MidiMessage::noteOn(1, 76, 100));
    grid.prepare(5, 115);
    EXPECT_GE(renderToOnset(grid, grid.position(), grid.position() + 4410), 0);
}

// Loaded on demand, each instrument comes from a SoundFont made of its part of the file: it must
// sound as the whole SoundFont loaded at once sounds it (loading on demand as such leaves the
// piano some 90 dB apart; a wrong sample, zone or modulator is heard far above that).
TEST(SynthGrid, OnDemandInstrumentsSoundAsTheWholeSoundFontDoes) {
    struct Case {
        int channel, bank, program, key;
    };
    const Case cases[] = {
        {0, 0, 25, 52},  // steel-string guitar
        {1, 0, 0, 60},   // piano, in stereo
        {9, 128, 0, 38}, // the drum kit's snare
        {2, 8, 48, 67},  // strings from a bank the SoundFont lacks: bank 0's
    };
    SynthGrid whole(44100, FW_DEFAULT_SOUNDFONT);
    SynthGrid parted(44100, FW_DEFAULT_SOUNDFONT, SynthGrid::Samples::OnDemand);
    ASSERT_TRUE(whole.loaded() && parted.loaded()) << "General MIDI SoundFont missing";
    std::vector<float> l1(22050), r1(22050), l2(22050), r2(22050);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.program);
        parted.prepare(presetBank(c.channel, c.bank), c.program);
        for (SynthGrid* grid : {&whole, &parted}) {
            const std::int64_t at = grid->position();
            grid->post(at, MidiMessage::controlChange(c.channel, 0, c.bank));
            grid->post(at, MidiMessage::programChange(c.channel, c.program));
            grid->post(at + 100, MidiMessage::noteOn(c.channel, c.key, 100));
            grid->post(at + 11025, MidiMessage::noteOff(c.channel, c.key));
        }
        whole.render(22050, l1.data(), r1.data());
        parted.render(22050, l2.data(), r2.data());
        float loudest = 0, apart = 0;
        for (std::size_t i = 0; i < l1.size(); ++i) {
            loudest = std::max(loudest, std::fabs(l1[i]));
            apart = std::max({apart, std::fabs(l1[i] - l2[i]), std::fabs(r1[i] - r2[i])});
        }
        EXPECT_GT(loudest, 0.01f);
        EXPECT_LT(apart, 1e-4f);
    }
}

// The smallest SoundFont: one preset of one instrument of one sample, which some cases harm.
// FluidSynth starts its DLS reader with every synthesizer; the program starts it only for a
// whole file handed to FluidSynth's loaders, and it stops with the last synthesizer.
TEST(SynthGrid, StartsDlsSupportOnlyForAWholeFileAndStopsItWithTheLastSynthesizer) {
    ASSERT_EQ(dlsSupport().requested, 0) << "a synthesizer of another test still lives";
    {
        SynthGrid parted(44100, FW_DEFAULT_SOUNDFONT, SynthGrid::Samples::OnDemand);
        ASSERT_TRUE(parted.loaded()) << "General MIDI SoundFont missing";
        parted.prepare(0, 25);
        parted.post(0, MidiMessage::programChange(0, 25));
        parted.post(100, MidiMessage::noteOn(0, 52, 100));
        EXPECT_GE(renderToOnset(parted, 0, 4410), 0);
        // The keeper and the four lanes asked; nothing started.
        EXPECT_EQ(dlsSupport().requested, 1 + SynthGrid::kLanes);
        EXPECT_FALSE(dlsSupport().started);
        // A file FluidSynth's SF2 reader refuses goes on to the DLS reader, which refuses it
        // too, started or not (a part that fails to load would take this way).
        const std::string junk = testing::TempDir() + "fw-not-dls.dls";
        std::FILE* f = std::fopen(junk.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs("RIFF\x10\0\0\0DLS LIST\x04\0\0\0wave", f);
        std::fclose(f);
        fluid_settings_t* settings = new_fluid_settings();
        fluid_synth_t* synth = new_fluid_synth(settings);
        EXPECT_EQ(fluid_synth_sfload(synth, junk.c_str(), 0), FLUID_FAILED);
        EXPECT_FALSE(dlsSupport().started);
        delete_fluid_synth(synth);
        delete_fluid_settings(settings);
        std::remove(junk.c_str());
        {
            SynthGrid whole(44100, FW_DEFAULT_SOUNDFONT);
            ASSERT_TRUE(whole.loaded());
            EXPECT_TRUE(dlsSupport().started);
        }
        EXPECT_EQ(dlsSupport().requested, 1 + SynthGrid::kLanes);
        EXPECT_TRUE(dlsSupport().started);
    }
    EXPECT_EQ(dlsSupport().requested, 0);
    EXPECT_FALSE(dlsSupport().started);
}

struct TinySoundFont {
    const char* riff = "RIFF";
    int instrument = 0; // the preset zone's instrument
    int presetBag = 0, endBag = 1;
    std::size_t cut = 0;

    std::string bytes() const {
        auto le = [](std::uint32_t v, int n) {
            std::string out;
            for (int i = 0; i < n; ++i)
                out.push_back(static_cast<char>(i < 4 ? (v >> (8 * i)) & 0xFF : 0));
            return out;
        };
        auto chunk = [&](const char* id, const std::string& data) {
            return std::string(id, 4) + le(static_cast<std::uint32_t>(data.size()), 4) + data;
        };
        auto name = [](const char* n) {
            return std::string(n) + std::string(20 - strlen(n), '\0');
        };
        const std::string pdta =
            "pdta" +
            chunk("phdr", name("P") + le(0, 2) + le(0, 2) + le(presetBag, 2) + le(0, 12) +
                              name("EOP") + le(0, 4) + le(endBag, 2) + le(0, 12)) +
            chunk("pbag", le(0, 4) + le(1, 2) + le(0, 2)) + chunk("pmod", le(0, 10)) +
            chunk("pgen", le(41, 2) + le(instrument, 2) + le(0, 4)) +
            chunk("inst", name("I") + le(0, 2) + name("EOI") + le(1, 2)) +
            chunk("ibag", le(0, 4) + le(1, 2) + le(0, 2)) + chunk("imod", le(0, 10)) +
            chunk("igen", le(53, 2) + le(0, 2) + le(0, 4)) +
            chunk("shdr", name("S") + le(0, 4) + le(4, 4) + le(0, 4) + le(4, 4) + le(44100, 4) +
                              le(60, 1) + le(0, 1) + le(0, 2) + le(1, 2) + name("EOS") + le(0, 26));
        const std::string body =
            "sfbk" + chunk("LIST", "INFO" + chunk("ifil", le(2, 2) + le(1, 2))) +
            chunk("LIST", "sdta" + chunk("smpl", std::string(8, '\0'))) + chunk("LIST", pdta);
        const std::string file = chunk(riff, body);
        return file.substr(0, file.size() - cut);
    }
};

TEST(SoundFontIndex, PartsAPresetOutOfAWellMadeFileAndRefusesAHarmedOne) {
    const std::string path = ::testing::TempDir() + "/tiny.sf2";
    struct Case {
        const char* what;
        TinySoundFont font;
        bool parted;
    };
    const Case cases[] = {
        {"well made", {}, true},
        {"cut short", {.cut = 10}, false},
        {"not a RIFF file", {.riff = "RIFX"}, false},
        {"instrument out of range", {.instrument = 1}, false},
        {"bags going back", {.presetBag = 1, .endBag = 0}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string bytes = c.font.bytes();
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_TRUE(f);
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        const int fd = ::open(path.c_str(), O_RDONLY);
        const auto index = SoundFontIndex::read(fd, static_cast<long long>(bytes.size()));
        ASSERT_EQ(index != nullptr, c.parted);
        if (!index) {
            ::close(fd);
            continue;
        }
        EXPECT_EQ(index->presetIndex(0, 0), 0);
        EXPECT_EQ(index->presetIndex(0, 1), -1);
        // The part holding the only preset is the file itself, the sample data read in place.
        std::string part;
        for (const SoundFontIndex::Piece& piece : index->subset(fd, 0))
            part += piece.fileOffset < 0 ? piece.bytes
                                         : bytes.substr(static_cast<std::size_t>(piece.fileOffset),
                                                        static_cast<std::size_t>(piece.length));
        EXPECT_EQ(part, bytes);
        // The preset data is read again for a part: harmed since, it gives none.
        TinySoundFont harmed = c.font;
        harmed.instrument = 1;
        const std::string changed = harmed.bytes();
        const int rw = ::open(path.c_str(), O_WRONLY);
        ASSERT_EQ(::pwrite(rw, changed.data(), changed.size(), 0),
                  static_cast<ssize_t>(changed.size()));
        ::close(rw);
        EXPECT_TRUE(index->subset(fd, 0).empty());
        ::close(fd);
    }
}

TEST(StreamClock, MapsStampsToFramesThroughLateCallbacksAndTakesUpALastingShift) {
    StreamClock clock(44100, 4000);
    // The stream asks for 441 frames every 10 ms; frame 0 lies at 1 s.
    std::int64_t end = 0;
    std::int64_t now = 1000000;
    const auto callback = [&](std::int64_t lateBy) {
        end += 441;
        clock.update(now + lateBy, end);
        now += 10000;
    };
    for (int i = 0; i < 20; ++i)
        callback(i % 7 == 3 ? 3000 : 0); // now and then one runs 3 ms late
    // A stamp sounds its margin after it: 4 ms after 1 s is frame 176.4 (plus the 441 frames
    // the first callback wrote before its time).
    EXPECT_EQ(clock.frameFor(1000000), 441 + 176);
    EXPECT_EQ(clock.frameFor(1100000) - clock.frameFor(1000000), 4410);
    // After the sound ran dry for 20 ms every callback comes that much later for good.
    now += 20000;
    for (int i = 0; i < 60; ++i)
        callback(0);
    EXPECT_EQ(clock.frameFor(1000000), 441 + 176 - 882);
}

TEST(StreamClock, FollowsAPausedStreamAtOnceAndKeepsItsMapWhenAskedMoreOftenThanItHolds) {
    StreamClock clock(44100, 0);
    std::int64_t end = 0;
    std::int64_t now = 1000000;
    for (int i = 0; i < 20; ++i) {
        end += 441;
        clock.update(now, end);
        now += 10000;
    }
    // The stream paused for two seconds: frame 0 now lies two seconds later. Restarted, the
    // first callback is the map.
    now += 2000000;
    clock.restart();
    end += 441;
    clock.update(now, end);
    EXPECT_EQ(clock.frameFor(now), end);

    // A callback every 100 us, each writing a little less than that: every reading is later
    // than the one before, so all of them stay in the window, more than the ring holds.
    clock.restart();
    const int callbacks = 3 * static_cast<int>(StreamClock::kReadings) / 2;
    std::vector<double> origins;
    for (int i = 0; i < callbacks; ++i) {
        end += 4;
        now += 100;
        clock.update(now, end);
        origins.push_back(static_cast<double>(now) - static_cast<double>(end) * 1e6 / 44100);
    }
    // The oldest that the ring still holds is the map.
    const double origin = origins[origins.size() - StreamClock::kReadings];
    EXPECT_EQ(clock.frameFor(now), std::llround((static_cast<double>(now) - origin) * 44100 / 1e6));
}

} // namespace
} // namespace fw
