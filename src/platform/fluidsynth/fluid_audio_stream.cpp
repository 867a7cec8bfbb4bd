#include "engine/audio_stream.h"
#include "engine/clock.h"
#include "engine/realtime_scope.h"

#include <fluidsynth.h>

namespace fw {

namespace {

// FluidSynth's driver for a sound system other than PulseAudio; FluidSynth's thread asks for
// each period and the render function fills it.
class FluidAudioStream final : public AudioStream {
public:
    FluidAudioStream(std::string driver, double bufferMillis, Render render)
        : driver_(std::move(driver)), bufferMillis_(bufferMillis), render_(std::move(render)) {}
    ~FluidAudioStream() override {
        if (audio_)
            delete_fluid_audio_driver(audio_);
        if (settings_)
            delete_fluid_settings(settings_);
    }

    bool open(int rate, int periodFrames, int periods) {
        settings_ = new_fluid_settings();
        if (!settings_ ||
            fluid_settings_setstr(settings_, "audio.driver", driver_.c_str()) != FLUID_OK)
            return false;
        fluid_settings_setnum(settings_, "synth.sample-rate", rate);
        fluid_settings_setint(settings_, "audio.period-size", periodFrames);
        fluid_settings_setint(settings_, "audio.periods", periods);
        audio_ = new_fluid_audio_driver2(settings_, &FluidAudioStream::callback, this);
        return audio_ != nullptr;
    }

    std::string driverName() const override { return driver_; }
    double bufferMillis() const override { return bufferMillis_; }

private:
    static int callback(void* self, int len, int, float*[], int nout, float* out[]) {
        if (nout < 2)
            return FLUID_FAILED;
        const RealtimeScope realtime(RealtimeWork::Sound);
        static_cast<FluidAudioStream*>(self)->render_(monotonicMicros(), len, out[0], out[1]);
        return FLUID_OK;
    }

    std::string driver_;
    double bufferMillis_;
    Render render_;
    fluid_settings_t* settings_ = nullptr;
    fluid_audio_driver_t* audio_ = nullptr;
};

} // namespace

std::unique_ptr<AudioStream> openFluidAudioStream(const std::string& driver, int sampleRate,
                                                  int periodFrames, int periods,
                                                  AudioStream::Render render) {
    auto stream = std::make_unique<FluidAudioStream>(
        driver, 1000.0 * periodFrames * periods / sampleRate, std::move(render));
    if (!stream->open(sampleRate, periodFrames, periods))
        return nullptr;
    return stream;
}

} // namespace fw
