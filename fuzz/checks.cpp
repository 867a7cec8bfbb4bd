#include "checks.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <unistd.h>
#include <vector>

namespace fw::fuzz {

namespace {
std::vector<std::string>& scratchFiles() {
    static std::vector<std::string> files;
    return files;
}
void removeScratchFiles() {
    for (const auto& f : scratchFiles())
        std::remove(f.c_str());
}
} // namespace

std::string scratchPath(std::string_view stem) {
    // Memory-backed when there is such a folder: every run writes and syncs files.
    const char* dir = std::getenv("TMPDIR");
    if (::access("/dev/shm", W_OK) == 0)
        dir = "/dev/shm";
    std::string path = std::string(dir && *dir ? dir : "/tmp") + "/fw-fuzz-" +
                       std::to_string(::getpid()) + "-" + std::string(stem);
    if (scratchFiles().empty())
        std::atexit(removeScratchFiles);
    scratchFiles().push_back(path);
    return path;
}

void writeScratch(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    FW_CHECK(out.good());
}

std::string readScratch(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    FW_CHECK(in.good());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace fw::fuzz
