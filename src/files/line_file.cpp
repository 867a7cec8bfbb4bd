#include "files/line_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fw {

std::vector<std::string_view> splitLineViews(std::string_view text) {
    std::vector<std::string_view> lines;
    lines.reserve(text.size() / 16 + 1); // a log line is about 14 bytes
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    // The next CR and the next LF, each found by memchr and looked for again once passed.
    const auto find = [end](const char* from, char c) {
        const void* at =
            from < end ? std::memchr(from, c, static_cast<std::size_t>(end - from)) : nullptr;
        return at ? static_cast<const char*>(at) : end;
    };
    const char* start = begin;
    const char* cr = find(start, '\r');
    const char* lf = find(start, '\n');
    while (start < end) {
        const char* stop = std::min(cr, lf);
        if (stop == end)
            break;
        lines.emplace_back(start, static_cast<std::size_t>(stop - start));
        start = stop + (stop == cr && stop + 1 == lf ? 2 : 1);
        if (cr < start)
            cr = find(start, '\r');
        if (lf < start)
            lf = find(start, '\n');
    }
    if (start < end)
        lines.emplace_back(start, static_cast<std::size_t>(end - start));
    return lines;
}

std::vector<std::string> splitLines(std::string_view text) {
    const std::vector<std::string_view> views = splitLineViews(text);
    return {views.begin(), views.end()};
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

namespace {
constexpr int kTooLarge = -1;
constexpr int kNotRegular = -2;

// Reads every byte of a regular file of at most maxBytes: errno of the failure, 0 when read,
// kTooLarge or kNotRegular. A pipe, device or socket is refused before anything is read, as
// one may never end (a FIFO, /dev/zero); the open does not wait for a FIFO's writer.
int readBytes(const std::string& path, std::size_t maxBytes, std::string& bytes) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return errno;
    if (S_ISDIR(st.st_mode))
        return EISDIR;
    // Opening some devices does something; a name that is no regular file is not opened.
    if (!S_ISREG(st.st_mode))
        return kNotRegular;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    // The name may have been replaced since the stat: check what was opened.
    int result = ::fstat(fd, &st) != 0 ? errno : 0;
    if (result == 0 && !S_ISREG(st.st_mode))
        result = S_ISDIR(st.st_mode) ? EISDIR : kNotRegular;
    if (result == 0 && static_cast<std::uintmax_t>(st.st_size) > maxBytes)
        result = kTooLarge;
    if (result == 0)
        bytes.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[1 << 16];
    while (result == 0) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            result = errno;
        else if (got == 0)
            break;
        else if (bytes.size() + static_cast<std::size_t>(got) > maxBytes)
            result = kTooLarge; // it grew while being read
        else
            bytes.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return result;
}

std::string largestFileText(std::size_t maxBytes) {
    if (maxBytes >= (1u << 20))
        return "it is larger than " + std::to_string(maxBytes >> 20) + " MB";
    return "it is larger than " + std::to_string(maxBytes) + " bytes";
}

mode_t currentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}
} // namespace

std::optional<std::string> readSettingsBytes(const std::string& path, std::string& error,
                                             std::size_t maxBytes) {
    std::string bytes;
    const int err = readBytes(path, maxBytes, bytes);
    if (err == kTooLarge) {
        error = "Cannot open file " + path + ": " + largestFileText(maxBytes);
        return std::nullopt;
    }
    if (err != 0) {
        error = "Cannot open file " + path;
        return std::nullopt;
    }
    return bytes;
}

LineFileRead linesOfText(std::string_view bytes, const std::string& name) {
    LineFileRead result;
    if (bytes.find('\0') != std::string_view::npos)
        result.error = name + " is not a text file.";
    else
        result.lines = splitLines(bytes);
    return result;
}

LineFileRead readLineFile(const std::string& path, std::size_t maxBytes) {
    std::string error;
    const auto bytes = readSettingsBytes(path, error, maxBytes);
    if (!bytes) {
        LineFileRead result;
        result.error = error;
        return result;
    }
    return linesOfText(*bytes, path);
}

std::optional<std::string> readWholeFile(const std::string& path, std::string& error) {
    std::string bytes;
    const int err = readBytes(path, kLargestFile, bytes);
    if (err != 0) {
        error = "Cannot open file " + path + ": " +
                (err == kTooLarge     ? largestFileText(kLargestFile)
                 : err == kNotRegular ? std::string("it is not a regular file")
                                      : std::string(std::strerror(err)));
        return std::nullopt;
    }
    return bytes;
}

namespace {
// Follows symbolic links one at a time, so that a link naming a file that does not exist yet
// gives that file's name rather than the link's own. Returns the final name, or an errno.
int followLinks(const std::string& name, std::string& out) {
    namespace fs = std::filesystem;
    fs::path path(name);
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            out = path.string();
            return 0;
        }
        std::error_code ec;
        const fs::path next = fs::read_symlink(path, ec);
        if (ec)
            return ec.value();
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return ELOOP;
}
} // namespace

