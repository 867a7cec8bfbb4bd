#include "platform/alsa/alsa_quiet.h"

#include <alsa/asoundlib.h>

#include <mutex>

namespace fw {

namespace {
void quietAlsa(const char*, int, const char*, int, const char*, ...) {}
} // namespace

void silenceAlsaErrors() {
    static std::once_flag once;
    std::call_once(once, [] { snd_lib_error_set_handler(quietAlsa); });
}

} // namespace fw
