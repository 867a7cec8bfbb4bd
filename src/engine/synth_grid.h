#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace fw {

// The built-in synthesizer, placing every message at a given output frame. FluidSynth starts a
// note only at the start of one of its 64-frame blocks, which would move picks by up to 1.5 ms
// against each other. So four synthesizers share one SoundFont with their blocks 16 frames apart:
// a note goes to the one whose block starts soonest, every other message to all four. A
// synthesizer renders only while it sounds, so the grid costs next to nothing while idle.
class SynthGrid {
public:
    static constexpr int kLanes = 4;
    static constexpr int kBlock = 64;
    // Not a MIDI message: silences every note on every channel ("Silence").
    static constexpr std::uint32_t kAllSoundsOff = 0xFF;

    SynthGrid(int sampleRate, const std::string& soundFont);
    ~SynthGrid();
    SynthGrid(const SynthGrid&) = delete;
    SynthGrid& operator=(const SynthGrid&) = delete;

    bool loaded() const { return loaded_; }
    int sampleRate() const { return sampleRate_; }
    // Frames rendered so far.
    std::int64_t position() const { return position_; }
    // Applies a message at an output frame; a frame already rendered means as soon as possible
    // (and counts as late). Messages come in the order they are to apply.
    void post(std::int64_t frame, std::uint32_t packed);
    // Renders the next frames, overwriting left and right.
    void render(int frames, float* left, float* right);

    // Synthesizers rendering now, and messages that came after their frame had been rendered.
    int awakeLanes() const;
    std::int64_t lateMessages() const { return late_; }
    // Voices sounding in all the synthesizers, released ones included until they end.
    int activeVoices() const;

private:
    struct Lane;
    void nextBlock(Lane& lane);
    std::int64_t boundaryAtOrAfter(const Lane& lane, std::int64_t frame) const;
    void enqueue(Lane& lane, std::int64_t frame, std::uint32_t packed);

    int sampleRate_;
    bool loaded_ = false;
    std::int64_t position_ = 0;
    std::int64_t late_ = 0;
    std::unique_ptr<Lane[]> lanes_;
};

} // namespace fw
