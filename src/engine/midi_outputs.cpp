#include "engine/midi_outputs.h"

#include "engine/fluid_synth_port.h"
#include "engine/jack_midi_port.h"
#include "engine/output_choice.h"
#include "engine/rtmidi_port.h"

#include <algorithm>

namespace fw {

namespace {
// Keys carry the kind of port in front of its name, so equal names of different systems differ.
constexpr const char* kBuiltinKey = "builtin:";
constexpr const char* kVirtualKey = "virtual:";
constexpr const char* kAlsaPrefix = "alsa:";
constexpr const char* kJackPrefix = "jack:";

bool startsWith(const std::string& s, const char* prefix) {
    return s.rfind(prefix, 0) == 0;
}
} // namespace

MidiOutputs::MidiOutputs()
    : MidiOutputs(
          kBuiltinKey,
          [] {
              std::vector<std::string> keys;
              for (const auto& p : listSystemMidiPorts())
                  keys.push_back((p.system == MidiSystem::Jack ? kJackPrefix : kAlsaPrefix) +
                                 p.name);
              keys.emplace_back(kVirtualKey);
              return keys;
          },
          [](const std::string& key) -> std::unique_ptr<MidiPort> {
              if (key == kBuiltinKey)
                  return std::make_unique<FluidSynthPort>();
              if (key == kVirtualKey)
                  return std::make_unique<RtMidiPort>(MidiSystem::Alsa, "");
              if (startsWith(key, kJackPrefix))
                  return std::make_unique<JackMidiPort>(key.substr(5));
              return std::make_unique<RtMidiPort>(MidiSystem::Alsa, key.substr(5));
          }) {}

MidiOutputs::MidiOutputs(std::string firstKey, PortLister lister, PortFactory factory)
    : lister_(std::move(lister)), factory_(std::move(factory)), firstKey_(std::move(firstKey)) {
    keys_.push_back(firstKey_);
}

void MidiOutputs::rescan() {
    keys_.assign(1, firstKey_);
    for (auto& k : lister_())
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
    if (k == kVirtualKey)
        return std::string(kVirtualPortName) + " (virtual output port)";
    if (startsWith(k, kJackPrefix))
        return "JACK: " + k.substr(5);
    if (startsWith(k, kAlsaPrefix))
        return k.substr(5);
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

} // namespace fw
