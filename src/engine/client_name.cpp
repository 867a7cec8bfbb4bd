#include "engine/client_name.h"

#include <cctype>

namespace fw {

namespace {
std::string& nameStore() {
    static std::string name = "Fretwright";
    return name;
}
bool& sessionStore() {
    static bool inSession = false;
    return inSession;
}
} // namespace

void setOwnClientName(const std::string& name, bool inSession) {
    nameStore() = name;
    sessionStore() = inSession;
}

const std::string& ownClientName() {
    return nameStore();
}

std::string ownClientName(const char* role) {
    if (!sessionStore() || !role || !*role)
        return nameStore();
    return nameStore() + "/" + role;
}

bool isOwnMidiPort(const std::string& portName) {
    const std::string& own = nameStore();
    if (portName.compare(0, own.size(), own) != 0)
        return false;
    std::size_t at = own.size();
    // JACK's number for a second client of the same name.
    if (at < portName.size() && portName[at] == '-') {
        std::size_t digits = at + 1;
        while (digits < portName.size() &&
               std::isdigit(static_cast<unsigned char>(portName[digits])))
            ++digits;
        if (digits > at + 1)
            at = digits;
    }
    if (sessionStore() && at < portName.size() && portName[at] == '/')
        at = portName.find(':', at);
    return at < portName.size() && portName[at] == ':';
}

} // namespace fw