namespace {
namespace fs = std::filesystem;

// Temporary files are named target + this + six random characters.
constexpr std::string_view kTempMark = ".fwsave-";

// A save that was killed (a power cut, SIGKILL) leaves its temporary file, of up to the size of
// the whole file; the next save of the same file removes it. One being written holds a lock.
void removeStaleTemps(const std::string& target) {
    const fs::path path(target);
    const std::string prefix = path.filename().string() + std::string(kTempMark);
    std::error_code ec;
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0 ||
            !entry.is_regular_file(ec) || entry.is_symlink(ec))
            continue;
        const int fd = ::open(entry.path().c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlink(entry.path().c_str());
        ::close(fd);
    }
}
} // namespace

ReplacingFileWriter::ReplacingFileWriter(const std::string& target) : name_(target) {
    if (name_.empty()) {
        error_ = "Cannot create file: no file name was given.";
        return;
    }
    openTarget();
}

void ReplacingFileWriter::openTarget() {
    if (name_ == "-") {
        // Standard output stays open after the writer is done with it.
        const int fd = ::dup(STDOUT_FILENO);
        file_ = fd < 0 ? nullptr : ::fdopen(fd, "wb");
        if (!file_)
            fail(errno);
        direct_ = true;
        return;
    }
    struct stat st {};
    if (::stat(name_.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        if (S_ISDIR(st.st_mode)) {
            fail(EISDIR);
            return;
        }
        // A device or a pipe is written where it is; renaming a file over it would replace the
        // device node. A pipe with no reader is refused rather than waited for.
        const int fd = ::open(name_.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            fail(errno);
            return;
        }
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        file_ = ::fdopen(fd, "wb");
        if (!file_) {
            const int err = errno;
            ::close(fd);
            fail(err);
        }
        direct_ = true;
        return;
    }
    // Save through a link to the file it names, so the link stays a link.
    if (const int err = followLinks(name_, target_)) {
        fail(err);
        return;
    }
    const bool exists = ::stat(target_.c_str(), &st) == 0;
    // A file without write permission is one its owner meant to keep, also from root.
    if (exists && (::access(target_.c_str(), W_OK) != 0 || (st.st_mode & 0222) == 0)) {
        fail(EACCES);
        return;
    }
    removeStaleTemps(target_);
    std::string pattern = target_ + std::string(kTempMark) + "XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        fail(errno);
        return;
    }
    // Held while it is written, so that a save of the same file meanwhile leaves it alone.
    ::flock(fd, LOCK_EX | LOCK_NB);
    temp_ = pattern;
    // mkstemp makes the file private: keep the mode (and, for root, the owner) of the file
    // being replaced, or give a new one the usual mode under the umask.
    if (exists) {
        ::fchmod(fd, st.st_mode & 07777);
        // Should that fail, the copy is root's and still holds the same bytes.
        if (::geteuid() == 0)
            (void)!::fchown(fd, st.st_uid, st.st_gid);
    } else {
        ::fchmod(fd, 0666 & ~currentUmask());
    }
    file_ = ::fdopen(fd, "wb");
    if (!file_) {
        const int err = errno;
        ::close(fd);
        fail(err);
    }
}

ReplacingFileWriter::~ReplacingFileWriter() {
    abandon();
}

void ReplacingFileWriter::fail(int err) {
    if (error_.empty())
        error_ = "Cannot create file " + name_ + ": " + std::strerror(err);
    abandon();
}

bool ReplacingFileWriter::write(std::string_view bytes) {
    if (!file_)
        return false;
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
        fail(errno);
        return false;
    }
    return true;
}

bool ReplacingFileWriter::commit() {
    if (!file_)
        return false;
    // Pipes and terminals cannot be synced; what went to them is gone already.
    if (std::fflush(file_) != 0 || (!direct_ && ::fsync(::fileno(file_)) != 0)) {
        fail(errno);
        return false;
    }
    const int closed = std::fclose(file_);
    file_ = nullptr;
    if (closed != 0) {
        fail(errno);
        return false;
    }
    if (direct_)
        return true;
    if (std::rename(temp_.c_str(), target_.c_str()) != 0) {
        fail(errno);
        return false;
    }
    temp_.clear();
    return true;
}

void ReplacingFileWriter::abandon() {
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!temp_.empty()) {
        std::remove(temp_.c_str());
        temp_.clear();
    }
}

std::optional<std::string> writeFileReplacing(const std::string& path, std::string_view bytes) {
    ReplacingFileWriter writer(path);
    if (writer.ok() && writer.write(bytes) && writer.commit())
        return std::nullopt;
    return writer.error();
}

std::optional<std::string> writeLineFileAtomically(const std::string& path,
                                                   const std::vector<std::string>& lines) {
    return writeFileReplacing(path, joinCrLf(lines));
}

} // namespace fw
