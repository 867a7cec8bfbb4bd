#include "platform/midi_outputs.h"

#include "engine/output_choice.h"
#include "platform/alsa/rtmidi_port.h"
#include "platform/fluidsynth/fluid_synth_port.h"
#include "platform/jack/jack_midi_port.h"
#include "platform/jack/jack_session.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace fw {

namespace {
constexpr const char* kBuiltinKey = "builtin:";
} // namespace

namespace {
std::vector<std::string> systemPortKeys(bool withJack) {
    std::vector<std::string> keys;
    for (const auto& p : listSystemMidiPorts(withJack))
        keys.push_back((p.system == MidiSystem::Jack ? kJackPortKey : kAlsaPortKey) + p.name);
    keys.emplace_back(kVirtualPortKey);
    return keys;
}
} // namespace

MidiOutputs::MidiOutputs()
    : MidiOutputs(
          kBuiltinKey, [] { return systemPortKeys(true); },
          [](const std::string& key) -> std::unique_ptr<MidiPort> {
              if (key == kBuiltinKey)
                  return std::make_unique<FluidSynthPort>();
              if (key == kVirtualPortKey)
                  return std::make_unique<RtMidiPort>(MidiSystem::Alsa, "");
              if (isPortKeyOf(key, kJackPortKey))
                  return std::make_unique<JackMidiPort>(portNameOfKey(key));
              return std::make_unique<RtMidiPort>(MidiSystem::Alsa, portNameOfKey(key));
          }) {
    quickLister_ = [] { return systemPortKeys(false); };
    if (jackServerMayRun())
        early_ = std::async(std::launch::async, [] { return systemPortKeys(true); });
}

MidiOutputs::MidiOutputs(std::string firstKey, PortLister lister, PortFactory factory)
    : lister_(std::move(lister)), factory_(std::move(factory)), firstKey_(std::move(firstKey)) {
    keys_.push_back(firstKey_);
}

void MidiOutputs::rescan() {
    takeKeys(lister_());
    complete_ = true;
}

void MidiOutputs::rescanQuickly() {
    if (!quickLister_) {
        rescan();
        return;
    }
    if (early_.valid()) {
        complete_ = early_.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
        takeKeys(complete_ ? early_.get() : quickLister_());
        return;
    }
    // Once the thread's list is taken, JACK's ports stay as it found them (a JACK server that
    // was not there then is asked at a rescan); the rest is listed again.
    std::vector<std::string> keys = quickLister_();
    // Before the virtual port, which ends the list.
    auto at = static_cast<std::ptrdiff_t>(keys.empty() ? 0 : keys.size() - 1);
    for (const auto& k : keys_)
        if (isPortKeyOf(k, kJackPortKey))
            keys.insert(keys.begin() + at++, k);
    takeKeys(std::move(keys));
    complete_ = true;
}

void MidiOutputs::takeKeys(std::vector<std::string> listed) {
    keys_.assign(1, firstKey_);
    for (auto& k : listed)
        if (k != firstKey_)
            keys_.push_back(std::move(k));
}

std::vector<std::string> MidiOutputs::names() const {
    std::vector<std::string> out;
    for (const auto& k : keys_) {
        auto made = std::find_if(made_.begin(), made_.end(), [&](auto& m) { return m.first == k; });
        out.push_back(made != made_.end() ? made->second->name() : displayName(k));
    }
    return out;
}

std::string MidiOutputs::displayName(const std::string& k) {
    if (k == kBuiltinKey)
        return "Built-in synthesizer (General MIDI)";
    if (k == kVirtualPortKey)
        return std::string(kVirtualPortName) + " (virtual output port)";
    if (isPortKeyOf(k, kJackPortKey))
        return "JACK: " + portNameOfKey(k);
    if (isPortKeyOf(k, kAlsaPortKey))
        return portNameOfKey(k);
    return k;
}

MidiPort* MidiOutputs::port(int index) {
    if (index < 0 || index >= count())
        return nullptr;
    const std::string& k = keys_[static_cast<std::size_t>(index)];
    for (auto& m : made_)
        if (m.first == k)
            return m.second.get();
    made_.emplace_back(k, factory_(k));
    return made_.back().second.get();
}

int MidiOutputs::indexOfKey(const std::string& key) const {
    auto it = std::find(keys_.begin(), keys_.end(), key);
    return it == keys_.end() ? -1 : static_cast<int>(it - keys_.begin());
}

int MidiOutputs::indexOfRemembered(const std::string& key) const {
    if (const int exact = indexOfKey(key); exact >= 0)
        return exact;
    const std::string name = withoutPortNumbers(key);
    auto it = std::find_if(keys_.begin(), keys_.end(),
                           [&](const std::string& k) { return withoutPortNumbers(k) == name; });
    return it == keys_.end() ? -1 : static_cast<int>(it - keys_.begin());
}

MidiOutputs::State MidiOutputs::stateOf(const MidiPort* port) {
    if (!port)
        return {};
    if (!port->usable())
        return {State::NotOpen, {}, 0};
    if (auto* synth = dynamic_cast<const FluidSynthPort*>(port)) {
        std::string driver = synth->driverName();
        if (driver.empty())
            return {State::Silent, {}, 0};
        // The buffer the sound system granted, and the synthesizer's own room for late wake-ups.
        return {State::Synth, std::move(driver), synth->latencyMillis()};
    }
    if (auto* jack = dynamic_cast<const JackMidiPort*>(port))
        return {State::Jack, {}, jack->latencyMillis()};
    return {State::Open, {}, 0};
}

std::string MidiOutputs::stateText(const State& state) {
    char ms[32];
    switch (state.kind) {
    case State::NoOutput:
        return "No output chosen.";
    case State::NotOpen:
        return "Not open yet: it opens at the next beat. If it stays closed, the output is not "
               "available (no sound server or MIDI system).";
    case State::Silent:
        return "Silent: no sound server answers now. The sound comes back by itself when one "
               "returns.";
    case State::Synth:
        std::snprintf(ms, sizeof ms, "%.0f", state.latencyMs);
        return "Through " + state.driver + ", as granted: every note sounds " + ms +
               " ms after it is sent.";
    case State::Jack:
        std::snprintf(ms, sizeof ms, "%.1f", state.latencyMs);
        return std::string("Open; each message reaches JACK at its own frame, ") + ms +
               " ms after it is sent.";
    case State::Open:
        break;
    }
    return "Open.";
}

void MidiOutputs::preload(const std::vector<int>& programs) {
    if (auto* synth = dynamic_cast<FluidSynthPort*>(port(0))) {
        for (int program : programs)
            synth->preload(program);
    }
}

} // namespace fw
