#include "platform/fluidsynth/fluid_synth_port.h"

#include "engine/audio_stream.h"
#include "engine/clock.h"
#include "engine/realtime_ring.h"
#include "engine/stream_clock.h"
#include "platform/alsa/alsa_quiet.h"
#include "platform/fluidsynth/synth_grid.h"

#include <fluidsynth.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace fw {

namespace {

constexpr int kSampleRate = 44100;
// Messages on their way to the audio thread: far more than a dense pattern sends between two
// of its callbacks, even with the accompaniment and a stall of the machine.
constexpr std::size_t kInboxLength = 8192;
// Synthesizers handed to a playing stream and not yet handed back: a SoundFont chosen more often
// than that within a moment restarts the stream instead.
constexpr std::size_t kHandovers = 4;
// How long a synthesizer given way to sounds out its released notes at most, and the piece of
// it rendered at a time.
constexpr double kSoundOutSeconds = 2;
constexpr int kSoundOutFrames = 1024;
// A gap between two callbacks this long means the stream was paused.
constexpr std::int64_t kPausedMicros = 100000;
// Sound queued at the server, to begin with: short enough that a pick is heard at once. A
// machine too busy for it makes the stream ask for more after an underrun. The server asks for a
// small piece at a time, so that the device itself keeps a few milliseconds; the program wakes
// for sound 500 times a second, at real-time priority where the system allows it.
constexpr double kBufferMillis = 8;
constexpr double kRequestMillis = 2;
// Room for the sound server's callback to run late before a message misses its frame.
constexpr std::int64_t kMarginMicros = 3000;
// JACK's callbacks come on a steady period at real-time priority: the margin only covers the
// time from a beat's stamp to its message reaching the inbox, on a busy machine too.
constexpr std::int64_t kJackMarginMicros = 2500;
// Periods for FluidSynth's own drivers, when no PulseAudio server answers.
constexpr int kFallbackPeriod = 512;
constexpr int kFallbackPeriods = 2;
// How often the sound path is watched for a server gone (a look at a flag), and how often a
// server away is asked for again (a connection tried).
constexpr auto kWatchPeriod = std::chrono::milliseconds(250);
constexpr std::int64_t kRetryMicros = 1000000;

constexpr const char* kSoundServerGone =
    "The sound server has stopped: the built-in synthesizer is silent until it comes back.";
constexpr const char* kJackGoneToServer =
    "The JACK server has stopped: the sound server plays instead until it comes back.";
constexpr const char* kJackGone =
    "The JACK server has stopped: the built-in synthesizer is silent until a server comes back.";

} // namespace

// ---------------------------------------------------------------------------------------------

// Runs the port's slow work (loading, opening and switching sound) one job after another.
class PortWorker {
public:
    PortWorker() : thread_([this] { run(); }) {}
    ~PortWorker() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    void post(std::function<void()> job) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            jobs_.push_back(std::move(job));
        }
        wake_.notify_all();
    }
    void waitUntilIdle() {
        std::unique_lock<std::mutex> lock(mutex_);
        idle_.wait(lock, [this] { return jobs_.empty() && !busy_; });
    }

private:
    void run() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
            if (jobs_.empty())
                return;
            auto job = std::move(jobs_.front());
            jobs_.pop_front();
            busy_ = true;
            lock.unlock();
            job();
            lock.lock();
            busy_ = false;
            if (jobs_.empty())
                idle_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<std::function<void()>> jobs_;
    bool busy_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

// Wakes every period and runs a job, until it goes.
class Ticker {
public:
    Ticker(std::chrono::milliseconds period, std::function<void()> job)
        : period_(period), job_(std::move(job)), thread_([this] { run(); }) {}
    ~Ticker() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }

private:
    void run() {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!wake_.wait_for(lock, period_, [this] { return stopping_; })) {
            lock.unlock();
            job_();
            lock.lock();
        }
    }

    std::chrono::milliseconds period_;
    std::function<void()> job_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread thread_;
};

// What each channel was last told, so that a new synthesizer or sound system starts where the
// old one stood.
struct ChannelState {
    int bankSelect = 0;
    int program = -1; // none sent yet
    int bend = -1;
    std::array<int, 128> controllers{};
    ChannelState() { controllers.fill(-1); }

