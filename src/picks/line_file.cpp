#include "picks/line_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace fw {

std::vector<std::string> splitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        const char c = text[i];
        if (c != '\r' && c != '\n')
            continue;
        lines.emplace_back(text.substr(start, i - start));
        if (c == '\r' && i + 1 < n && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines.emplace_back(text.substr(start));
    return lines;
}

std::string joinCrLf(const std::vector<std::string>& lines) {
    std::size_t size = 0;
    for (const auto& line : lines)
        size += line.size() + 2;
    std::string out;
    out.reserve(size);
    for (const auto& line : lines) {
        out += line;
        out += "\r\n";
    }
    return out;
}

LineFileRead readLineFile(const std::string& path, std::size_t maxBytes) {
    LineFileRead result;
    const std::string cannotOpen = "Cannot open file " + path;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        result.error = cannotOpen;
        return result;
    }
    std::string bytes;
    char buffer[1 << 16];
    bool failed = false;
    for (;;) {
        const std::size_t got = std::fread(buffer, 1, sizeof buffer, file);
        bytes.append(buffer, got);
        if (bytes.size() > maxBytes) {
            std::fclose(file);
            result.error = path + " is too large for a settings file.";
            return result;
        }
        if (got < sizeof buffer) {
            failed = std::ferror(file) != 0;
            break;
        }
    }
    std::fclose(file);
    if (failed) {
        result.error = cannotOpen;
        return result;
    }
    if (bytes.find('\0') != std::string::npos) {
        result.error = path + " is not a text file.";
        return result;
    }
    result.lines = splitLines(bytes);
    return result;
}

namespace {
bool writeAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}
} // namespace

std::optional<std::string> writeLineFileAtomically(const std::string& path,
                                                   const std::vector<std::string>& lines) {
    namespace fs = std::filesystem;
    // Save through a link to the file it names, so the link stays a link.
    std::error_code ec;
    fs::path target = fs::weakly_canonical(fs::path(path), ec);
    if (ec || target.empty())
        target = fs::path(path);
    const auto fail = [&](int err) {
        return "Cannot create file " + path + ". " + std::strerror(err);
    };
    if (fs::is_directory(target, ec))
        return fail(EISDIR);

    std::string temp = target.string() + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return fail(errno);
    // Keep the mode of the file being replaced; a new file gets the usual mode under the umask.
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0) {
        ::fchmod(fd, old.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    bool written = writeAll(fd, joinCrLf(lines)) && ::fsync(fd) == 0;
    int err = written ? 0 : errno;
    if (::close(fd) != 0 && written) {
        written = false;
        err = errno;
    }
    if (!written) {
        ::unlink(temp.c_str());
        return fail(err);
    }
    if (std::rename(temp.c_str(), target.c_str()) != 0) {
        const int renameErrno = errno;
        ::unlink(temp.c_str());
        return fail(renameErrno);
    }
    return std::nullopt;
}

} // namespace fw
