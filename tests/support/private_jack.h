#pragma once

// A JACK server on the dummy backend of the test's own, for tests that roll the transport or
// must see every client of the program: the shared server stays untouched. While it lives,
// JACK_DEFAULT_SERVER names it for this process and the programs it starts.
#include <jack/jack.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace fw::test {

class PrivateJack {
public:
    explicit PrivateJack(const std::string& stem, int period = 512)
        : name_(stem + std::to_string(getpid())), log_("/tmp/" + name_ + ".log") {
        if (const char* before = std::getenv("JACK_DEFAULT_SERVER"))
            before_ = before;
        pid_ = fork();
        if (pid_ == 0) {
            setsid();
            if (!std::freopen("/dev/null", "w", stdout) || !std::freopen(log_.c_str(), "w", stderr))
                _exit(126);
            const std::string p = std::to_string(period);
            execlp("jackd", "jackd", "-n", name_.c_str(), "--no-realtime", "-d", "dummy", "-r",
                   "48000", "-p", p.c_str(), nullptr);
            _exit(127);
        }
        setenv("JACK_DEFAULT_SERVER", name_.c_str(), 1);
        for (int i = 0; i < 100 && !up_; ++i) {
            if (jack_client_t* c = jack_client_open("fwprobe", JackNoStartServer, nullptr)) {
                jack_client_close(c);
                up_ = true;
            } else {
                usleep(50000);
            }
        }
    }
    ~PrivateJack() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
        std::remove(log_.c_str());
        if (before_.empty())
            unsetenv("JACK_DEFAULT_SERVER");
        else
            setenv("JACK_DEFAULT_SERVER", before_.c_str(), 1);
    }
    PrivateJack(const PrivateJack&) = delete;
    PrivateJack& operator=(const PrivateJack&) = delete;

    bool up() const { return up_; }
    // What jackd said when it did not start ("Too many servers already active": JACK keeps eight
    // servers, and one killed without a chance to end keeps its place).
    std::string why() const {
        std::ifstream in(log_);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    const std::string& name() const { return name_; }

private:
    std::string name_;
    std::string log_;
    std::string before_;
    pid_t pid_ = -1;
    bool up_ = false;
};

} // namespace fw::test
