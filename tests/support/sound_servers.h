#pragma once

// Sound servers of a test's own, to kill and start again without touching the ones other tests
// share: a PulseAudio server with a null sink in a runtime folder of its own, and a JACK server
// on the dummy backend under a name of its own. While one lives, the process's clients reach it
// (PULSE_SERVER, JACK_DEFAULT_SERVER).

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace fw::test {

// Runs a shell command that ends with the test, even should the test crash.
inline pid_t spawnShell(const std::string& cmd) {
    const char* argv[] = {"sh", "-c", cmd.c_str(), nullptr};
    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        execve("/bin/sh", const_cast<char**>(argv), environ);
        _exit(127);
    }
    return pid < 0 ? 0 : pid;
}

inline void killAndWait(pid_t& pid, int signal = SIGKILL) {
    if (pid <= 0)
        return;
    ::kill(pid, signal);
    int status = 0;
    waitpid(pid, &status, 0);
    pid = 0;
}

// Keeps an environment variable set while it lives.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

inline bool waitUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

class OwnSoundServer {
public:
    OwnSoundServer()
        : dir_("/tmp/fw-own-pulse-" + std::to_string(getpid())),
          env_("PULSE_SERVER", "unix:" + dir_ + "/pulse/native") {
        std::filesystem::create_directories(dir_);
        std::filesystem::permissions(dir_, std::filesystem::perms::owner_all);
    }
    ~OwnSoundServer() {
        stop();
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    // Starts the server and returns once it answers.
    bool start() {
        pid_ = spawnShell("XDG_RUNTIME_DIR='" + dir_ +
                          "' exec pulseaudio -n --daemonize=no --exit-idle-time=-1 "
                          "--disable-shm=yes -L 'module-null-sink sink_name=fw_own' "
                          "-L module-native-protocol-unix --log-target=file:'" +
                          dir_ + "/log'");
        return pid_ > 0 && waitUntil([] { return answers(); });
    }
    // Ends it at once, as a crash would.
    void stop() { killAndWait(pid_); }
    static bool answers() { return std::system("pactl info >/dev/null 2>&1") == 0; }
    const std::string& dir() const { return dir_; }

private:
    std::string dir_;
    ScopedEnv env_;
    pid_t pid_ = 0;
};

class OwnJackServer {
public:
    OwnJackServer()
        : name_("fw-own-" + std::to_string(getpid())), log_("/tmp/" + name_ + "-jackd.log"),
          env_("JACK_DEFAULT_SERVER", name_) {}
    ~OwnJackServer() {
        stop();
        std::remove(log_.c_str());
    }
    // Starts the server and returns once it answers. A server killed a moment ago may still
    // hold JACK's shared registry, so a start that does not answer is tried again.
    bool start() {
        for (int attempt = 0; attempt < 3; ++attempt) {
            pid_ = spawnShell("exec jackd -n '" + name_ +
                              "' --no-realtime -d dummy -r 48000 -p 1024 >>'" + log_ + "' 2>&1");
            if (pid_ > 0 && waitUntil([this] { return answers(); }))
                return true;
            stop();
        }
        return false;
    }
    void stop() { killAndWait(pid_); }
    bool answers() const {
        return std::system(
                   ("JACK_DEFAULT_SERVER='" + name_ + "' jack_lsp >/dev/null 2>&1").c_str()) == 0;
    }
    const std::string& name() const { return name_; }
    // What jackd said, for a test that could not start it.
    std::string log() const {
        std::ifstream in(log_);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

private:
    std::string name_;
    std::string log_;
    ScopedEnv env_;
    pid_t pid_ = 0;
};

// Records the default sink's monitor of the server the process reaches, as raw 16-bit mono at
// 44.1 kHz, until stopped.
class SinkRecording {
public:
    explicit SinkRecording(std::string file) : file_(std::move(file)) {
        pid_ = spawnShell("exec parec --raw --format=s16le --rate=44100 --channels=1 "
                          "--latency-msec=20 -d @DEFAULT_MONITOR@ > '" +
                          file_ + "'");
    }
    ~SinkRecording() {
        killAndWait(pid_, SIGINT);
        std::remove(file_.c_str());
    }
    double seconds() const {
        std::error_code ec;
        const auto bytes = std::filesystem::file_size(file_, ec);
        return ec ? 0.0 : static_cast<double>(bytes) / (2 * 44100.0);
    }
    std::vector<std::int16_t> samples() const {
        std::ifstream in(file_, std::ios::binary);
        std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
        std::vector<std::int16_t> out(bytes.size() / 2);
        std::memcpy(out.data(), bytes.data(), out.size() * 2);
        return out;
    }
    // The loudest tenth of a second from `from` seconds on, as RMS.
    double loudestFrom(double from) const {
        const auto s = samples();
        double loudest = 0;
        for (auto i = static_cast<std::size_t>(from * 44100); i + 4410 <= s.size(); i += 4410) {
            double sum = 0;
            for (std::size_t k = i; k < i + 4410; ++k)
                sum += static_cast<double>(s[k]) * s[k];
            loudest = std::max(loudest, std::sqrt(sum / 4410));
        }
        return loudest;
    }

private:
    std::string file_;
    pid_t pid_ = 0;
};

} // namespace fw::test
