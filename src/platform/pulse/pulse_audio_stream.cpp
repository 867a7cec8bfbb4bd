#include "engine/audio_stream.h"
#include "engine/clock.h"
#include "engine/realtime_scope.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <atomic>
#include <pthread.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <vector>

namespace fw {

namespace {

// The whole stream runs on PulseAudio's own thread: the server asks for sound, the callback
// renders it straight into the server's buffer. No second thread hands blocks over, which
// halves the wake-ups that an idle program pays for; and once nothing has sounded for a moment
// the stream is corked, so that an idle program is not woken at all. A message on its way wakes
// it through an event the loop listens to, which costs the sender no lock.
class PulseAudioStream final : public AudioStream {
public:
    PulseAudioStream(int rate, double bufferMillis, double requestMillis, Render render)
        : rate_(rate), firstMillis_(bufferMillis), askedMillis_(bufferMillis),
          requestMillis_(requestMillis), render_(std::move(render)), grantedMillis_(bufferMillis),
          left_(kChunkFrames), right_(kChunkFrames) {}

    ~PulseAudioStream() override {
        if (!loop_) {
            if (wakeFd_ >= 0)
                ::close(wakeFd_);
            return;
        }
        pa_threaded_mainloop_stop(loop_);
        if (wakeEvent_)
            pa_threaded_mainloop_get_api(loop_)->io_free(wakeEvent_);
        if (wakeFd_ >= 0)
            ::close(wakeFd_);
        if (stream_) {
            pa_stream_disconnect(stream_);
            pa_stream_unref(stream_);
        }
        if (context_) {
            pa_context_disconnect(context_);
            pa_context_unref(context_);
        }
        pa_threaded_mainloop_free(loop_);
    }

    bool open() {
        loop_ = pa_threaded_mainloop_new();
        if (!loop_)
            return false;
        pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop_);
        context_ = pa_context_new(api, "Fretwright");
        if (!context_)
            return false;
        wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (wakeFd_ < 0)
            return false;
        wakeEvent_ = api->io_new(api, wakeFd_, PA_IO_EVENT_INPUT, &PulseAudioStream::woken, this);
        pa_context_set_state_callback(context_, &PulseAudioStream::signal, this);
        // Never start a server: without one the program plays silently.
        if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
            return false;
        pa_threaded_mainloop_lock(loop_);
        const bool ok = pa_threaded_mainloop_start(loop_) >= 0 && waitForContext() &&
                        connectStream() && waitForStream();
        if (ok)
            waitForTiming();
        pa_threaded_mainloop_unlock(loop_);
        return ok;
    }

    std::string driverName() const override { return "pulseaudio"; }
    double bufferMillis() const override { return grantedMillis_.load(); }
    std::int64_t underruns() const override { return underruns_.load(); }
    bool lost() const override { return lost_.load(); }
    std::int64_t pauses() const override { return pauses_.load(); }

    void wake() override {
        // Pairs with pause(): either it sees what was queued before this, or this sees it pausing.
        std::atomic_thread_fence(std::memory_order_seq_cst);
        if (state_.load(std::memory_order_seq_cst) == kRunning)
            return;
        const std::uint64_t one = 1;
        const ssize_t written = ::write(wakeFd_, &one, sizeof one);
        (void)written; // a full counter is a wake-up already on its way
    }

private:
    enum State { kRunning, kPausing, kPaused };

    static void woken(pa_mainloop_api*, pa_io_event*, int fd, pa_io_event_flags_t, void* self) {
        auto* me = static_cast<PulseAudioStream*>(self);
        std::uint64_t count = 0;
        const ssize_t got = ::read(fd, &count, sizeof count);
        (void)got;
        if (me->state_.load() != kPaused || !me->stream_)
            return;
        me->state_.store(kRunning);
        me->idleFrames_ = 0;
        // The server asks for a whole buffer at once: that is no underrun.
        me->resumedAt_ = me->written_;
        if (pa_operation* op = pa_stream_cork(me->stream_, 0, nullptr, nullptr))
            pa_operation_unref(op);
    }

    // On the stream's thread, after a callback that rendered nothing to hear.
    void pause(pa_stream* s) {
        state_.store(kPausing, std::memory_order_seq_cst);
        std::atomic_thread_fence(std::memory_order_seq_cst);
        bool waiting = false;
        {
            const RealtimeScope realtime(RealtimeWork::Sound);
            waiting = render_(monotonicMicros(), 0, left_.data(), right_.data());
        }
        if (waiting) {
            state_.store(kRunning);
            idleFrames_ = 0;
            return;
        }
        if (pa_operation* op = pa_stream_cork(s, 1, nullptr, nullptr))
            pa_operation_unref(op);
        state_.store(kPaused);
        ++pauses_;
    }