    void note(MidiMessage m) {
        if (m.kind() == MidiKind::ProgramChange)
            program = m.data1();
        else if (m.kind() == MidiKind::PitchBend)
            bend = m.bend();
        else if (m.kind() == MidiKind::ControlChange && m.data1() < kAllSoundOff) {
            // not the channel mode messages, which start there
            controllers[static_cast<std::size_t>(m.data1())] = m.data2();
            if (m.data1() == 0)
                bankSelect = m.data2();
        }
    }
    // The messages that bring a fresh synthesizer's channel to this state.
    void replay(int channel, std::vector<MidiMessage>& out) const {
        for (int c = 0; c < kAllSoundOff; ++c)
            if (controllers[static_cast<std::size_t>(c)] >= 0)
                out.push_back(MidiMessage::controlChange(channel, c,
                                                         controllers[static_cast<std::size_t>(c)]));
        if (program >= 0)
            out.push_back(MidiMessage::programChange(channel, program));
        if (bend >= 0)
            out.push_back(MidiMessage::pitchBend(channel, bend));
    }
};

// Marks a switch of the sound path for as long as it lives.
struct SwitchGuard {
    explicit SwitchGuard(std::atomic<bool>& flag) : flag_(flag) { flag_.store(true); }
    ~SwitchGuard() { flag_.store(false); }
    SwitchGuard(const SwitchGuard&) = delete;
    SwitchGuard& operator=(const SwitchGuard&) = delete;
    std::atomic<bool>& flag_;
};

struct FluidSynthPort::Impl {
    // Chosen by the window thread, read by the worker.
    mutable std::mutex configMutex;
    std::string soundFont;
    AudioSystem system = AudioSystem::SoundServer;
    std::atomic<int> volume{100};
    std::vector<int> preloaded; // programs of bank 0, on the worker

    // The sound path, replaced only by the worker. The window thread reads the stream's figures
    // under pathMutex. grid is the newest synthesizer; a playing stream takes one over through
    // the inbox and hands the one it played from back through retired, to be freed here.
    mutable std::mutex pathMutex;
    std::unique_ptr<SynthGrid> grid;
    std::string gridSoundFont;
    std::vector<std::unique_ptr<SynthGrid>> retiring; // handed over, not yet handed back
    RealtimeRing<SynthGrid*> retired{kHandovers};
    std::unique_ptr<StreamClock> streamClock;
    std::unique_ptr<AudioStream> stream;
    std::atomic<bool> playing{false};
    std::atomic<std::int64_t> streamsOpened{0};
    // The worker is replacing the sound path: opening waits for nothing meanwhile.
    std::atomic<bool> switching{false};
    // The server went away: the port takes messages (keeping each channel's state) and the
    // watch brings the sound back.
    std::atomic<bool> away{false};
    // The lost SoundFont of the grid in use has been told.
    bool lossTold = false;
    Notice notice; // under configMutex

    // Messages from the window thread (and the worker), taken by the audio thread at its next
    // callback through a ring with no lock; the senders take turns under stateMutex, which also
    // holds the state of every channel as of the last message. With no stream playing, the
    // worker takes the audio thread's side.
    std::mutex stateMutex;
    // A message, or a synthesizer to play from instead (grid set).
    struct Delivery {
        std::int64_t stamp = 0;
        MidiMessage message;
        SynthGrid* grid = nullptr;
    };
    RealtimeRing<Delivery> inbox{kInboxLength};
    std::array<ChannelState, 16> channels;
    std::atomic<std::int64_t> late{0};
    std::atomic<std::int64_t> dropped{0};
    // A start of the stream is on its way to the worker.
    std::atomic<bool> opening{false};
    // The stream to wake when a message is queued (senders use it under stateMutex), and when
    // the audio thread last rendered.
    std::atomic<AudioStream*> wakeable{nullptr};
    std::int64_t lastRender = 0;
    std::atomic<int> voices{0};

