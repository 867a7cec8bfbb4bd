#include "logs/log_files.h"

#include "logs/log_lines.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fw {

namespace {
std::string reason(int err) {
    return std::strerror(err);
}

mode_t currentUmask() {
    const mode_t mask = umask(0);
    umask(mask);
    return mask;
}
} // namespace

ReplacingFileWriter::ReplacingFileWriter(std::string target) : target_(std::move(target)) {
    if (target_.empty()) {
        error_ = "Cannot create file: no file name was given.";
        return;
    }
    std::string pattern = target_ + ".XXXXXX";
    const int fd = mkstemp(pattern.data());
    if (fd < 0) {
        error_ = "Cannot create file " + target_ + ": " + reason(errno);
        return;
    }
    temp_ = pattern;
    // mkstemp makes the file private; a saved file gets the usual permissions.
    fchmod(fd, 0666 & ~currentUmask());
    file_ = fdopen(fd, "wb");
    if (!file_) {
        error_ = "Cannot create file " + target_ + ": " + reason(errno);
        close(fd);
        std::remove(temp_.c_str());
        temp_.clear();
    }
}

ReplacingFileWriter::~ReplacingFileWriter() {
    abandon();
}

void ReplacingFileWriter::fail(const std::string& what) {
    if (error_.empty())
        error_ = "Cannot write file " + target_ + ": " + what;
    abandon();
}

bool ReplacingFileWriter::write(std::string_view bytes) {
    if (!file_)
        return false;
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
        fail(reason(errno));
        return false;
    }
    return true;
}

bool ReplacingFileWriter::commit() {
    if (!file_)
        return false;
    if (std::fflush(file_) != 0 || fsync(fileno(file_)) != 0) {
        fail(reason(errno));
        return false;
    }
    const int closed = std::fclose(file_);
    file_ = nullptr;
    if (closed != 0) {
        fail(reason(errno));
        return false;
    }
    if (std::rename(temp_.c_str(), target_.c_str()) != 0) {
        error_ = "Cannot create file " + target_ + ": " + reason(errno);
        abandon();
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

std::optional<std::string> readWholeFile(const std::string& path, std::string& error) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        error = "Cannot open file " + path + ": " + reason(errno);
        return std::nullopt;
    }
    std::string data;
    char buffer[1 << 16];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        data.append(buffer, n);
    const bool bad = std::ferror(f) != 0;
    const int err = errno;
    std::fclose(f);
    if (bad) {
        error = "Cannot open file " + path + ": " + reason(err);
        return std::nullopt;
    }
    return data;
}

std::string playLogFileText(const std::vector<std::string_view>& lines) {
    std::string text = joinLogLines(lines, "\r\n");
    if (!lines.empty())
        text += "\r\n";
    return text;
}

std::optional<std::string> checkPlayLogText(std::string_view text, const std::string& fileName) {
    const std::string head = fileName + " is not a play log.\n";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 && c != '\t' && c != '\r' && c != '\n')
            return head + "It holds bytes that are not text.";
    }
    const std::vector<std::string_view> lines = splitLogLines(text);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        try {
            logLineTime(lines[i], static_cast<int>(i));
        } catch (const LogLineError& e) {
            return head + "Line " + std::to_string(i + 1) + " " + quotedLine(lines[i]) + ": " +
                   e.what();
        }
    }
    return std::nullopt;
}

} // namespace fw
