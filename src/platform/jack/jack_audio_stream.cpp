#include "engine/audio_stream.h"
#include "engine/client_name.h"
#include "engine/clock.h"
#include "engine/realtime_scope.h"

#include <jack/jack.h>

#include <atomic>
#include <mutex>

namespace fw {

namespace {

void quietJackError(const char*) {}

// Our own JACK client with two output ports. JACK asks for each period from its real-time
// thread; the render function fills both ports' buffers straight away.
class JackAudioStream final : public AudioStream {
public:
    ~JackAudioStream() override {
        if (!client_)
            return;
        jack_deactivate(client_);
        jack_client_close(client_);
    }

    bool connect() {
        static std::once_flag once;
        // Without a server libjack complains on the terminal; the caller reports it instead.
        std::call_once(once, [] {
            jack_set_error_function(quietJackError);
            jack_set_info_function(quietJackError);
        });
        client_ = jack_client_open(ownClientName("audio").c_str(), JackNoStartServer, nullptr);
        return client_ != nullptr;
    }

    int sampleRate() const { return static_cast<int>(jack_get_sample_rate(client_)); }

    bool start(Render render) {
        render_ = std::move(render);
        left_ = jack_port_register(client_, "out_1", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
        right_ = jack_port_register(client_, "out_2", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
        if (!left_ || !right_)
            return false;
        jack_set_process_callback(client_, &JackAudioStream::process, this);
        jack_set_xrun_callback(client_, &JackAudioStream::xrun, this);
        jack_on_shutdown(
            client_, [](void* self) { static_cast<JackAudioStream*>(self)->lost_ = true; }, this);
        const auto period = jack_get_buffer_size(client_);
        bufferMillis_ = 1000.0 * period / sampleRate();
        if (jack_activate(client_) != 0)
            return false;
        // Heard at once where the system has speakers; elsewhere the user connects the ports.
        if (const char** playback = jack_get_ports(client_, nullptr, JACK_DEFAULT_AUDIO_TYPE,
                                                   JackPortIsPhysical | JackPortIsInput)) {
            if (playback[0])
                jack_connect(client_, jack_port_name(left_), playback[0]);
            if (playback[0] && playback[1])
                jack_connect(client_, jack_port_name(right_), playback[1]);
            jack_free(playback);
        }
        return true;
    }

    std::string driverName() const override { return "jack"; }
    double bufferMillis() const override { return bufferMillis_; }
    std::int64_t underruns() const override { return xruns_.load(); }
    bool lost() const override { return lost_.load(); }

private:
    static int process(jack_nframes_t frames, void* self) {
        auto* me = static_cast<JackAudioStream*>(self);
        auto* left = static_cast<float*>(jack_port_get_buffer(me->left_, frames));
        auto* right = static_cast<float*>(jack_port_get_buffer(me->right_, frames));
        const RealtimeScope realtime(RealtimeWork::Sound);
        // JACK runs its graph whether or not we sound: the period goes on.
        me->render_(monotonicMicros(), static_cast<int>(frames), left, right);
        return 0;
    }
    static int xrun(void* self) {
        ++static_cast<JackAudioStream*>(self)->xruns_;
        return 0;
    }

    jack_client_t* client_ = nullptr;
    jack_port_t* left_ = nullptr;
    jack_port_t* right_ = nullptr;
    Render render_;
    double bufferMillis_ = 0;
    std::atomic<std::int64_t> xruns_{0};
    std::atomic<bool> lost_{false};
};

} // namespace

std::unique_ptr<AudioStream>
openJackAudioStream(const std::function<AudioStream::Render(int)>& prepare) {
    auto stream = std::make_unique<JackAudioStream>();
    if (!stream->connect())
        return nullptr;
    AudioStream::Render render = prepare(stream->sampleRate());
    if (!render || !stream->start(std::move(render)))
        return nullptr;
    return stream;
}

bool jackServerRunning() {
    JackAudioStream probe;
    return probe.connect();
}

} // namespace fw
