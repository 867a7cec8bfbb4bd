#include "platform/fluidsynth/fluid_calls.h"

#include <dlfcn.h>
#include <fluidsynth.h>

#include <mutex>

namespace fw {

namespace {
void quietLog(int, const char*, void*) {}

// Every synthesizer made starts libinstpatch and every one deleted stops it (FluidSynth's
// ipatch_init and ipatch_close, caught below). The library itself starts only once asked to,
// and stops when the last synthesizer that asked for it goes.
struct DlsState {
    std::mutex mutex;
    DlsSupport support;
};
DlsState& dlsState() {
    static DlsState state;
    return state;
}
using DlsCall = void (*)();
DlsCall realDlsCall(const char* name) {
    return reinterpret_cast<DlsCall>(dlsym(RTLD_NEXT, name));
}
} // namespace

void startDlsSupport() {
    DlsState& state = dlsState();
    const std::lock_guard<std::mutex> lock(state.mutex);
    if (state.support.started)
        return;
    // None when FluidSynth was built without it: its loaders then read SF2 and SF3 only.
    static const DlsCall init = realDlsCall("ipatch_init");
    if (init)
        init();
    state.support.started = init != nullptr;
}

DlsSupport dlsSupport() {
    DlsState& state = dlsState();
    const std::lock_guard<std::mutex> lock(state.mutex);
    return state.support;
}

void silenceFluidSynthLog() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
            fluid_set_log_function(level, quietLog, nullptr);
    });
}

bool applyToFluidSynth(void* synthPtr, MidiMessage message) {
    auto* synth = static_cast<fluid_synth_t*>(synthPtr);
    if (!message.isChannelMessage())
        return false;
    const MidiMessage m = message.onWire();
    const int channel = m.channel();
    switch (m.kind()) {
    case MidiKind::NoteOff:
        fluid_synth_noteoff(synth, channel, m.data1());
        break;
    case MidiKind::NoteOn:
        if (m.isNoteOn())
            fluid_synth_noteon(synth, channel, m.data1(), m.data2());
        else
            fluid_synth_noteoff(synth, channel, m.data1());
        break;
    case MidiKind::KeyPressure:
        fluid_synth_key_pressure(synth, channel, m.data1(), m.data2());
        break;
    case MidiKind::ControlChange:
        fluid_synth_cc(synth, channel, m.data1(), m.data2());
        break;
    case MidiKind::ProgramChange:
        fluid_synth_program_change(synth, channel, m.data1());
        break;
    case MidiKind::ChannelPressure:
        fluid_synth_channel_pressure(synth, channel, m.data1());
        break;
    case MidiKind::PitchBend:
        fluid_synth_pitch_bend(synth, channel, m.bend());
        break;
    default:
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

extern "C" void ipatch_init() {
    fw::DlsState& state = fw::dlsState();
    const std::lock_guard<std::mutex> lock(state.mutex);
    ++state.support.requested;
}

extern "C" void ipatch_close() {
    fw::DlsState& state = fw::dlsState();
    const std::lock_guard<std::mutex> lock(state.mutex);
    fw::DlsSupport& support = state.support;
    if (support.requested > 0 && --support.requested == 0 && support.started) {
        static const fw::DlsCall close = fw::realDlsCall("ipatch_close");
        if (close)
            close();
        support.started = false;
    }
}
