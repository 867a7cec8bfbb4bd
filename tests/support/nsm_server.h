#pragma once

// A session manager of the tests' own: a liblo OSC server that takes a client's announce, sends
// it the server's messages from its own socket and collects what the client says.
#include <lo/lo.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace fw::test {

class NsmServer {
public:
    struct Said {
        std::string path;
        std::vector<std::string> texts; // the string arguments, in order
        std::vector<int> numbers;       // the integer arguments, in order
    };

    NsmServer() {
        server_ = lo_server_new_with_proto(nullptr, LO_UDP, nullptr);
        lo_server_add_method(server_, nullptr, nullptr, &NsmServer::heard, this);
    }
    ~NsmServer() {
        if (client_)
            lo_address_free(client_);
        lo_server_free(server_);
    }
    NsmServer(const NsmServer&) = delete;
    NsmServer& operator=(const NsmServer&) = delete;

    std::string url() const {
        char* url = lo_server_get_url(server_);
        std::string text = url;
        free(url);
        return text;
    }

    // Waits up to timeoutMs for the client to say `path`; everything it said before stays in
    // heard().
    std::optional<Said> waitFor(const std::string& path, int timeoutMs = 20000,
                                const std::function<void()>& meanwhile = {}) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            for (std::size_t i = taken_; i < said_.size(); ++i) {
                if (said_[i].path == path) {
                    taken_ = i + 1;
                    return said_[i];
                }
            }
            if (std::chrono::steady_clock::now() >= until)
                return std::nullopt;
            lo_server_recv_noblock(server_, meanwhile ? 10 : 100);
            if (meanwhile)
                meanwhile();
        }
    }
    // What the client said since the last waitFor() that found something.
    std::vector<Said> heardSince() const { return {said_.begin() + taken_, said_.end()}; }
    void pump(int ms) { lo_server_recv_noblock(server_, ms); }

    void replyToAnnounce() {
        lo_send_from(client_, server_, LO_TT_IMMEDIATE, "/reply", "ssss", "/nsm/server/announce",
                     "Welcome", "Test Session Manager", ":server-control:optional-gui:");
    }
    void open(const std::string& path, const std::string& clientId) {
        lo_send_from(client_, server_, LO_TT_IMMEDIATE, "/nsm/client/open", "sss", path.c_str(),
                     "test session", clientId.c_str());
    }
    void send(const char* path) { lo_send_from(client_, server_, LO_TT_IMMEDIATE, path, ""); }

private:
    static int heard(const char* path, const char* types, lo_arg** argv, int argc, lo_message msg,
                     void* self) {
        auto* server = static_cast<NsmServer*>(self);
        Said said{path, {}, {}};
        for (int i = 0; i < argc; ++i) {
            // liblo's arguments lie at 4-byte boundaries only.
            if (types[i] == 's') {
                said.texts.emplace_back(reinterpret_cast<const char*>(argv[i]));
            } else if (types[i] == 'i') {
                std::int32_t n = 0;
                std::memcpy(&n, argv[i], sizeof n);
                said.numbers.push_back(n);
            }
        }
        // The client that announced last is the one spoken to.
        if (said.path == "/nsm/server/announce") {
            if (server->client_)
                lo_address_free(server->client_);
            const lo_address from = lo_message_get_source(msg);
            char* url = lo_address_get_url(from);
            server->client_ = lo_address_new_from_url(url);
            free(url);
        }
        server->said_.push_back(std::move(said));
        return 0;
    }

    lo_server server_ = nullptr;
    lo_address client_ = nullptr;
    std::vector<Said> said_;
    std::size_t taken_ = 0;
};

} // namespace fw::test
