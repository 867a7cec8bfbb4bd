#pragma once

// Shared by the libFuzzer harnesses (fuzz_<name>.cpp): property checks that stop the run with
// the failed condition, and a scratch file for loaders that read real files.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#define FW_CHECK(cond)                                                                             \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            std::fprintf(stderr, "property failed: %s at %s:%d\n", #cond, __FILE__, __LINE__);     \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

namespace fw::fuzz {

inline std::string_view bytesOf(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// A file of this process in /dev/shm (or the temporary folder), removed when the process ends.
std::string scratchPath(std::string_view stem);
void writeScratch(const std::string& path, std::string_view bytes);
std::string readScratch(const std::string& path);

// User messages quote at most a short prefix of what they complain about.
inline constexpr std::size_t kLongestMessage = 400;

} // namespace fw::fuzz
