#pragma once

// jack_midi_dump -a run as a JACK client of its own under a name of its own, printing what its
// input port receives to a file; for the JACK tests and benches.
#include <cctype>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fw::test {

class MidiDump {
public:
    struct Framed {
        std::int64_t frame = 0; // counted from the client's start
        std::vector<int> bytes;
    };

    explicit MidiDump(const std::string& name = "fwdump")
        : name_(name + std::to_string(getpid())), file_("/tmp/" + name_ + ".txt") {
        start();
    }
    // Starts the client (again, after stop(), as when its server came back).
    void start() {
        pid_ = fork();
        if (pid_ == 0) {
            if (!std::freopen(file_.c_str(), "w", stdout))
                _exit(126);
            execlp("jack_midi_dump", "jack_midi_dump", "-a", name_.c_str(), nullptr);
            _exit(127);
        }
    }
    ~MidiDump() {
        stop();
        std::remove(file_.c_str());
    }
    MidiDump(const MidiDump&) = delete;
    MidiDump& operator=(const MidiDump&) = delete;

    std::string port() const { return name_ + ":input"; }
    // True once some client's output is connected to the port.
    bool connected() const {
        return std::system(
                   ("JACK_NO_START_SERVER=1 jack_lsp -c " + port() + " 2>/dev/null | grep -q '^ '")
                       .c_str()) == 0;
    }
    // Ends the client as Ctrl+C does: it closes its JACK client properly.
    void stop() {
        if (pid_ <= 0)
            return;
        kill(pid_, SIGINT);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    // Each message received with its frame, from lines "FRAME: b0 b1 b2".
    std::vector<Framed> framed() const {
        std::vector<Framed> out;
        std::ifstream in(file_);
        for (std::string line; std::getline(in, line);) {
            const auto colon = line.find(':');
            if (colon == std::string::npos)
                continue;
            Framed m;
            m.frame = std::atoll(line.substr(0, colon).c_str());
            std::istringstream fields(line.substr(colon + 1));
            for (std::string b;
                 fields >> b && b.size() == 2 && std::isxdigit(b[0]) && std::isxdigit(b[1]);)
                m.bytes.push_back(std::stoi(b, nullptr, 16));
            out.push_back(std::move(m));
        }
        return out;
    }
    // Each message received as upper-case hexadecimal bytes, "91405A".
    std::vector<std::string> messages() const {
        std::vector<std::string> out;
        for (const Framed& m : framed()) {
            std::string hex;
            for (int b : m.bytes) {
                char two[3];
                std::snprintf(two, sizeof two, "%02X", b);
                hex += two;
            }
            out.push_back(hex);
        }
        return out;
    }

private:
    std::string name_;
    std::string file_;
    pid_t pid_ = -1;
};

} // namespace fw::test