    // The audio thread's own, set by the worker while no stream plays: the synthesizer it plays
    // from and the stream frame of that one's frame 0; the one it played from before, sounding
    // out its notes (frames left); the late and dropped messages of those gone.
    SynthGrid* live = nullptr;
    std::int64_t liveStart = 0;
    SynthGrid* soundingOut = nullptr;
    std::int64_t soundOutLeft = 0;
    std::int64_t lateBefore = 0;
    std::int64_t droppedBefore = 0;
    std::array<float, kSoundOutFrames> outLeft{};
    std::array<float, kSoundOutFrames> outRight{};

    // Declared last: it stops (finishing its jobs) before anything above goes.
    std::unique_ptr<PortWorker> worker;
    // Hands the watch of the sound path to the worker, one at a time.
    std::unique_ptr<Ticker> watcher;
    std::atomic<bool> watchQueued{false};

    std::int64_t nextRetry = 0; // on the worker

    void queueWatch() {
        if (!watchQueued.exchange(true))
            worker->post([this] {
                watchQueued.store(false);
                watch(false);
            });
    }

    std::string chosenSoundFont() const {
        std::lock_guard<std::mutex> lock(configMutex);
        return soundFont;
    }

    // On the worker: a synthesizer for the chosen SoundFont at this rate, set to the channels'
    // state. Keeps the one there when it already fits.
    bool ensureGrid(int rate) {
        const std::string path = chosenSoundFont();
        if (grid && grid->sampleRate() == rate && gridSoundFont == path)
            return true;
        auto made = std::make_unique<SynthGrid>(rate, path, SynthGrid::Samples::OnDemand);
        if (!made->loaded())
            return false;
        adopt(std::move(made), path);
        return true;
    }

    // Loads the instruments the channels play and those preloaded into a new synthesizer.
    void prepareFor(SynthGrid& made) {
        std::array<ChannelState, 16> now;
        {
            std::lock_guard<std::mutex> lock(stateMutex);
            now = channels;
        }
        for (int c = 0; c < 16; ++c) {
            const ChannelState& ch = now[static_cast<std::size_t>(c)];
            if (ch.program >= 0)
                made.prepare(presetBank(c, ch.bankSelect), ch.program);
        }
        for (int program : preloaded)
            made.prepare(0, program);
    }

    // While no stream plays: made is the synthesizer from now on.
    void adopt(std::unique_ptr<SynthGrid> made, const std::string& path) {
        prepareFor(*made);
        std::vector<MidiMessage> state;
        {
            std::lock_guard<std::mutex> lock(stateMutex);
            for (int c = 0; c < 16; ++c)
                channels[static_cast<std::size_t>(c)].replay(c, state);
            // What was on its way to the old synthesizer is over: the new one starts from the
            // channels' state. No stream plays meanwhile.
            inbox.clear();
        }
        // A program change since prepareFor waits for its instrument like any other.
        made->post(0, SynthGrid::volumeMessage(volume.load()));
        for (const MidiMessage& message : state)
            made->post(0, message);
        std::unique_ptr<SynthGrid> old;
        {
            std::lock_guard<std::mutex> lock(pathMutex);
            old = std::move(grid);
            grid = std::move(made);
            gridSoundFont = path;
        }
        lossTold = false;
    }

    // On the worker: plays from made from now on, every channel as it stands. A playing stream
    // takes it over at its next callback and goes on; one that cannot (too many on their way,
    // the inbox full) starts again, and sounding notes end either way.
    void switchTo(std::unique_ptr<SynthGrid> made, const std::string& path) {
        {
            std::lock_guard<std::mutex> lock(configMutex);
            soundFont = path;
        }
        reclaim();
        prepareFor(*made);
        if (!handOver(made)) {
            const SwitchGuard switching(this->switching);
            const bool wasPlaying = playing.load();
            stopStream();
            adopt(std::move(made), path);
            if (wasPlaying)
                startStream();
            return;
        }
        gridSoundFont = path;
        lossTold = false;
        // A program change sent while the state was taken waits in the new synthesizer for
        // its instrument.
        prepareFor(*grid);
    }

