#pragma once

#include "engine/midi_message.h"

#include <fluidsynth.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace fw {

class HeldSoundFont;

// The built-in synthesizer, placing every message at a given output frame. FluidSynth starts a
// note only at the start of one of its 64-frame blocks, which would move picks by up to 1.5 ms
// against each other. So four synthesizers share one SoundFont with their blocks 16 frames apart:
// a note goes to the one whose block starts soonest (unless its voices are taken: the lanes share
// their polyphony), every other message to all four. A synthesizer renders only while it sounds,
// so the grid costs next to nothing while idle.
//
// A grid for live play loads the SoundFont's instruments on demand: only those asked for with
// prepare(), which loads them on the calling thread, each from a SoundFont made of its own part
// of the file (so that FluidSynth never holds the zones of the whole set). A program change waits
// in its queue until its instrument is prepared, so the audio thread never reads a SoundFont file.
// A grid for offline rendering loads every sample at once and needs no preparing.
//
// The file stays open while the grid lives, so that one deleted meanwhile still serves. Once it
// has changed (cut short, rewritten), nothing more is loaded from it: the instruments loaded
// play on, others select no instrument, and soundFontLost() tells the owner to replace the grid.
//
// All but prepare() and prepared() come from one thread at a time, the audio thread while it
// plays: FluidSynth's own locks are off, and the audio thread never allocates, frees or locks.
class SynthGrid {
public:
    static constexpr int kLanes = 4;
    static constexpr int kBlock = 64;
    // Not MIDI messages, but system statuses that never come from outside: silences every note
    // on every channel at once ("Silence"); releases every note on every channel, as an all
    // notes off does; sets the volume in percent.
    static constexpr MidiMessage allSoundsOff() { return MidiMessage(kAllSoundsOffStatus); }
    static constexpr MidiMessage releaseAll() { return MidiMessage(kReleaseAllStatus); }
    static constexpr MidiMessage volumeMessage(int percent) {
        return MidiMessage(kSetVolumeStatus, percent);
    }

    enum class Samples { All, OnDemand };

    SynthGrid(int sampleRate, const std::string& soundFont, Samples samples = Samples::All);
    ~SynthGrid();
    SynthGrid(const SynthGrid&) = delete;
    SynthGrid& operator=(const SynthGrid&) = delete;

    bool loaded() const { return loaded_; }
    int sampleRate() const { return sampleRate_; }
    // Frames rendered so far.
    std::int64_t position() const { return position_; }
    // Applies a message at an output frame; a frame already rendered means as soon as possible
    // (and counts as late). Messages come in the order they are to apply.
    void post(std::int64_t frame, MidiMessage message);
    // Renders the next frames, overwriting left and right.
    void render(int frames, float* left, float* right);

    // Synthesizers rendering now, and messages that came after their frame had been rendered (or
    // program changes held back past it while their instrument loaded).
    int awakeLanes() const;
    // Nothing sounds and no message waits for a later block.
    bool idle() const;
    std::int64_t lateMessages() const { return late_; }
    // Messages dropped because a lane held as many as it can.
    std::int64_t droppedMessages() const { return dropped_; }
    // Voices sounding in all the synthesizers, released ones included until they end.
    int activeVoices() const;

    // Loads the samples of the instrument that a program change to (bank, program) selects, so
    // that such program changes take effect. Not on the audio thread; any other thread may call.
    // False when the SoundFont can no longer be read.
    bool prepare(int bank, int program);
    bool prepared(int bank, int program) const;
    bool soundFontLost() const { return lost_.load(std::memory_order_acquire); }

    // What FluidSynth's callbacks for the instruments prepared read, bank by bank.
    template <typename T, T kUnset> class BankTable;
    using PresetTable = BankTable<fluid_preset_t*, nullptr>;

private:
    class LaneQueue;
    struct Lane;
    // Marks an instrument being loaded, once no selection is under way.
    class PinGuard {
    public:
        explicit PinGuard(SynthGrid& grid);
        ~PinGuard();
        PinGuard(const PinGuard&) = delete;
        PinGuard& operator=(const PinGuard&) = delete;

    private:
        SynthGrid& grid_;
    };
    bool makeLane(int i);
    void loadOnDemand(const std::string& soundFont);
    // Loads the instrument from a SoundFont made of its part of the file, and pins its samples.
    bool loadPart(int bank, int program);
    void nextBlock(Lane& lane);
    std::int64_t boundaryAtOrAfter(const Lane& lane, std::int64_t frame) const;
    bool enqueue(Lane& lane, std::int64_t frame, MidiMessage message);
    // False when a program change cannot take effect yet; it then waits at the queue's head.
    bool selectProgram(Lane& lane, MidiMessage change);

    static constexpr int kAllSoundsOffStatus = 0xFF;
    static constexpr int kReleaseAllStatus = 0xFD;
    static constexpr int kSetVolumeStatus = 0xF9;

    static constexpr int kBanks = 129;
    static constexpr std::int32_t kNotPrepared = -1;
    static constexpr std::int32_t kNoInstrument = -2;

    int sampleRate_;
    Samples samples_;
    bool loaded_ = false;
    // The synthesizer that owns the SoundFont when samples load on demand: it holds the
    // instruments prepared so far, and its samples stay loaded while the grid lives.
    std::shared_ptr<HeldSoundFont> held_;
    std::atomic<bool> lost_{false};
    struct Keeper;
    std::unique_ptr<Keeper> keeper_;
    // When the file can be parted: what the lanes borrow, and the instruments it finds.
    fluid_sfont_t* parts_ = nullptr;
    std::unique_ptr<PresetTable> presets_;
    std::mutex presetMutex_; // one load at a time, among the threads that prepare
    std::atomic<bool> pinning_{false};
    std::atomic<bool> selecting_{false}; // the audio thread is selecting an instrument
    fluid_settings_t* laneSettings_ = nullptr;
    // Per bank and program: the instrument selected, as bank << 8 | program, once prepared.
    std::unique_ptr<BankTable<std::int32_t, kNotPrepared>> selected_;
    std::array<int, 16> bankSelect_{}; // the last bank select (controller 0) of each channel
    std::int64_t position_ = 0;
    std::int64_t late_ = 0;
    std::int64_t dropped_ = 0;
    std::unique_ptr<Lane[]> lanes_;
};

// The bank a program change selects from: the percussion channel (10) plays bank 128, the
// others the last bank select.
inline int presetBank(int channel, int bankSelect) {
    return channel == 9 ? 128 : bankSelect;
}

} // namespace fw
