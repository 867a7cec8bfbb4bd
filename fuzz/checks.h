#pragma once

// Shared by the libFuzzer harnesses (fuzz_<name>.cpp): property checks that stop the run with
// the failed condition, and a scratch file for loaders that read real files.
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
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

// A signed decimal within 32 bits with blanks around it, read as a strict loader must read it
// and apart from the program's own reader.
inline std::optional<int> independentInteger(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    if (s.size() > 1 && s.front() == '+' && s[1] != '-')
        s.remove_prefix(1);
    int v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size())
        return std::nullopt;
    return v;
}

// User messages quote at most a short prefix of what they complain about.
inline constexpr std::size_t kLongestMessage = 400;

} // namespace fw::fuzz
