#include "files/line_file.h"

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

namespace {
// Reads every byte of a file; errno of the failure, 0 when read, -1 when over maxBytes.
int readBytes(const std::string& path, std::size_t maxBytes, std::string& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return errno;
    char buffer[1 << 16];
    int result = 0;
    for (;;) {
        const std::size_t got = std::fread(buffer, 1, sizeof buffer, file);
        bytes.append(buffer, got);
        if (bytes.size() > maxBytes) {
            result = -1;
            break;
        }
        if (got < sizeof buffer) {
            if (std::ferror(file))
                result = errno ? errno : EIO;
            break;
        }
    }
    std::fclose(file);
    return result;
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
    if (err == -1) {
        error = path + " is too large for a settings file.";
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
    const int err = readBytes(path, static_cast<std::size_t>(-1), bytes);
    if (err != 0) {
        error = "Cannot open file " + path + ": " + std::strerror(err > 0 ? err : EFBIG);
        return std::nullopt;
    }
    return bytes;
}

ReplacingFileWriter::ReplacingFileWriter(const std::string& target) : name_(target) {
    namespace fs = std::filesystem;
    if (name_.empty()) {
        error_ = "Cannot create file: no file name was given.";
        return;
    }
    // Save through a link to the file it names, so the link stays a link.
    std::error_code ec;
    fs::path resolved = fs::weakly_canonical(fs::path(name_), ec);
    target_ = (ec || resolved.empty()) ? name_ : resolved.string();
    if (fs::is_directory(target_, ec)) {
        fail(EISDIR);
        return;
    }
    std::string pattern = target_ + ".XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        fail(errno);
        return;
    }
    temp_ = pattern;
    // mkstemp makes the file private: keep the mode of the file being replaced, or give a new
    // one the usual mode under the umask.
    struct stat old {};
    ::fchmod(fd,
             ::stat(target_.c_str(), &old) == 0 ? (old.st_mode & 07777) : (0666 & ~currentUmask()));
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
    if (std::fflush(file_) != 0 || ::fsync(::fileno(file_)) != 0) {
        fail(errno);
        return false;
    }
    const int closed = std::fclose(file_);
    file_ = nullptr;
    if (closed != 0) {
        fail(errno);
        return false;
    }
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
