#include "platform/fluidsynth/fluid_calls.h"

#include <dlfcn.h>
#include <fluidsynth.h>

#include <mutex>

namespace fw {

namespace {
void quietLog(int, const char*, void*) {}
} // namespace

void silenceFluidSynthLog() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
            fluid_set_log_function(level, quietLog, nullptr);
    });
}

bool applyToFluidSynth(void* synthPtr, std::uint32_t packed) {
    auto* synth = static_cast<fluid_synth_t*>(synthPtr);
    const int status = static_cast<int>(packed & 0xFF);
    const int d1 = static_cast<int>((packed >> 8) & 0x7F);
    const int d2 = static_cast<int>((packed >> 16) & 0x7F);
    if (status < 0x80 || status >= 0xF0)
        return false;
    const int channel = status & 0x0F;
    switch (status & 0xF0) {
    case 0x80:
        fluid_synth_noteoff(synth, channel, d1);
        break;
    case 0x90:
        if (d2 == 0)
            fluid_synth_noteoff(synth, channel, d1);
        else
            fluid_synth_noteon(synth, channel, d1, d2);
        break;
    case 0xA0:
        fluid_synth_key_pressure(synth, channel, d1, d2);
        break;
    case 0xB0:
        fluid_synth_cc(synth, channel, d1, d2);
        break;
    case 0xC0:
        fluid_synth_program_change(synth, channel, d1);
        break;
    case 0xD0:
        fluid_synth_channel_pressure(synth, channel, d1);
        break;
    case 0xE0:
        fluid_synth_pitch_bend(synth, channel, d1 | (d2 << 7));
        break;
    }
    return true;
}

} // namespace fw

// FluidSynth runs its reverb in an OpenMP region of one thread, every 64 frames. For a region of
// one thread libgomp allocates a team and frees it again each time, on the audio thread. A team
// of one is the calling thread with the region's constructs orphaned, which OpenMP allows: the
// region runs here directly, and only wider ones go to libgomp.
extern "C" void GOMP_parallel(void (*fn)(void*), void* data, unsigned threads, unsigned flags) {
    if (threads == 1) {
        fn(data);
        return;
    }
    using Parallel = void (*)(void (*)(void*), void*, unsigned, unsigned);
    static const auto next = reinterpret_cast<Parallel>(dlsym(RTLD_NEXT, "GOMP_parallel"));
    next(fn, data, threads, flags);
}