    static void signal(pa_context* c, void* self) {
        auto* me = static_cast<PulseAudioStream*>(self);
        if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(c)))
            me->lost_ = true; // the server ended or dropped us
        pa_threaded_mainloop_signal(me->loop_, 0);
    }
    static void streamSignal(pa_stream* s, void* self) {
        auto* me = static_cast<PulseAudioStream*>(self);
        if (!PA_STREAM_IS_GOOD(pa_stream_get_state(s)))
            me->lost_ = true;
        pa_threaded_mainloop_signal(me->loop_, 0);
    }
    static void underflow(pa_stream*, void* self) {
        auto* me = static_cast<PulseAudioStream*>(self);
        // A stream that starts without prebuffering is empty for a moment at its start, and
        // again when it plays after a pause.
        if (me->written_ > me->resumedAt_ + 2 * me->bytesFor(me->askedMillis_)) {
            ++me->underruns_;
            me->calmSince_ = me->written_;
            me->grow();
        }
    }

    // A machine too busy for the buffer asked gets a longer one: the latency steps up and stays
    // constant at the new grant, rather than the sound dropping out again and again. A burst of
    // underruns is one busy moment: one step per second of sound at most. Half a minute of sound
    // without an underrun steps it back down, one step at a time, to the buffer first asked: a
    // stall that passed (a build's linker holding a core in the kernel, say) costs latency only
    // while such stalls go on.
    void grow() {
        if (asking_ || askedMillis_ >= kMostMillis || written_ < nextGrowth_)
            return;
        nextGrowth_ = written_ + bytesFor(1000);
        ask(std::min(askedMillis_ + kGrowMillis, kMostMillis));
    }
    void settle() {
        if (asking_ || askedMillis_ <= firstMillis_ ||
            written_ < calmSince_ + bytesFor(kCalmMillis))
            return;
        calmSince_ = written_;
        ask(std::max(askedMillis_ - kGrowMillis, firstMillis_));
    }
    void ask(double millis) {
        askedMillis_ = millis;
        const pa_buffer_attr attr = attrFor(askedMillis_);
        pa_operation* op =
            pa_stream_set_buffer_attr(stream_, &attr, &PulseAudioStream::grown, this);
        asking_ = op != nullptr;
        if (op)
            pa_operation_unref(op);
    }
    static void grown(pa_stream* s, int, void* self) {
        pa_operation* op = pa_stream_update_timing_info(s, &PulseAudioStream::timed, self);
        if (op)
            pa_operation_unref(op);
        else
            timed(s, 0, self);
    }
    static void timed(pa_stream*, int, void* self) {
        auto* me = static_cast<PulseAudioStream*>(self);
        me->grantedMillis_ = me->granted();
        me->asking_ = false;
        pa_threaded_mainloop_signal(me->loop_, 0);
    }
    static void write(pa_stream* s, size_t bytes, void* self) {
        static_cast<PulseAudioStream*>(self)->fill(s, bytes);
    }

    // Waits on the loop until the context or stream is ready (true) or has failed (false).
    template <typename Read, typename Good, typename State>
    bool waitUntilReady(Read read, Good good, State ready) {
        for (;;) {
            const State state = read();
            if (state == ready)
                return true;
            if (!good(state))
                return false;
            pa_threaded_mainloop_wait(loop_);
        }
    }
    bool waitForContext() {
        return waitUntilReady([this] { return pa_context_get_state(context_); },
                              [](pa_context_state_t s) { return PA_CONTEXT_IS_GOOD(s); },
                              PA_CONTEXT_READY);
    }
    bool waitForStream() {
        return waitUntilReady([this] { return pa_stream_get_state(stream_); },
                              [](pa_stream_state_t s) { return PA_STREAM_IS_GOOD(s); },
                              PA_STREAM_READY);
    }

    // The server may grant another latency than asked: what it granted is our queue plus the
    // latency it gave the sink.
    double granted() const {
        const pa_buffer_attr* queue = pa_stream_get_buffer_attr(stream_);
        const pa_timing_info* timing = pa_stream_get_timing_info(stream_);
        if (!queue)
            return askedMillis_;
        const double sink = timing ? static_cast<double>(timing->configured_sink_usec) / 1000.0 : 0;
        return 1000.0 * (queue->tlength / kFrameBytes) / rate_ + sink;
    }
    void waitForTiming() {
        asking_ = true;
        grown(stream_, 1, this);
        while (asking_ && PA_STREAM_IS_GOOD(pa_stream_get_state(stream_)))
            pa_threaded_mainloop_wait(loop_);
    }

    std::uint32_t bytesFor(double millis) const {
        return static_cast<std::uint32_t>(millis * rate_ / 1000.0) * kFrameBytes;
    }

    bool connectStream() {
        pa_sample_spec format{};
        format.format = PA_SAMPLE_FLOAT32NE;
        format.rate = static_cast<std::uint32_t>(rate_);
        format.channels = 2;
        stream_ = pa_stream_new(context_, "Built-in synthesizer", &format, nullptr);
        if (!stream_)
            return false;
        pa_stream_set_state_callback(stream_, &PulseAudioStream::streamSignal, this);
        pa_stream_set_write_callback(stream_, &PulseAudioStream::write, this);
        pa_stream_set_underflow_callback(stream_, &PulseAudioStream::underflow, this);
        const pa_buffer_attr attr = attrFor(askedMillis_);
        // The buffer asked for is the whole way to the speaker, the server's share included.
        const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY);
        return pa_stream_connect_playback(stream_, nullptr, &attr, flags, nullptr, nullptr) >= 0;
    }

    pa_buffer_attr attrFor(double millis) const {
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<std::uint32_t>(-1);
        attr.tlength = bytesFor(millis);
        // No prebuffering: should the server ever run dry, it plays silence and goes on at the
        // same pace, dropping what comes too late, rather than stopping and starting later.
        // Every later note then still sounds at its time.
        attr.prebuf = 0;
        // A longer buffer is asked for in longer pieces too: grown all the way, the stream is the
        // one that plays without a dropout on a busy machine.
        attr.minreq = bytesFor(std::max(requestMillis_, millis / 5));
        attr.fragsize = static_cast<std::uint32_t>(-1);
        return attr;
    }

    void fill(pa_stream* s, size_t bytes) {
        const std::int64_t now = monotonicMicros();
        if (!priorityAsked_) {
            // Sound must not wait behind a busy machine's other work. Where the system does not
            // allow it, the stream runs at normal priority with its buffer as the only cushion.
            priorityAsked_ = true;
            sched_param param{};
            param.sched_priority = kRealtimePriority;
            pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
        }
        const std::size_t frames = bytes / kFrameBytes;
        bool sounding = false;
        // In pieces of the buffers made beforehand: a long request after a stall allocates nothing.
        for (std::size_t piece = 0; piece < frames; piece += kChunkFrames) {
            const std::size_t count = std::min(frames - piece, kChunkFrames);
            {
                const RealtimeScope realtime(RealtimeWork::Sound);
                sounding |= render_(now, static_cast<int>(count), left_.data(), right_.data());
            }
            if (!send(s, count))
                return;
        }
        if (sounding)
            idleFrames_ = 0;
        else if ((idleFrames_ += frames) >= static_cast<std::size_t>(rate_ * kIdleMillis / 1000))
            pause(s);
        settle();
    }

    bool send(pa_stream* s, std::size_t frames) {
        std::size_t done = 0;
        while (done < frames) {
            void* data = nullptr;
            size_t size = (frames - done) * kFrameBytes;
            if (pa_stream_begin_write(s, &data, &size) < 0 || !data)
                return false;
            const std::size_t n = std::min(size / kFrameBytes, frames - done);
            auto* out = static_cast<float*>(data);
            for (std::size_t k = 0; k < n; ++k) {
                out[2 * k] = left_[done + k];
                out[2 * k + 1] = right_[done + k];
            }
            pa_stream_write(s, data, n * kFrameBytes, nullptr, 0, PA_SEEK_RELATIVE);
            done += n;
            written_ += n * kFrameBytes;
        }
        return true;
    }

    static constexpr std::size_t kFrameBytes = 2 * sizeof(float);
    static constexpr int kRealtimePriority = 20;
    static constexpr double kGrowMillis = 2;
    static constexpr double kMostMillis = 24;
    static constexpr double kCalmMillis = 30000;
    // Frames rendered at a time: more than the server asks for at once, but after a stall.
    static constexpr std::size_t kChunkFrames = 4096;
    // Silence rendered before the stream pauses.
    static constexpr int kIdleMillis = 200;

    int rate_;
    double firstMillis_;
    double askedMillis_; // on the stream's thread once open
    double requestMillis_;
    Render render_;
    std::atomic<double> grantedMillis_;
    bool asking_ = false;          // a new buffer is being asked for
    std::uint64_t nextGrowth_ = 0; // bytes written before the buffer may grow again
    std::uint64_t calmSince_ = 0;  // bytes written at the last underrun or step down
    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
    std::vector<float> left_;
    std::vector<float> right_;
    std::atomic<std::int64_t> underruns_{0};
    std::atomic<bool> lost_{false};
    std::uint64_t written_ = 0; // bytes, on the stream's thread
    bool priorityAsked_ = false;
    int wakeFd_ = -1;
    pa_io_event* wakeEvent_ = nullptr;
    std::atomic<int> state_{kRunning};
    std::size_t idleFrames_ = 0;  // on the stream's thread
    std::uint64_t resumedAt_ = 0; // bytes written when it last played again
    std::atomic<std::int64_t> pauses_{0};
};

} // namespace

std::unique_ptr<AudioStream> openPulseAudioStream(int sampleRate, double bufferMillis,
                                                  double requestMillis,
                                                  AudioStream::Render render) {
    auto stream = std::make_unique<PulseAudioStream>(sampleRate, bufferMillis, requestMillis,
                                                     std::move(render));
    if (!stream->open())
        return nullptr;
    return stream;
}

} // namespace fw
