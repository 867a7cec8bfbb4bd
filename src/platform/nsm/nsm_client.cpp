#include "platform/nsm/nsm_client.h"

#include <lo/lo.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

namespace fw {

namespace {

using Kind = NsmClient::Message::Kind;

// liblo's arguments lie at 4-byte boundaries only: a string is read through its bytes.
const char* chars(lo_arg* arg) {
    return reinterpret_cast<const char*>(arg);
}

std::string text(const char* types, lo_arg** argv, int argc, int i) {
    return i < argc && types[i] == 's' ? std::string(chars(argv[i])) : std::string();
}

int onReply(const char*, const char* types, lo_arg** argv, int argc, lo_message, void* self) {
    if (argc < 1 || types[0] != 's' || std::strcmp(chars(argv[0]), "/nsm/server/announce") != 0)
        return 0;
    static_cast<NsmClient*>(self)->deliver(
        {Kind::AnnounceReply, {}, {}, {}, text(types, argv, argc, 2)});
    return 0;
}

int onError(const char*, const char* types, lo_arg** argv, int argc, lo_message, void* self) {
    if (argc < 1 || types[0] != 's' || std::strcmp(chars(argv[0]), "/nsm/server/announce") != 0)
        return 0;
    static_cast<NsmClient*>(self)->deliver(
        {Kind::AnnounceError, {}, {}, {}, text(types, argv, argc, 2)});
    return 0;
}

int onOpen(const char*, const char* types, lo_arg** argv, int argc, lo_message, void* self) {
    static_cast<NsmClient*>(self)->deliver({Kind::Open,
                                            text(types, argv, argc, 0),
                                            text(types, argv, argc, 1),
                                            text(types, argv, argc, 2),
                                            {}});
    return 0;
}

template <Kind kind> int onPlain(const char*, const char*, lo_arg**, int, lo_message, void* self) {
    static_cast<NsmClient*>(self)->deliver({kind, {}, {}, {}, {}});
    return 0;
}

} // namespace

std::optional<std::string> NsmClient::urlFromEnvironment() {
    const char* url = std::getenv("NSM_URL");
    if (!url || !*url)
        return std::nullopt;
    return std::string(url);
}

NsmClient::NsmClient(const std::string& url) {
    address_ = lo_address_new_from_url(url.c_str());
    if (!address_)
        return;
    // The same protocol as the server's address.
    server_ = lo_server_thread_new_with_proto(nullptr, lo_address_get_protocol(address_), nullptr);
    if (!server_)
        return;
    lo_server_thread_add_method(server_, "/reply", nullptr, onReply, this);
    lo_server_thread_add_method(server_, "/error", nullptr, onError, this);
    lo_server_thread_add_method(server_, "/nsm/client/open", "sss", onOpen, this);
    lo_server_thread_add_method(server_, "/nsm/client/save", "", onPlain<Kind::Save>, this);
    lo_server_thread_add_method(server_, "/nsm/client/show_optional_gui", "",
                                onPlain<Kind::ShowGui>, this);
    lo_server_thread_add_method(server_, "/nsm/client/hide_optional_gui", "",
                                onPlain<Kind::HideGui>, this);
    lo_server_thread_add_method(server_, "/nsm/client/session_is_loaded", "",
                                onPlain<Kind::SessionLoaded>, this);
    lo_server_thread_start(server_);
}

NsmClient::~NsmClient() {
    if (server_) {
        lo_server_thread_stop(server_);
        lo_server_thread_free(server_);
    }
    if (address_)
        lo_address_free(address_);
}

void NsmClient::announce(const std::string& appName, const std::string& capabilities,
                         const std::string& executable, int pid) {
    if (!ok())
        return;
    lo_send_from(address_, lo_server_thread_get_server(server_), LO_TT_IMMEDIATE,
                 "/nsm/server/announce", "sssiii", appName.c_str(), capabilities.c_str(),
                 executable.c_str(), 1, 1, pid);
}

void NsmClient::setOnMessage(std::function<void()> onMessage) {
    std::lock_guard lock(mutex_);
    onMessage_ = std::move(onMessage);
}

void NsmClient::deliver(Message message) {
    std::function<void()> wake;
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(message));
        wake = onMessage_;
    }
    arrived_.notify_all();
    if (wake)
        wake();
}

std::optional<NsmClient::Message> NsmClient::take(int timeoutMs) {
    std::unique_lock lock(mutex_);
    if (timeoutMs > 0)
        arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                          [this] { return !queue_.empty(); });
    if (queue_.empty())
        return std::nullopt;
    Message m = std::move(queue_.front());
    queue_.pop_front();
    return m;
}

void NsmClient::reply(const std::string& path, const std::string& message) {
    if (ok())
        lo_send_from(address_, lo_server_thread_get_server(server_), LO_TT_IMMEDIATE, "/reply",
                     "ss", path.c_str(), message.c_str());
}

void NsmClient::error(const std::string& path, int code, const std::string& message) {
    if (ok())
        lo_send_from(address_, lo_server_thread_get_server(server_), LO_TT_IMMEDIATE, "/error",
                     "sis", path.c_str(), code, message.c_str());
}

void NsmClient::dirty(bool dirty) {
    if (ok())
        lo_send_from(address_, lo_server_thread_get_server(server_), LO_TT_IMMEDIATE,
                     dirty ? "/nsm/client/is_dirty" : "/nsm/client/is_clean", "");
}

void NsmClient::guiShown(bool shown) {
    if (ok())
        lo_send_from(address_, lo_server_thread_get_server(server_), LO_TT_IMMEDIATE,
                     shown ? "/nsm/client/gui_is_shown" : "/nsm/client/gui_is_hidden", "");
}

} // namespace fw
