#include "platform/fluidsynth/synth_grid.h"

#include "engine/realtime_ring.h"
#include "platform/fluidsynth/fluid_calls.h"
#include "platform/fluidsynth/held_soundfont.h"

#include <fluidsynth.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <thread>
#include <utility>

namespace fw {

namespace {
// Below one step of 16-bit sound: a synthesizer this quiet for half a second with no voice left
// (the reverb's tail has died away) stops rendering until its next note.
constexpr float kQuiet = 1.0e-5f;
constexpr double kQuietSecondsToSleep = 0.5;
// FluidSynth's own default (0.2) leaves a picked guitar some 30 dB below full scale, too quiet
// beside other programs and in exported audio; seven strings at once still do not clip.
constexpr double kGain = 0.6;
constexpr int kLanePolyphony = 32;
// Voices a note may take (a stereo sample takes two, a layered instrument more): a lane takes a
// note while this many voices stay free for it after those sounding and those queued.
constexpr int kVoicesPerNote = 4;
// Messages a lane holds for later blocks: some milliseconds' worth, or all that comes while a
// program change waits for its instrument to load.
constexpr std::size_t kQueueLength = 4096;

fluid_settings_t* newSynthSettings(int sampleRate, SynthGrid::Samples samples) {
    fluid_settings_t* settings = new_fluid_settings();
    if (samples == SynthGrid::Samples::OnDemand) {
        fluid_settings_setint(settings, "synth.dynamic-sample-loading", 1);
        // Locking freshly loaded samples into memory holds the process's memory map meanwhile,
        // which stalls the audio thread at its next page fault.
        fluid_settings_setint(settings, "synth.lock-memory", 0);
    }
    fluid_settings_setnum(settings, "synth.sample-rate", sampleRate);
    fluid_settings_setint(settings, "synth.reverb.active", 1);
    fluid_settings_setint(settings, "synth.chorus.active", 0);
    // A lane sounds the notes that start in its quarter of the block, and those a fuller lane
    // passes on: 32 voices each, 128 in all. Each voice costs some 10 kB of memory.
    fluid_settings_setint(settings, "synth.polyphony", kLanePolyphony);
    fluid_settings_setnum(settings, "synth.gain", kGain);
    // Each synthesizer is called from one thread at a time (the audio thread once it plays), so
    // FluidSynth's own lock around every call is not needed.
    fluid_settings_setint(settings, "synth.threadsafe-api", 0);
    return settings;
}

// Lends the keeper's SoundFont to a lane through the lane's own loader, so that the lane takes
// it without selecting an instrument on every channel (which would load those samples).
fluid_sfont_t* lendSoundFont(fluid_sfloader_t* loader, const char*) {
    return static_cast<fluid_sfont_t*>(fluid_sfloader_get_data(loader));
}

} // namespace

// A value for each bank and program. Of the 129 banks a SoundFont uses two or three, so a bank's
// row is made only when a value of it is first set. The audio thread reads without a lock; the
// threads that prepare make the rows, which last as long as the table.
template <typename T, T kUnset> class SynthGrid::BankTable {
public:
    BankTable() = default;
    BankTable(const BankTable&) = delete;
    BankTable& operator=(const BankTable&) = delete;
    ~BankTable() {
        for (auto& row : rows_)
            delete row.load(std::memory_order_acquire);
    }
    T get(int bank, int program) const {
        const Row* row = rows_[bank].load(std::memory_order_acquire);
        return row ? (*row)[program].load(std::memory_order_acquire) : kUnset;
    }
    void set(int bank, int program, T value) {
        rowOf(bank)[program].store(value, std::memory_order_release);
    }

private:
    using Row = std::array<std::atomic<T>, 128>;
    Row& rowOf(int bank) {
        Row* row = rows_[bank].load(std::memory_order_acquire);
        if (row)
            return *row;
        auto made = std::make_unique<Row>();
        for (auto& value : *made)
            value.store(kUnset, std::memory_order_relaxed);
        // Two threads preparing at once may both make the row: the first one published stays.
        if (!rows_[bank].compare_exchange_strong(row, made.get(), std::memory_order_acq_rel,
                                                 std::memory_order_acquire))
            return *row;
        return *made.release();
    }
    std::array<std::atomic<Row*>, kBanks> rows_{};
};

namespace {

// The SoundFont the lanes see when each instrument is loaded from a part of the file of its own:
// it finds an instrument among those prepared, in a table the audio thread reads without a lock.
const char* partsName(fluid_sfont_t*) {
    return "instruments prepared";
}
fluid_preset_t* preparedPreset(fluid_sfont_t* sfont, int bank, int program) {
    if (bank < 0 || bank > 128 || program < 0 || program > 127)
        return nullptr;
    return static_cast<const SynthGrid::PresetTable*>(fluid_sfont_get_data(sfont))
        ->get(bank, program);
}
int freeParts(fluid_sfont_t* sfont) {
    delete_fluid_sfont(sfont);
    return 0;
}
} // namespace

struct SynthGrid::Keeper {
    fluid_settings_t* settings = nullptr;
    fluid_synth_t* synth = nullptr;
    int sfontId = FLUID_FAILED;
    ~Keeper() {
        if (synth)
            delete_fluid_synth(synth);
        if (settings)
            delete_fluid_settings(settings);
    }
};

// The messages of a lane in the order of their blocks, in storage taken at construction, so that
// the audio thread never allocates for them. The storage is left untouched until used, and the
// queue starts again at its first slot whenever it empties: the system gives it memory only for
// the longest backlog it has held, a few slots in play, not the room kept for the worst.
class SynthGrid::LaneQueue {
public:
    struct Entry {
        std::int64_t at; // the block start it is due at
        MidiMessage message;
    };
    LaneQueue() : slots_(untouchedSlots<Entry>(kQueueLength)) {}
    bool empty() const { return count_ == 0; }
    const Entry& front() const { return slots_[head_]; }
    void popFront() { head_ = --count_ == 0 ? 0 : (head_ + 1) % kQueueLength; }
    // After the messages due at the same block or before; false when full.
    bool insert(std::int64_t at, MidiMessage message) {
        if (count_ == kQueueLength)
            return false;
        std::size_t k = count_;
        for (; k > 0 && slot(k - 1).at > at; --k)
            slot(k) = slot(k - 1);
        slot(k) = {at, message};
        ++count_;
        return true;
    }

private:
    Entry& slot(std::size_t k) { return slots_[(head_ + k) % kQueueLength]; }
    UntouchedSlots<Entry> slots_;
    std::size_t head_ = 0;
    std::size_t count_ = 0;
};

struct SynthGrid::Lane {
    fluid_synth_t* synth = nullptr;
    std::int64_t blockStart = 0; // output frame of the block in left/right
    std::array<float, kBlock> left{};
    std::array<float, kBlock> right{};
    bool silent = true; // the block holds nothing
    bool awake = false;
    int quietBlocks = 0;
    LaneQueue queue;
    int sfontId = FLUID_FAILED;
    bool holding = false; // a program change waits at the head of the queue
    int queuedNotes = 0;  // note-ons in the queue
    bool hasRoom() const {
        return fluid_synth_get_active_voice_count(synth) + kVoicesPerNote * (queuedNotes + 1) <=
               kLanePolyphony;
    }
};

SynthGrid::SynthGrid(int sampleRate, const std::string& soundFont, Samples samples)
    : sampleRate_(sampleRate), samples_(samples), lanes_(std::make_unique<Lane[]>(kLanes)) {
    silenceFluidSynthLog();
    bankSelect_.fill(0);
    if (samples_ == Samples::OnDemand) {
        loadOnDemand(soundFont);
        return;
    }
    fluid_sfont_t* sfont = nullptr;
    for (int i = 0; i < kLanes; ++i) {
        Lane& lane = lanes_[i];
        if (!makeLane(i))
            return;
        if (i == 0) {
            startDlsSupport();
            const int id = fluid_synth_sfload(lane.synth, soundFont.c_str(), 1);
            if (id == FLUID_FAILED)
                return;
            sfont = fluid_synth_get_sfont_by_id(lane.synth, id);
        } else {
            fluid_synth_add_sfont(lane.synth, sfont);
            fluid_synth_program_reset(lane.synth);
        }
    }
    loaded_ = sfont != nullptr;
}

bool SynthGrid::makeLane(int i) {
    Lane& lane = lanes_[i];
    // One settings object for all the lanes: each one made probes the MIDI devices again. The
    // lanes never change a setting after they are made, so none hears of another's change.
    if (!laneSettings_)
        laneSettings_ = newSynthSettings(sampleRate_, samples_);
    lane.synth = new_fluid_synth(laneSettings_);
    // Lane i's blocks start at frames 16 i + 64 k; the first one is still to come.
    lane.blockStart = i * (kBlock / kLanes) - kBlock;
    return lane.synth != nullptr;
}

void SynthGrid::loadOnDemand(const std::string& soundFont) {
    held_ = HeldSoundFont::open(soundFont);
    if (!held_)
        return;
    keeper_ = std::make_unique<Keeper>();
    keeper_->settings = newSynthSettings(sampleRate_, samples_);
    // The keeper never sounds: one voice and no effects keep it small.
    fluid_settings_setint(keeper_->settings, "synth.polyphony", 1);
    fluid_settings_setint(keeper_->settings, "synth.reverb.active", 0);
    // Loads come from whichever thread prepares.
    fluid_settings_setint(keeper_->settings, "synth.threadsafe-api", 1);
    keeper_->synth = new_fluid_synth(keeper_->settings);
    if (!keeper_->synth)
        return;
    // Tried before the synthesizer's own loader, which would open the file by its path.
    if (fluid_sfloader_t* loader = HeldSoundFont::newLoader(keeper_->settings))
        fluid_synth_add_sfloader(keeper_->synth, loader);
    fluid_sfont_t* sfont = nullptr;
    if (held_->index()) {
        // Only the instruments asked for are parsed, each from a SoundFont of its own made of
        // its part of the file: FluidSynth would otherwise hold every zone of the whole set.
        presets_ = std::make_unique<PresetTable>();
        parts_ = new_fluid_sfont(partsName, preparedPreset, nullptr, nullptr, freeParts);
        if (!parts_)
            return;
        fluid_sfont_set_data(parts_, presets_.get());
        sfont = parts_;
    } else {
        startDlsSupport();
        keeper_->sfontId = fluid_synth_sfload(keeper_->synth, held_->name().c_str(), 0);
        if (keeper_->sfontId == FLUID_FAILED)
            return;
        sfont = fluid_synth_get_sfont_by_id(keeper_->synth, keeper_->sfontId);
    }
    for (int i = 0; i < kLanes; ++i) {
        Lane& lane = lanes_[i];
        if (!makeLane(i))
            return;
        fluid_sfloader_t* loader = new_fluid_sfloader(lendSoundFont, delete_fluid_sfloader);
        fluid_sfloader_set_data(loader, sfont);
        fluid_synth_add_sfloader(lane.synth, loader);
        lane.sfontId = fluid_synth_sfload(lane.synth, held_->name().c_str(), 0);
        if (lane.sfontId == FLUID_FAILED)
            return;
    }
    selected_ = std::make_unique<BankTable<std::int32_t, kNotPrepared>>();
    loaded_ = true;
}

SynthGrid::~SynthGrid() {
    // The first synthesizer (or the keeper) owns the SoundFont; the others only borrow it.
    fluid_sfont_t* sfont = parts_;
    if (!sfont && keeper_ && keeper_->synth && keeper_->sfontId != FLUID_FAILED)
        sfont = fluid_synth_get_sfont_by_id(keeper_->synth, keeper_->sfontId);
    else if (!sfont && !keeper_ && lanes_[0].synth)
        sfont = fluid_synth_get_sfont(lanes_[0].synth, 0);
    for (int i = kLanes - 1; i >= 0; --i) {
        Lane& lane = lanes_[i];
        if (lane.synth) {
            if ((i > 0 || keeper_) && sfont && fluid_synth_get_sfont(lane.synth, 0) == sfont)
                fluid_synth_remove_sfont(lane.synth, sfont);
            delete_fluid_synth(lane.synth);
        }
    }
    if (laneSettings_)
        delete_fluid_settings(laneSettings_);
    // The lanes have let go of the instruments; the keeper's parts hold them until it goes.
    if (parts_)
        delete_fluid_sfont(parts_);
    keeper_.reset();
}

bool SynthGrid::prepare(int bank, int program) {
    if (!loaded_ || !keeper_ || bank < 0 || bank >= kBanks || program < 0 || program > 127)
        return true;
    if (selected_->get(bank, program) != kNotPrepared)
        return !soundFontLost();
    // FluidSynth parses the file again for each load and trusts what it parsed at the start: a
    // file changed since could leave an instrument with samples that were never read.
    if (soundFontLost() || !held_->unchanged()) {
        lost_.store(true, std::memory_order_release);
        selected_->set(bank, program, kNoInstrument);
        return false;
    }
    // The instrument a program change falls back to when the SoundFont lacks the one asked for:
    // the same program of bank 0, or the first drum kit.
    const SoundFontIndex* index = parts_ ? held_->index() : nullptr;
    fluid_sfont_t* sfont =
        index ? nullptr : fluid_synth_get_sfont_by_id(keeper_->synth, keeper_->sfontId);
    std::int32_t choice = kNoInstrument;
    const std::pair<int, int> candidates[] = {{bank, program},
                                              {bank == 128 ? 128 : 0, bank == 128 ? 0 : program}};
    for (const auto& [b, p] : candidates) {
        if (index ? index->presetIndex(b, p) >= 0
                  : fluid_sfont_get_preset(sfont, b, p) != nullptr) {
            choice = (b << 8) | p;
            break;
        }
    }
    if (choice != kNoInstrument) {
        // Loading takes a while; the audio thread meanwhile renders and lets program changes
        // wait rather than wait for the load.
        std::lock_guard<std::mutex> lock(presetMutex_);
        const PinGuard pin(*this);
        const bool pinned = index ? loadPart(choice >> 8, choice & 0xFF)
                                  : fluid_synth_pin_preset(keeper_->synth, keeper_->sfontId,
                                                           choice >> 8, choice & 0xFF) == FLUID_OK;
        // A load that failed part way leaves samples marked as loaded that hold nothing: no
        // instrument of this file is selected any more.
        if (!pinned || !held_->unchanged()) {
            lost_.store(true, std::memory_order_release);
            choice = kNoInstrument;
        }
    }
    selected_->set(bank, program, choice);
    return !soundFontLost();
}

bool SynthGrid::loadPart(int bank, int program) {
    if (presets_->get(bank, program))
        return true; // loaded already, for another bank that falls back to it
    const SoundFontIndex& index = *held_->index();
    std::vector<SoundFontIndex::Piece> pieces =
        index.subset(held_->descriptor(), index.presetIndex(bank, program));
    if (pieces.empty())
        return false; // the file no longer reads as it did
    const std::string name = held_->addPart(std::move(pieces));
    const int id = fluid_synth_sfload(keeper_->synth, name.c_str(), 0);
    if (id == FLUID_FAILED || fluid_synth_pin_preset(keeper_->synth, id, bank, program) != FLUID_OK)
        return false;
    fluid_preset_t* preset =
        fluid_sfont_get_preset(fluid_synth_get_sfont_by_id(keeper_->synth, id), bank, program);
    presets_->set(bank, program, preset);
    return preset != nullptr;
}

bool SynthGrid::prepared(int bank, int program) const {
    if (!keeper_)
        return true;
    if (bank < 0 || bank >= kBanks || program < 0 || program > 127)
        return false;
    return selected_->get(bank, program) != kNotPrepared;
}

bool SynthGrid::selectProgram(Lane& lane, MidiMessage change) {
    const int channel = change.channel();
    const int program = change.data1();
    // post() put the bank in force at the program change into the second data byte.
    const int bank = change.data2();
    const std::int32_t choice = bank < kBanks ? selected_->get(bank, program) : kNoInstrument;
    if (choice == kNotPrepared)
        return false;
    // Selecting counts the instrument's samples in use, as loading one does: the two never run
    // at once. Whoever finds the other under way gives way, the audio thread by trying again at
    // a later block, a loader by waiting the few microseconds a selection takes.
    selecting_.store(true, std::memory_order_seq_cst);
    if (pinning_.load(std::memory_order_seq_cst)) {
        selecting_.store(false, std::memory_order_release);
        return false;
    }
    if (choice == kNoInstrument)
        fluid_synth_unset_program(lane.synth, channel);
    else
        fluid_synth_program_select(lane.synth, channel, lane.sfontId, choice >> 8, choice & 0xFF);
    selecting_.store(false, std::memory_order_release);
    return true;
}

std::int64_t SynthGrid::boundaryAtOrAfter(const Lane& lane, std::int64_t frame) const {
    // The lane's current block is rendered already, so its next block is the earliest.
    const std::int64_t ahead = std::max<std::int64_t>(frame - lane.blockStart, 1);
    return lane.blockStart + (ahead + kBlock - 1) / kBlock * kBlock;
}

bool SynthGrid::enqueue(Lane& lane, std::int64_t frame, MidiMessage message) {
    if (lane.queue.insert(boundaryAtOrAfter(lane, frame), message))
        return true;
    ++dropped_;
    return false;
}

void SynthGrid::post(std::int64_t frame, MidiMessage message) {
    if (!loaded_)
        return;
    if (message.status() == kSetVolumeStatus) {
        for (int i = 0; i < kLanes; ++i)
            enqueue(lanes_[i], std::max(frame, position_), message);
        return;
    }
    if (frame < position_) {
        ++late_;
        frame = position_;
    }
    // Data bytes count by their seven bits, as on the wire.
    if (message.isChannelMessage())
        message = message.onWire();
    const int channel = message.channel();
    if (keeper_ && message.kind() == MidiKind::ControlChange && message.data1() == 0)
        bankSelect_[channel] = message.data2();
    if (keeper_ && message.kind() == MidiKind::ProgramChange)
        message = MidiMessage(message.status(), message.data1(),
                              presetBank(channel, bankSelect_[channel]));
    if (!message.isNoteOn()) {
        for (int i = 0; i < kLanes; ++i)
            enqueue(lanes_[i], frame, message);
        return;
    }
    // The lane whose block starts soonest, among those with voices to spare: a lane full of
    // ringing notes passes a new one to the next lane (at most three quarters of a block later)
    // rather than cut one short. When every lane is full, FluidSynth ends the least audible.
    const auto rank = [this, frame](int i) {
        return std::pair(!lanes_[i].hasRoom(), boundaryAtOrAfter(lanes_[i], frame));
    };
    int chosen = 0;
    for (int i = 1; i < kLanes; ++i)
        if (rank(i) < rank(chosen))
            chosen = i;
    if (enqueue(lanes_[chosen], frame, message))
        ++lanes_[chosen].queuedNotes;
    // A note struck again releases the one still sounding, as a single synthesizer does, even
    // when that one sounds in another lane.
    const MidiMessage release = MidiMessage::noteOff(channel, message.data1());
    for (int i = 0; i < kLanes; ++i)
        if (i != chosen)
            enqueue(lanes_[i], frame, release);
}

void SynthGrid::nextBlock(Lane& lane) {
    lane.blockStart += kBlock;
    while (!lane.queue.empty() && lane.queue.front().at <= lane.blockStart) {
        const MidiMessage message = lane.queue.front().message;
        if (keeper_ && message.kind() == MidiKind::ProgramChange) {
            // Its instrument is still loading: it and all after it wait for a later block, and
            // count as late once.
            if (!selectProgram(lane, message)) {
                if (&lane == &lanes_[0] && !lane.holding)
                    ++late_;
                lane.holding = true;
                break;
            }
            lane.holding = false;
            lane.queue.popFront();
            continue;
        }
        lane.queue.popFront();
        if (message == allSoundsOff()) {
            fluid_synth_all_sounds_off(lane.synth, -1);
            continue;
        }
        if (message == releaseAll()) {
            fluid_synth_all_notes_off(lane.synth, -1);
            continue;
        }
        if (message.status() == kSetVolumeStatus) {
            fluid_synth_set_gain(lane.synth, static_cast<float>(kGain * message.data1() / 100.0));
            continue;
        }
        applyToFluidSynth(lane.synth, message);
        if (message.isNoteOn()) {
            --lane.queuedNotes;
            lane.awake = true;
            lane.quietBlocks = 0;
        }
    }
    lane.silent = !lane.awake;
    if (!lane.awake)
        return;
    fluid_synth_write_float(lane.synth, kBlock, lane.left.data(), 0, 1, lane.right.data(), 0, 1);
    float peak = 0;
    for (int k = 0; k < kBlock; ++k)
        peak = std::max({peak, std::fabs(lane.left[k]), std::fabs(lane.right[k])});
    if (peak >= kQuiet || fluid_synth_get_active_voice_count(lane.synth) > 0) {
        lane.quietBlocks = 0;
    } else if (++lane.quietBlocks >= kQuietSecondsToSleep * sampleRate_ / kBlock) {
        lane.awake = false;
    }
}

void SynthGrid::render(int frames, float* left, float* right) {
    std::fill(left, left + frames, 0.0f);
    std::fill(right, right + frames, 0.0f);
    if (!loaded_ || frames <= 0)
        return;
    const std::int64_t end = position_ + frames;
    for (int i = 0; i < kLanes; ++i) {
        Lane& lane = lanes_[i];
        std::int64_t cursor = position_;
        while (cursor < end) {
            if (cursor >= lane.blockStart + kBlock)
                nextBlock(lane);
            const std::int64_t stop = std::min(end, lane.blockStart + kBlock);
            if (!lane.silent) {
                const auto from = static_cast<std::size_t>(cursor - lane.blockStart);
                const auto to = static_cast<std::size_t>(stop - lane.blockStart);
                float* l = left + (cursor - position_);
                float* r = right + (cursor - position_);
                for (std::size_t k = from; k < to; ++k, ++l, ++r) {
                    *l += lane.left[k];
                    *r += lane.right[k];
                }
            }
            cursor = stop;
        }
    }
    position_ = end;
}

SynthGrid::PinGuard::PinGuard(SynthGrid& grid) : grid_(grid) {
    grid_.pinning_.store(true, std::memory_order_seq_cst);
    while (grid_.selecting_.load(std::memory_order_seq_cst))
        std::this_thread::yield();
}

SynthGrid::PinGuard::~PinGuard() {
    grid_.pinning_.store(false, std::memory_order_release);
}

int SynthGrid::awakeLanes() const {
    int n = 0;
    for (int i = 0; i < kLanes; ++i)
        n += lanes_[i].awake ? 1 : 0;
    return n;
}

bool SynthGrid::idle() const {
    for (int i = 0; i < kLanes; ++i)
        if (lanes_[i].awake || !lanes_[i].queue.empty())
            return false;
    return true;
}

int SynthGrid::activeVoices() const {
    int n = 0;
    for (int i = 0; i < kLanes; ++i)
        n += lanes_[i].synth ? fluid_synth_get_active_voice_count(lanes_[i].synth) : 0;
    return n;
}

} // namespace fw
