#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

typedef void* lo_address;
typedef void* lo_server_thread;

namespace fw {

// The program's side of a session manager's protocol (NSM, API 1.1) over OSC. Messages arrive on
// liblo's thread of its own and wait in a queue; whoever owns the session takes them on its own
// thread (the window's), either by waiting (before the window exists) or when told that one
// came. Every reply goes from the socket the announce went from, as the server tells its clients
// apart by their addresses.
class NsmClient {
public:
    struct Message {
        enum class Kind {
            AnnounceReply, // text: the server's name
            AnnounceError, // text: why
            Open,          // path, displayName, clientId
            Save,
            ShowGui,
            HideGui,
            SessionLoaded,
        } kind = Kind::Save;
        std::string path;
        std::string displayName;
        std::string clientId;
        std::string text;
    };

    // Error codes of the protocol.
    static constexpr int kErrGeneral = -1;
    static constexpr int kErrBadProject = -9;
    static constexpr int kErrCreateFailed = -10;

    // Nothing when the URL cannot be used (then there is no session).
    static std::optional<std::string> urlFromEnvironment();
    explicit NsmClient(const std::string& url);
    ~NsmClient();
    NsmClient(const NsmClient&) = delete;
    NsmClient& operator=(const NsmClient&) = delete;

    bool ok() const { return server_ && address_; }
    void announce(const std::string& appName, const std::string& capabilities,
                  const std::string& executable, int pid);
    // Called on liblo's thread after a message joined the queue (to wake the owner's thread).
    void setOnMessage(std::function<void()> onMessage);
    // Takes the next message, waiting up to timeoutMs for one; nothing when none came.
    std::optional<Message> take(int timeoutMs = 0);

    void reply(const std::string& path, const std::string& message);
    void error(const std::string& path, int code, const std::string& message);
    void dirty(bool dirty);
    void guiShown(bool shown);

    // liblo's thread: a message for the queue.
    void deliver(Message message);

private:
    lo_address address_ = nullptr;
    lo_server_thread server_ = nullptr;
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<Message> queue_;
    std::function<void()> onMessage_;
};

} // namespace fw