    // On the worker: made becomes grid, and the playing stream takes it over through the
    // inbox, behind every message sent so far. False (made kept) when no stream can.
    bool handOver(std::unique_ptr<SynthGrid>& made) {
        if (!playing.load() || retiring.size() >= kHandovers)
            return false;
        std::vector<MidiMessage> state;
        std::lock_guard<std::mutex> lock(stateMutex);
        for (int c = 0; c < 16; ++c)
            channels[static_cast<std::size_t>(c)].replay(c, state);
        // Told before the audio thread sees it; what follows in the inbox comes after.
        made->post(0, SynthGrid::volumeMessage(volume.load()));
        for (const MidiMessage& message : state)
            made->post(0, message);
        // The one playing stays here until it is handed back, which may be at once.
        SynthGrid* const next = made.get();
        retiring.push_back(std::move(grid));
        grid = std::move(made);
        if (!inbox.push({monotonicMicros(), {}, next})) {
            made = std::move(grid);
            grid = std::move(retiring.back());
            retiring.pop_back();
            return false;
        }
        if (AudioStream* s = wakeable.load())
            s->wake();
        return true;
    }

    // On the worker: frees the synthesizers the audio thread has handed back.
    void reclaim() {
        SynthGrid* back = nullptr;
        while (retired.pop(back))
            std::erase_if(retiring, [back](const auto& g) { return g.get() == back; });
    }

    void tell(const std::string& text) {
        Notice told;
        {
            std::lock_guard<std::mutex> lock(configMutex);
            told = notice;
        }
        if (told)
            told(text);
    }

    // On the worker, after a load: a SoundFont that changed on disk gives way to the default
    // one, which takes every channel's instrument along.
    void replaceLostSoundFont() {
        if (!grid || !grid->soundFontLost() || lossTold)
            return;
        lossTold = true;
        const std::string lost = gridSoundFont;
        const std::string said =
            "The SoundFont \"" + lost + "\" has changed on disk and can no longer be read";
        if (lost != FW_DEFAULT_SOUNDFONT && !soundFontProblem(FW_DEFAULT_SOUNDFONT)) {
            auto made = std::make_unique<SynthGrid>(grid->sampleRate(), FW_DEFAULT_SOUNDFONT,
                                                    SynthGrid::Samples::OnDemand);
            if (made->loaded()) {
                switchTo(std::move(made), FW_DEFAULT_SOUNDFONT);
                tell(said + ": the default SoundFont plays instead.");
                return;
            }
        }
        tell(said + ": instruments not played yet stay silent.");
    }

    // On the worker: what the watch does at every look.
    void watch(bool retryNow) {
        reclaim();
        const std::int64_t now = monotonicMicros();
        const bool retry = retryNow || now >= nextRetry;
        if (retry)
            nextRetry = now + kRetryMicros;
        const bool jackChosen = [this] {
            std::lock_guard<std::mutex> lock(configMutex);
            return system == AudioSystem::Jack;
        }();
        std::string driver;
        bool lost = false;
        {
            std::lock_guard<std::mutex> lock(pathMutex);
            if (stream) {
                driver = stream->driverName();
                lost = stream->lost();
            }
        }
        if (playing.load() && lost) {
            // Still usable meanwhile: a window that finds the port closed would wait to open it.
            away.store(true);
            stopStream();
            startStream(false);
            if (playing.load()) {
                away.store(false);
                resumeChannels();
                tell(driver == "jack" && driverOpen() != "jack" ? kJackGoneToServer : "");
            } else {
                tell(driver == "jack" ? kJackGone : kSoundServerGone);
            }
        } else if (away.load() && retry) {
            startStream(false);
            if (playing.load()) {
                away.store(false);
                resumeChannels();
                tell({});
            }
        } else if (retry && playing.load() && jackChosen && driver != "jack" &&
                   jackServerRunning()) {
            // JACK was chosen and has come (back): the sound moves to it.
            const SwitchGuard switching(this->switching);
            stopStream();
            startStream();
            resumeChannels();
            if (driverOpen() == "jack")
                tell({});
        }
    }

    std::string driverOpen() const {
        std::lock_guard<std::mutex> lock(pathMutex);
        return stream ? stream->driverName() : "";
    }

