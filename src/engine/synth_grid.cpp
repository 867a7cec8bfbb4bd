#include "engine/synth_grid.h"

#include "engine/fluid_synth_port.h"

#include <fluidsynth.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <deque>
#include <utility>

namespace fw {

namespace {
// Below one step of 16-bit sound: a synthesizer this quiet for half a second with no voice left
// (the reverb's tail has died away) stops rendering until its next note.
constexpr float kQuiet = 1.0e-5f;
constexpr double kQuietSecondsToSleep = 0.5;

fluid_settings_t* newSynthSettings(int sampleRate) {
    fluid_settings_t* settings = new_fluid_settings();
    fluid_settings_setnum(settings, "synth.sample-rate", sampleRate);
    fluid_settings_setint(settings, "synth.reverb.active", 1);
    fluid_settings_setint(settings, "synth.chorus.active", 0);
    fluid_settings_setint(settings, "synth.polyphony", 128);
    // FluidSynth's own default (0.2) leaves a picked guitar some 30 dB below full scale, too
    // quiet beside other programs and in exported audio; seven strings at once still do not clip.
    fluid_settings_setnum(settings, "synth.gain", 0.6);
    return settings;
}
} // namespace

struct SynthGrid::Lane {
    fluid_settings_t* settings = nullptr;
    fluid_synth_t* synth = nullptr;
    std::int64_t blockStart = 0; // output frame of the block in left/right
    std::array<float, kBlock> left{};
    std::array<float, kBlock> right{};
    bool silent = true; // the block holds nothing
    bool awake = false;
    int quietBlocks = 0;
    std::deque<std::pair<std::int64_t, std::uint32_t>> queue; // (block start, message)
};

SynthGrid::SynthGrid(int sampleRate, const std::string& soundFont)
    : sampleRate_(sampleRate), lanes_(std::make_unique<Lane[]>(kLanes)) {
    silenceFluidSynthLog();
    fluid_sfont_t* sfont = nullptr;
    for (int i = 0; i < kLanes; ++i) {
        Lane& lane = lanes_[i];
        lane.settings = newSynthSettings(sampleRate);
        lane.synth = new_fluid_synth(lane.settings);
        // Lane i's blocks start at frames 16 i + 64 k; the first one is still to come.
        lane.blockStart = i * (kBlock / kLanes) - kBlock;
        if (!lane.synth)
            return;
        if (i == 0) {
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

SynthGrid::~SynthGrid() {
    // The first synthesizer owns the SoundFont; the others only borrow it.
    fluid_sfont_t* sfont = lanes_[0].synth ? fluid_synth_get_sfont(lanes_[0].synth, 0) : nullptr;
    for (int i = kLanes - 1; i >= 0; --i) {
        Lane& lane = lanes_[i];
        if (lane.synth) {
            if (i > 0 && sfont)
                fluid_synth_remove_sfont(lane.synth, sfont);
            delete_fluid_synth(lane.synth);
        }
        if (lane.settings)
            delete_fluid_settings(lane.settings);
    }
}

std::int64_t SynthGrid::boundaryAtOrAfter(const Lane& lane, std::int64_t frame) const {
    // The lane's current block is rendered already, so its next block is the earliest.
    const std::int64_t ahead = std::max<std::int64_t>(frame - lane.blockStart, 1);
    return lane.blockStart + (ahead + kBlock - 1) / kBlock * kBlock;
}

void SynthGrid::enqueue(Lane& lane, std::int64_t frame, std::uint32_t packed) {
    const std::int64_t at = boundaryAtOrAfter(lane, frame);
    auto pos = std::upper_bound(lane.queue.begin(), lane.queue.end(), at,
                                [](std::int64_t f, const auto& e) { return f < e.first; });
    lane.queue.insert(pos, {at, packed});
}

void SynthGrid::post(std::int64_t frame, std::uint32_t packed) {
    if (!loaded_)
        return;
    if (frame < position_) {
        ++late_;
        frame = position_;
    }
    const int status = static_cast<int>(packed & 0xFF);
    const int key = static_cast<int>((packed >> 8) & 0x7F);
    const bool noteOn = (status & 0xF0) == 0x90 && ((packed >> 16) & 0x7F) != 0;
    if (!noteOn) {
        for (int i = 0; i < kLanes; ++i)
            enqueue(lanes_[i], frame, packed);
        return;
    }
    int chosen = 0;
    for (int i = 1; i < kLanes; ++i)
        if (boundaryAtOrAfter(lanes_[i], frame) < boundaryAtOrAfter(lanes_[chosen], frame))
            chosen = i;
    // A note struck again releases the one still sounding, as a single synthesizer does, even
    // when that one sounds in another lane.
    const std::uint32_t release = packShortMessage(0x80 | (status & 0x0F), key, 0);
    for (int i = 0; i < kLanes; ++i)
        enqueue(lanes_[i], frame, i == chosen ? packed : release);
}

void SynthGrid::nextBlock(Lane& lane) {
    lane.blockStart += kBlock;
    while (!lane.queue.empty() && lane.queue.front().first <= lane.blockStart) {
        const std::uint32_t packed = lane.queue.front().second;
        lane.queue.pop_front();
        if (packed == kAllSoundsOff) {
            fluid_synth_all_sounds_off(lane.synth, -1);
            continue;
        }
        applyToFluidSynth(lane.synth, packed);
        if ((packed & 0xF0) == 0x90 && ((packed >> 16) & 0x7F) != 0) {
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

int SynthGrid::awakeLanes() const {
    int n = 0;
    for (int i = 0; i < kLanes; ++i)
        n += lanes_[i].awake ? 1 : 0;
    return n;
}

int SynthGrid::activeVoices() const {
    int n = 0;
    for (int i = 0; i < kLanes; ++i)
        n += lanes_[i].synth ? fluid_synth_get_active_voice_count(lanes_[i].synth) : 0;
    return n;
}

} // namespace fw
