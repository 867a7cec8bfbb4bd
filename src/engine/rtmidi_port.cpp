#include "engine/rtmidi_port.h"

#include "engine/alsa_quiet.h"

#include <rtmidi/RtMidi.h>

#include <cstdarg>
#include <filesystem>
#include <mutex>
#include <unistd.h>

namespace fw {

namespace {

void quietRtMidi(RtMidiError::Type, const std::string&, void*) {}

// A JACK client that finds no server complains on the terminal, so JACK is only asked when its
// server has left its sockets behind.
bool jackServerRunning() {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", ec)) {
        if (entry.path().filename().string().rfind("jack", 0) == 0)
            return true;
    }
    return false;
}

std::unique_ptr<RtMidiOut> makeClient(MidiSystem system) {
    silenceAlsaErrors();
    if (system == MidiSystem::Jack && !jackServerRunning())
        return nullptr;
    // Without the sequencer device RtMidi would only print its failure before throwing.
    if (system == MidiSystem::Alsa && access("/dev/snd/seq", R_OK | W_OK) != 0)
        return nullptr;
    try {
        auto api = system == MidiSystem::Jack ? RtMidi::UNIX_JACK : RtMidi::LINUX_ALSA;
        auto out = std::make_unique<RtMidiOut>(api, kVirtualPortName);
        out->setErrorCallback(quietRtMidi, nullptr);
        return out;
    } catch (const RtMidiError&) {
        return nullptr;
    }
}

bool isOwnPort(const std::string& name) {
    return name.rfind(std::string(kVirtualPortName) + ":", 0) == 0;
}

} // namespace

RtMidiPort::RtMidiPort(MidiSystem system, std::string portName)
    : system_(system), portName_(std::move(portName)) {}

RtMidiPort::~RtMidiPort() = default;

std::string RtMidiPort::name() const {
    if (portName_.empty())
        return std::string(kVirtualPortName) + " (virtual output port)";
    return system_ == MidiSystem::Jack ? "JACK: " + portName_ : portName_;
}

bool RtMidiPort::open() {
    if (usable())
        return true;
    out_ = makeClient(system_);
    if (!out_)
        return false;
    try {
        if (portName_.empty()) {
            out_->openVirtualPort(kVirtualPortName);
        } else {
            const unsigned count = out_->getPortCount();
            for (unsigned i = 0; i < count; ++i) {
                if (out_->getPortName(i) == portName_) {
                    out_->openPort(i, kVirtualPortName);
                    break;
                }
            }
        }
    } catch (const RtMidiError&) {
        out_.reset();
        return false;
    }
    if (!out_->isPortOpen()) {
        out_.reset();
        return false;
    }
    return true;
}

bool RtMidiPort::usable() const {
    return out_ && out_->isPortOpen();
}

bool RtMidiPort::send(std::uint32_t packed) {
    if (!usable())
        return false;
    const unsigned char status = packed & 0xFF;
    if (status < 0x80 || status >= 0xF0)
        return false;
    unsigned char bytes[3] = {status, static_cast<unsigned char>((packed >> 8) & 0x7F),
                              static_cast<unsigned char>((packed >> 16) & 0x7F)};
    try {
        out_->sendMessage(bytes, 1 + static_cast<std::size_t>(channelMessageDataBytes(status)));
    } catch (const RtMidiError&) {
        return false;
    }
    return true;
}

void RtMidiPort::reset() {
    if (!usable())
        return;
    for (unsigned char ch = 0; ch < 16; ++ch) {
        const unsigned char allSoundOff[3] = {static_cast<unsigned char>(0xB0 | ch), 120, 0};
        const unsigned char allNotesOff[3] = {static_cast<unsigned char>(0xB0 | ch), 123, 0};
        try {
            out_->sendMessage(allSoundOff, 3);
            out_->sendMessage(allNotesOff, 3);
        } catch (const RtMidiError&) {
            return;
        }
    }
}

std::vector<SystemPortName> listSystemMidiPorts() {
    std::vector<SystemPortName> names;
    for (MidiSystem system : {MidiSystem::Alsa, MidiSystem::Jack}) {
        auto client = makeClient(system);
        if (!client)
            continue;
        try {
            const unsigned count = client->getPortCount();
            for (unsigned i = 0; i < count; ++i) {
                std::string name = client->getPortName(i);
                if (!name.empty() && !isOwnPort(name))
                    names.push_back({system, std::move(name)});
            }
        } catch (const RtMidiError&) {
        }
    }
    return names;
}

} // namespace fw