    // A stream opened again plays from the channels' state: what sounded when the old one went
    // is over, and what was sent meanwhile is in force.
    void resumeChannels() {
        std::lock_guard<std::mutex> lock(stateMutex);
        const std::int64_t now = monotonicMicros();
        inbox.push({now, SynthGrid::allSoundsOff(), nullptr});
        inbox.push({now, SynthGrid::volumeMessage(volume.load()), nullptr});
        std::vector<MidiMessage> state;
        for (int c = 0; c < 16; ++c)
            channels[static_cast<std::size_t>(c)].replay(c, state);
        for (const MidiMessage& message : state)
            inbox.push({now, message, nullptr});
    }

    // On the worker: opens the chosen sound system (the sound server when JACK is not there;
    // FluidSynth's own drivers only with fallbacks, as the first time).
    void startStream(bool fallbacks = true) {
        if (playing.load())
            return;
        const bool jack = [this] {
            std::lock_guard<std::mutex> lock(configMutex);
            return system == AudioSystem::Jack;
        }();
        std::unique_ptr<AudioStream> made;
        std::unique_ptr<StreamClock> clock;
        auto renderer = [this, &clock](std::int64_t margin) {
            return [this, &clock, margin](int rate) -> AudioStream::Render {
                if (!ensureGrid(rate))
                    return {};
                clock = std::make_unique<StreamClock>(rate, margin);
                live = grid.get();
                liveStart = 0;
                soundingOut = nullptr;
                return [this, c = clock.get()](std::int64_t now, int frames, float* left,
                                               float* right) {
                    return render(*c, now, frames, left, right);
                };
            };
        };
        if (jack)
            made = openJackAudioStream(renderer(kJackMarginMicros));
        if (!made) {
            const AudioStream::Render render = renderer(kMarginMicros)(kSampleRate);
            if (!render)
                return;
            made = openPulseAudioStream(kSampleRate, kBufferMillis, kRequestMillis, render);
            // JACK is left out here: a client that finds no JACK server may try to start one.
            for (const char* driver : {"pipewire", "alsa"}) {
                if (made || !fallbacks)
                    break;
                made = openFluidAudioStream(driver, kSampleRate, kFallbackPeriod, kFallbackPeriods,
                                            render);
            }
        }
        if (!made)
            return;
        std::lock_guard<std::mutex> lock(pathMutex);
        streamClock = std::move(clock);
        stream = std::move(made);
        wakeable.store(stream.get());
        playing.store(true);
        streamsOpened.fetch_add(1);
    }

    void stopStream() {
        std::unique_ptr<AudioStream> old;
        {
            std::lock_guard<std::mutex> lock(pathMutex);
            playing.store(false);
            wakeable.store(nullptr);
            old = std::move(stream);
        }
        {
            // A sender that found the stream to wake is done with it.
            std::lock_guard<std::mutex> lock(stateMutex);
        }
        old.reset(); // its thread stops here, before the grid it renders from may change
        // What it left in the inbox never sounds: a stream opened later starts from the
        // channels' state, with the newest synthesizer.
        {
            std::lock_guard<std::mutex> lock(stateMutex);
            inbox.clear();
        }
        live = nullptr;
        soundingOut = nullptr;
        retired.clear();
        retiring.clear();
    }

    // On the audio thread: true while something sounds or waits to.
    bool render(StreamClock& clock, std::int64_t now, int frames, float* left, float* right) {
        // After a pause of the stream, frame 0 lies elsewhere on the clock.
        if (now - lastRender > kPausedMicros)
            clock.restart();
        lastRender = now;
        clock.update(now, liveStart + live->position() + frames);
        Delivery d;
        while (inbox.pop(d)) {
            if (d.grid)
                takeOver(*d.grid, clock.frameFor(d.stamp));
            else
                live->post(clock.frameFor(d.stamp) - liveStart, d.message);
        }
        live->render(frames, left, right);
        if (soundingOut)
            soundOut(frames, left, right);
        late.store(lateBefore + live->lateMessages(), std::memory_order_relaxed);
        dropped.store(droppedBefore + live->droppedMessages(), std::memory_order_relaxed);
        voices.store(live->activeVoices() + (soundingOut ? soundingOut->activeVoices() : 0),
                     std::memory_order_relaxed);
        return !live->idle() || soundingOut != nullptr;
    }

