#pragma once

#include "engine/clock.h"
#include "engine/event_pump.h"
#include "engine/midi_port.h"
#include "engine/prompts.h"
#include "engine/random.h"
#include "engine/wake_timer.h"
#include "input/joystick.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace fw::test {

// A clock that moves only when told to; sleeping jumps straight to the deadline.
class ManualClock final : public Clock {
public:
    // Stamps follow the readings, or the system's clock while the readings stay manual: for a
    // test whose window timers and outputs run in real time.
    enum class Stamps { Manual, System };
    explicit ManualClock(std::int64_t startMicros = 0, Stamps stamps = Stamps::Manual)
        : now_(startMicros), systemStamps_(stamps == Stamps::System) {}
    std::int64_t micros() const override { return now_; }
    std::int64_t stampOffset() const override {
        return systemStamps_ ? now_ - monotonicMicros() : 0;
    }
    void sleepUntil(std::int64_t target) override {
        if (target > now_)
            now_ = target;
        ++sleeps;
    }
    void setCentis(int cs) { now_ = static_cast<std::int64_t>(cs) * 10000; }
    void advanceMicros(std::int64_t us) { now_ += us; }
    void advanceCentis(int cs) { now_ += static_cast<std::int64_t>(cs) * 10000; }
    int sleeps = 0;

private:
    std::int64_t now_;
    bool systemStamps_;
};

struct SentMessage {
    std::int64_t micros = 0;
    int status = 0;
    int data1 = 0;
    int data2 = 0;
    std::int64_t stamp = 0; // the monotonic time stamp it was sent with
};

// Stores every message it is sent with the time it arrived. It can be told to refuse opens and
// sends, as a missing or unplugged device does.
class RecordingMidiPort final : public MidiPort {
public:
    explicit RecordingMidiPort(const Clock* clock = nullptr, std::string name = "Recorder")
        : clock_(clock), name_(std::move(name)) {}
    std::string name() const override { return name_; }
    bool open() override {
        ++openCalls;
        if (failOpen)
            return false;
        opened = true;
        return true;
    }
    bool usable() const override { return opened && !failSend; }
    bool send(MidiMessage m) override { return sendAt(m, 0); }
    bool sendAt(MidiMessage m, std::int64_t stamp) override {
        ++sendCalls;
        if (!usable())
            return false;
        sent.push_back({clock_ ? clock_->micros() : 0, m.status(), m.data1(), m.data2(), stamp});
        return true;
    }
    void reset() override { ++resets; }
    void dropPending(int status) override { dropped.push_back(status); }

    bool failOpen = false;
    bool failSend = false;
    bool opened = false;
    int openCalls = 0;
    int sendCalls = 0;
    int resets = 0;
    std::vector<int> dropped; // statuses whose later messages were dropped
    std::vector<SentMessage> sent;

private:
    const Clock* clock_;
    std::string name_;
};

// Answers file dialogs from a script and keeps every message shown.
class ScriptedPrompts final : public Prompts {
public:
    void showMessage(const std::string& text) override { messages.push_back(text); }
    std::optional<std::string> openFileName(const FileDialogSpec& request) override {
        dialogs.push_back(request);
        return next();
    }
    std::optional<std::string> saveFileName(const FileDialogSpec& request) override {
        dialogs.push_back(request);
        return next();
    }
    // Queue the answer of the next file dialog (nothing = the user cancels).
    void answer(std::optional<std::string> file) { answers.push_back(std::move(file)); }
    // Questions take the default, Yes, unless an answer was queued.
    bool askYesNo(const std::string& text) override {
        questions.push_back(text);
        if (yesNo.empty())
            return true;
        const bool yes = yesNo.front();
        yesNo.pop_front();
        return yes;
    }

    std::vector<std::string> messages;
    std::vector<std::string> questions;
    std::deque<bool> yesNo;
    std::vector<FileDialogSpec> dialogs;
    std::deque<std::optional<std::string>> answers;

private:
    std::optional<std::string> next() {
        if (answers.empty())
            return std::nullopt;
        auto a = answers.front();
        answers.pop_front();
        return a;
    }
};

// An event pump for waits under a manual clock: each call lets the given time pass and runs
// what the test scheduled.
class ManualPump final : public EventPump {
public:
    explicit ManualPump(ManualClock& clock) : clock_(clock) {}
    void processEventsFor(int maxMillis) override {
        ++calls;
        clock_.advanceMicros(static_cast<std::int64_t>(maxMillis) * 1000);
        if (onPump)
            onPump();
    }
    int calls = 0;
    std::function<void()> onPump;

private:
    ManualClock& clock_;
};

// A wake timer under a manual clock: the test fires it, and time jumps to the wake.
class ManualWakeTimer final : public WakeTimer {
public:
    explicit ManualWakeTimer(ManualClock& clock) : clock_(clock) {}
    void wakeAt(std::int64_t micros, std::function<void()> wake) override {
        target = micros;
        wake_ = std::move(wake);
    }
    void cancel() override { wake_ = {}; }
    bool pending() const { return static_cast<bool>(wake_); }
    // Lets time pass to the pending wake and runs it; false when none was pending.
    bool fire() {
        if (!wake_)
            return false;
        clock_.sleepUntil(target);
        const auto wake = std::move(wake_);
        wake_ = {};
        ++fired;
        wake();
        return true;
    }
    // Fires until nothing is pending, running `before` ahead of every wake (it may stop the
    // activity). Returns the wakes fired.
    int runAll(const std::function<void()>& before = {}) {
        int n = 0;
        while (pending()) {
            if (before)
                before();
            n += fire() ? 1 : 0;
        }
        return n;
    }
    std::int64_t target = 0;
    int fired = 0;

private:
    ManualClock& clock_;
    std::function<void()> wake_;
};

class FakeJoystick final : public Joystick {
public:
    int setCapture() override {
        ++captures;
        return captureResult;
    }
    int getPosEx(JoyInfo& out) override {
        out = info;
        return captureResult;
    }
    void releaseCapture() override { ++releases; }
    int captureResult = kJoyUnplugged;
    JoyInfo info;
    int captures = 0;
    int releases = 0;
};

} // namespace fw::test
