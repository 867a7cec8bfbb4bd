#pragma once

// What the JACK benches share beside jack_midi_dump (tests/support/jack_midi_dump.h): a receiving
// client that notes the frame and the monotonic time of every message, and a source that writes
// MIDI clock at exact frames. They use the server that JACK_DEFAULT_SERVER names (the default one
// without).
#include "engine/clock.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <string>
#include <unistd.h>
#include <vector>

namespace fw::bench {

struct FramedMessage {
    std::int64_t frame = 0;
    std::int64_t micros = 0; // monotonic time of the frame
    std::vector<int> bytes;
};

// A JACK client of the bench itself. jack_get_time() runs on a clock of its own; its offset to
// the monotonic clock is taken at every cycle.
class JackBenchClient {
public:
    explicit JackBenchClient(const char* name) {
        client_ = jack_client_open(name, JackNoStartServer, nullptr);
        if (client_)
            rate_ = jack_get_sample_rate(client_);
    }
    virtual ~JackBenchClient() {
        if (client_)
            jack_client_close(client_);
    }
    bool ok() const { return client_ != nullptr; }
    jack_client_t* client() const { return client_; }
    int rate() const { return static_cast<int>(rate_); }
    int period() const { return client_ ? static_cast<int>(jack_get_buffer_size(client_)) : 0; }
    std::string portName(jack_port_t* p) const { return jack_port_name(p); }
    std::int64_t monoOfFrame(std::int64_t frame) const {
        return static_cast<std::int64_t>(
                   jack_frames_to_time(client_, static_cast<jack_nframes_t>(frame))) +
               offset_.load(std::memory_order_relaxed);
    }

protected:
    void noteOffset() {
        offset_.store(monotonicMicros() - static_cast<std::int64_t>(jack_get_time()),
                      std::memory_order_relaxed);
    }
    jack_client_t* client_ = nullptr;
    jack_nframes_t rate_ = 48000;
    std::atomic<std::int64_t> offset_{0};
};

// Notes every message on its input with its absolute frame and that frame's monotonic time.
class JackReceiver final : public JackBenchClient {
public:
    JackReceiver() : JackBenchClient("fwbench_rx") {
        if (!client_)
            return;
        // Every slot has room for its bytes before the run, so the callback allocates nothing.
        store_.resize(1 << 18);
        for (auto& m : store_)
            m.bytes.reserve(3);
        in_ = jack_port_register(client_, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
        jack_set_process_callback(client_, &JackReceiver::process, this);
        jack_activate(client_);
    }
    ~JackReceiver() override {
        if (client_)
            jack_deactivate(client_);
    }
    std::string port() const { return portName(in_); }
    // Connects every source already feeding `port` to this receiver as well.
    void listenBeside(const std::string& port) {
        jack_port_t* p = jack_port_by_name(client_, port.c_str());
        if (!p)
            return;
        if (const char** sources = jack_port_get_all_connections(client_, p)) {
            for (const char** s = sources; *s; ++s)
                jack_connect(client_, *s, jack_port_name(in_));
            jack_free(sources);
        }
    }
    std::vector<FramedMessage> messages() const {
        const auto n = static_cast<std::size_t>(count_.load(std::memory_order_acquire));
        return {store_.begin(), store_.begin() + static_cast<long>(n)};
    }

private:
    static int process(jack_nframes_t frames, void* arg) {
        auto* self = static_cast<JackReceiver*>(arg);
        self->noteOffset();
        void* buf = jack_port_get_buffer(self->in_, frames);
        const jack_nframes_t start = jack_last_frame_time(self->client_);
        const std::uint32_t n = jack_midi_get_event_count(buf);
        for (std::uint32_t i = 0; i < n; ++i) {
            jack_midi_event_t ev;
            if (jack_midi_event_get(&ev, buf, i) != 0)
                continue;
            const int at = self->count_.load(std::memory_order_relaxed);
            if (at >= static_cast<int>(self->store_.size()))
                return 0;
            FramedMessage& m = self->store_[static_cast<std::size_t>(at)];
            m.frame = start + ev.time;
            m.micros = self->monoOfFrame(m.frame);
            m.bytes.assign(ev.buffer, ev.buffer + std::min<std::size_t>(ev.size, 3));
            self->count_.store(at + 1, std::memory_order_release);
        }
        return 0;
    }
    jack_port_t* in_ = nullptr;
    std::vector<FramedMessage> store_;
    std::atomic<int> count_{0};
};

// Sends Start, then MIDI clock at exact frames: 24 a beat at a tempo that may change at a given
// clock. Notes the monotonic time of every clock's frame.
class JackClockSource final : public JackBenchClient {
public:
    JackClockSource(double bpm, double laterBpm, int changeAtClock, int clocks)
        : JackBenchClient("fwbench_clock"), bpm_(bpm), laterBpm_(laterBpm),
          changeAt_(changeAtClock), total_(clocks) {
        if (!client_)
            return;
        times_.assign(static_cast<std::size_t>(clocks), 0);
        out_ = jack_port_register(client_, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        jack_set_process_callback(client_, &JackClockSource::process, this);
        jack_activate(client_);
    }
    ~JackClockSource() override {
        if (client_)
            jack_deactivate(client_);
    }
    std::string port() const { return portName(out_); }
    // Starts a moment from now.
    void start() { starting_.store(true); }
    int sent() const { return sent_.load(std::memory_order_acquire); }
    const std::vector<std::int64_t>& clockTimes() const { return times_; }
    double bpmAt(int clock) const { return clock < changeAt_ ? bpm_ : laterBpm_; }

private:
    static int process(jack_nframes_t frames, void* arg) {
        auto* self = static_cast<JackClockSource*>(arg);
        self->noteOffset();
        void* buf = jack_port_get_buffer(self->out_, frames);
        jack_midi_clear_buffer(buf);
        const std::int64_t start = jack_last_frame_time(self->client_);
        if (self->starting_.load() && self->next_ < 0) {
            const jack_midi_data_t fa = 0xFA;
            jack_midi_event_write(buf, 0, &fa, 1);
            self->next_ = static_cast<double>(start + frames); // first clock next cycle
        }
        while (self->next_ >= 0 && self->at_ < self->total_) {
            const auto frame = static_cast<std::int64_t>(std::llround(self->next_));
            if (frame >= start + frames)
                break;
            const jack_midi_data_t f8 = 0xF8;
            jack_midi_event_write(
                buf, static_cast<jack_nframes_t>(std::max<std::int64_t>(frame - start, 0)), &f8, 1);
            self->times_[static_cast<std::size_t>(self->at_)] = self->monoOfFrame(frame);
            ++self->at_;
            self->sent_.store(self->at_, std::memory_order_release);
            self->next_ += static_cast<double>(self->rate_) * 60.0 / (self->bpmAt(self->at_) * 24);
        }
        return 0;
    }
    double bpm_, laterBpm_;
    int changeAt_, total_;
    jack_port_t* out_ = nullptr;
    std::vector<std::int64_t> times_;
    std::atomic<bool> starting_{false};
    std::atomic<int> sent_{0};
    double next_ = -1;
    int at_ = 0;
};

} // namespace fw::bench