    // On the audio thread: next plays from here on. The one it replaces releases its notes at
    // the frame the change was asked for and sounds them out beside it; one still sounding out
    // from before goes back at once.
    void takeOver(SynthGrid& next, std::int64_t frame) {
        if (soundingOut)
            retired.push(soundingOut);
        live->post(std::max(frame - liveStart, live->position()), SynthGrid::releaseAll());
        lateBefore += live->lateMessages();
        droppedBefore += live->droppedMessages();
        soundingOut = live;
        soundOutLeft = static_cast<std::int64_t>(kSoundOutSeconds * live->sampleRate());
        liveStart += live->position();
        live = &next;
    }

    void soundOut(int frames, float* left, float* right) {
        for (int done = 0; done < frames;) {
            const int n = std::min(frames - done, kSoundOutFrames);
            soundingOut->render(n, outLeft.data(), outRight.data());
            for (int k = 0; k < n; ++k) {
                left[done + k] += outLeft[static_cast<std::size_t>(k)];
                right[done + k] += outRight[static_cast<std::size_t>(k)];
            }
            done += n;
        }
        soundOutLeft -= frames;
        if (soundingOut->idle() || soundOutLeft <= 0) {
            retired.push(soundingOut);
            soundingOut = nullptr;
        }
    }

    void post(std::int64_t stamp, MidiMessage message) {
        std::lock_guard<std::mutex> lock(stateMutex);
        if (message.isChannelMessage())
            channels[static_cast<std::size_t>(message.channel())].note(message);
        // With the server away nothing takes them: the channels' state is replayed instead.
        if (!playing.load())
            return;
        inbox.push({stamp, message, nullptr});
        if (AudioStream* s = wakeable.load())
            s->wake();
    }

    // Asks the worker for the instrument a program change on this channel selects.
    void prepareProgram(int channel, int program) {
        int bank = 0;
        {
            std::lock_guard<std::mutex> lock(stateMutex);
            bank = channels[static_cast<std::size_t>(channel)].bankSelect;
        }
        worker->post([this, bank = presetBank(channel, bank), program] {
            if (grid && !grid->prepare(bank, program))
                replaceLostSoundFont();
        });
    }
};

FluidSynthPort::FluidSynthPort(std::string soundFont) : impl_(std::make_unique<Impl>()) {
    impl_->soundFont = std::move(soundFont);
    silenceFluidSynthLog();
    silenceAlsaErrors();
    impl_->worker = std::make_unique<PortWorker>();
    // The SoundFont takes a moment to read, so it is read from construction on, and the first
    // open (the first beat) rarely has to wait for it.
    impl_->worker->post([impl = impl_.get()] {
        bool jack = false;
        {
            std::lock_guard<std::mutex> lock(impl->configMutex);
            jack = impl->system == AudioSystem::Jack;
        }
        if (!jack)
            impl->ensureGrid(kSampleRate);
    });
    impl_->watcher = std::make_unique<Ticker>(
        std::chrono::duration_cast<std::chrono::milliseconds>(kWatchPeriod),
        [impl = impl_.get()] { impl->queueWatch(); });
}

FluidSynthPort::~FluidSynthPort() {
    impl_->watcher.reset();
    impl_->worker.reset();
    // The stream's thread renders from the grid: it stops first.
    impl_->stopStream();
    impl_->grid.reset();
}

std::string FluidSynthPort::name() const {
    return "Built-in synthesizer (General MIDI)";
}

bool FluidSynthPort::open() {
    if (impl_->playing.load() || impl_->away.load())
        return true;
    // The sound comes back by itself once the SoundFont or the sound system has changed; the
    // window does not wait for that.
    if (impl_->switching.load())
        return false;
    // Opening takes the worker a while (behind a SoundFont still loading, perhaps): the window
    // goes on, and a later call finds the port open.
    if (!impl_->opening.exchange(true))
        impl_->worker->post([impl = impl_.get()] {
            impl->startStream();
            impl->opening.store(false);
        });
    return impl_->playing.load();
}

bool FluidSynthPort::opening() const {
    return impl_->opening.load();
}

bool FluidSynthPort::openAndWait() {
    open();
    waitUntilSettled();
    return usable();
}

bool FluidSynthPort::usable() const {
    return impl_->playing.load() || impl_->away.load();
}

bool FluidSynthPort::send(MidiMessage message) {
    return sendAt(message, monotonicMicros());
}

bool FluidSynthPort::sendAt(MidiMessage sent, std::int64_t monoMicros) {
    if (!usable())
        return false;
    // Data bytes count by their seven bits, as on the wire.
    const MidiMessage message = sent.onWire();
    // Clock, start and stop are for other programs; the synthesizer has no use for them.
    if (message.isSystemRealtime())
        return true;
    const int channel = message.channel();
    // A program change is asked for after it is queued, so that a new synthesizer taking over
    // meanwhile either hears it with the channels' state or loads its instrument.
    if (message.kind() == MidiKind::ProgramChange) {
        impl_->post(monoMicros, message);
        impl_->prepareProgram(channel, message.data1());
        return true;
    }
    if (message.isNoteOn()) {
        bool fresh = false;
        {
            std::lock_guard<std::mutex> lock(impl_->stateMutex);
            fresh = impl_->channels[static_cast<std::size_t>(channel)].program < 0;
        }
        // A channel never given an instrument plays the first one of its bank, as every
        // synthesizer does; it is loaded like any other.
        if (fresh) {
            impl_->post(monoMicros, MidiMessage::programChange(channel, 0));
            impl_->prepareProgram(channel, 0);
        }
    }
    impl_->post(monoMicros, message);
    return true;
}

void FluidSynthPort::reset() {
    // Only an open port has sounding notes; before that the synthesizer may still be loading.
    if (impl_->playing.load())
        impl_->post(monotonicMicros(), SynthGrid::allSoundsOff());
}

void FluidSynthPort::setSoundFont(std::string path, Done done) {
    impl_->worker->post([impl = impl_.get(), path = std::move(path), done = std::move(done)] {
        std::optional<std::string> error = soundFontProblem(path);
        if (!error &&
            !(impl->grid && impl->gridSoundFont == path && !impl->grid->soundFontLost())) {
            const int rate = impl->grid ? impl->grid->sampleRate() : kSampleRate;
            auto made = std::make_unique<SynthGrid>(rate, path, SynthGrid::Samples::OnDemand);
            if (!made->loaded()) {
                error = "\"" + path + "\" could not be loaded as a SoundFont.";
            } else {
                // The old synthesizer plays on while the new one loads what it will need.
                impl->prepareFor(*made);
                impl->switchTo(std::move(made), path);
            }
        } else if (!error) {
            std::lock_guard<std::mutex> lock(impl->configMutex);
            impl->soundFont = path;
        }
        if (done)
            done(error);
    });
}

std::string FluidSynthPort::soundFont() const {
    return impl_->chosenSoundFont();
}

void FluidSynthPort::setAudioSystem(AudioSystem system, Done done) {
    impl_->worker->post([impl = impl_.get(), system, done = std::move(done)] {
        bool changed = false;
        {
            std::lock_guard<std::mutex> lock(impl->configMutex);
            changed = impl->system != system;
            impl->system = system;
        }
        bool jack = false;
        if (changed && impl->playing.load()) {
            const SwitchGuard switching(impl->switching);
            impl->stopStream();
            impl->startStream();
            std::lock_guard<std::mutex> lock(impl->pathMutex);
            jack = impl->stream && impl->stream->driverName() == "jack";
        } else if (system == AudioSystem::Jack) {
            std::lock_guard<std::mutex> lock(impl->pathMutex);
            jack = impl->stream ? impl->stream->driverName() == "jack" : jackServerRunning();
        }
        if (done)
            done(system == AudioSystem::Jack && !jack
                     ? std::optional<std::string>(
                           "No JACK server is running: the sound server plays instead.")
                     : std::nullopt);
    });
}

void FluidSynthPort::preload(int program) {
    if (program < 0 || program > 127)
        return;
    impl_->worker->post([impl = impl_.get(), program] {
        if (std::find(impl->preloaded.begin(), impl->preloaded.end(), program) ==
            impl->preloaded.end())
            impl->preloaded.push_back(program);
        if (impl->grid && !impl->grid->prepare(0, program))
            impl->replaceLostSoundFont();
    });
}

void FluidSynthPort::setVolume(int percent) {
    percent = std::clamp(percent, 0, 100);
    if (impl_->volume.exchange(percent) != percent && impl_->playing.load())
        impl_->post(monotonicMicros(), SynthGrid::volumeMessage(percent));
}

void FluidSynthPort::waitUntilSettled() {
    impl_->worker->waitUntilIdle();
}

void FluidSynthPort::setNotice(Notice notice) {
    std::lock_guard<std::mutex> lock(impl_->configMutex);
    impl_->notice = std::move(notice);
}

void FluidSynthPort::checkSoundPath() {
    impl_->worker->post([impl = impl_.get()] { impl->watch(true); });
    impl_->worker->waitUntilIdle();
}

std::string FluidSynthPort::driverName() const {
    std::lock_guard<std::mutex> lock(impl_->pathMutex);
    return impl_->stream ? impl_->stream->driverName() : "";
}

double FluidSynthPort::latencyMillis() const {
    std::lock_guard<std::mutex> lock(impl_->pathMutex);
    if (!impl_->stream || !impl_->streamClock)
        return 0;
    return impl_->stream->bufferMillis() +
           static_cast<double>(impl_->streamClock->marginMicros()) / 1000.0;
}

std::int64_t FluidSynthPort::lateMessages() const {
    return impl_->late.load(std::memory_order_relaxed);
}

std::int64_t FluidSynthPort::droppedMessages() const {
    return impl_->inbox.dropped() + impl_->dropped.load(std::memory_order_relaxed);
}

std::int64_t FluidSynthPort::underruns() const {
    std::lock_guard<std::mutex> lock(impl_->pathMutex);
    return impl_->stream ? impl_->stream->underruns() : 0;
}

std::int64_t FluidSynthPort::streamsOpened() const {
    return impl_->streamsOpened.load();
}

int FluidSynthPort::soundingVoices() const {
    return impl_->playing.load() ? impl_->voices.load(std::memory_order_relaxed) : 0;
}

std::optional<std::string> soundFontProblem(const std::string& path) {
    const std::string named = "\"" + path + "\"";
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0)
        return "The SoundFont " + named + " does not exist.";
    if (!S_ISREG(info.st_mode) || ::access(path.c_str(), R_OK) != 0)
        return "The SoundFont " + named + " cannot be read.";
    silenceFluidSynthLog();
    if (!fluid_is_soundfont(path.c_str()))
        return named + " is not a SoundFont (SF2 or SF3).";
    return std::nullopt;
}

// ---------------------------------------------------------------------------------------------

struct OfflineSynth::Impl {
    Impl(int sampleRate, const std::string& soundFont) : grid(sampleRate, soundFont) {}
    SynthGrid grid;
    std::vector<float> left;
    std::vector<float> right;
};

OfflineSynth::OfflineSynth(int sampleRate, std::string soundFont)
    : impl_(std::make_unique<Impl>(sampleRate, soundFont)) {}

OfflineSynth::~OfflineSynth() = default;

bool OfflineSynth::loaded() const {
    return impl_->grid.loaded();
}

int OfflineSynth::sampleRate() const {
    return impl_->grid.sampleRate();
}

void OfflineSynth::send(MidiMessage message) {
    impl_->grid.post(impl_->grid.position(), message);
}

void OfflineSynth::reset() {
    impl_->grid.post(impl_->grid.position(), SynthGrid::allSoundsOff());
}

void OfflineSynth::render(int frames, std::vector<std::int16_t>& out) {
    if (frames <= 0)
        return;
    const auto n = static_cast<std::size_t>(frames);
    impl_->left.resize(n);
    impl_->right.resize(n);
    impl_->grid.render(frames, impl_->left.data(), impl_->right.data());
    const std::size_t start = out.size();
    out.resize(start + 2 * n);
    const auto sample = [](float v) {
        return static_cast<std::int16_t>(std::lround(std::clamp(v, -1.0f, 1.0f) * 32767.0f));
    };
    for (std::size_t k = 0; k < n; ++k) {
        out[start + 2 * k] = sample(impl_->left[k]);
        out[start + 2 * k + 1] = sample(impl_->right[k]);
    }
}

} // namespace fw
