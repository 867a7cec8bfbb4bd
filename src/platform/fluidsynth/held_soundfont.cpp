#include "platform/fluidsynth/held_soundfont.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace fw {

namespace {

// FluidSynth's file callbacks carry no data of their own: they find the held file by the name
// they are given.
std::mutex registryMutex;
std::map<std::string, std::weak_ptr<HeldSoundFont>>& registry() {
    static std::map<std::string, std::weak_ptr<HeldSoundFont>> files;
    return files;
}

struct Reader {
    std::shared_ptr<HeldSoundFont> file;
    std::shared_ptr<const HeldSoundFont::Pieces> pieces; // a part, or the whole file
    int fd = -1;
    long long size = 0;
    long long at = 0;
};

bool readFile(int fd, char* out, long long from, long long count) {
    long long done = 0;
    while (done < count) {
        const ssize_t n = ::pread(fd, out + done, static_cast<std::size_t>(count - done),
                                  static_cast<off_t>(from + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false; // cut short since it was opened
        done += n;
    }
    return true;
}

void* openHeld(const char* name) {
    std::shared_ptr<HeldSoundFont> file;
    std::shared_ptr<const HeldSoundFont::Pieces> pieces;
    {
        const std::lock_guard<std::mutex> lock(registryMutex);
        auto it = registry().find(name);
        if (it != registry().end())
            file = it->second.lock();
        if (file)
            pieces = file->partNamed(name);
    }
    if (!file)
        return nullptr;
    auto* reader = new Reader;
    reader->fd = file->descriptor();
    reader->size = file->size();
    if (pieces) {
        reader->size = 0;
        for (const auto& piece : *pieces)
            reader->size += piece.length;
    }
    reader->pieces = std::move(pieces);
    reader->file = std::move(file);
    return reader;
}

int readHeld(void* buffer, fluid_long_long_t count, void* handle) {
    auto* r = static_cast<Reader*>(handle);
    if (count < 0 || r->at + count > r->size)
        return FLUID_FAILED;
    auto* out = static_cast<char*>(buffer);
    if (!r->pieces) {
        if (!readFile(r->fd, out, r->at, count))
            return FLUID_FAILED;
        r->at += count;
        return FLUID_OK;
    }
    long long start = 0; // of the piece in the part
    for (const auto& piece : *r->pieces) {
        const long long from = std::max(r->at, start);
        const long long to = std::min(r->at + count, start + piece.length);
        if (from < to) {
            char* into = out + (from - r->at);
            if (piece.fileOffset < 0)
                std::memcpy(into, piece.bytes.data() + (from - start),
                            static_cast<std::size_t>(to - from));
            else if (!readFile(r->fd, into, piece.fileOffset + (from - start), to - from))
                return FLUID_FAILED;
        }
        start += piece.length;
    }
    r->at += count;
    return FLUID_OK;
}

int seekHeld(void* handle, fluid_long_long_t offset, int origin) {
    auto* r = static_cast<Reader*>(handle);
    const long long base = origin == SEEK_SET ? 0 : origin == SEEK_CUR ? r->at : r->size;
    const long long to = base + offset;
    if (to < 0 || to > r->size)
        return FLUID_FAILED;
    r->at = to;
    return FLUID_OK;
}

fluid_long_long_t tellHeld(void* handle) {
    return static_cast<Reader*>(handle)->at;
}

int closeHeld(void* handle) {
    delete static_cast<Reader*>(handle);
    return FLUID_OK;
}

} // namespace

std::shared_ptr<HeldSoundFont> HeldSoundFont::open(const std::string& path) {
    static std::atomic<unsigned> serial{0};
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    std::shared_ptr<HeldSoundFont> file(new HeldSoundFont);
    file->path_ = path;
    // Each opening is a file of its own for FluidSynth's sample cache, which must never hand
    // one version's samples to another.
    file->name_ = path + "#" + std::to_string(++serial);
    file->fd_ = fd;
    file->size_ = info.st_size;
    file->modifiedSec_ = info.st_mtim.tv_sec;
    file->modifiedNsec_ = info.st_mtim.tv_nsec;
    file->index_ = SoundFontIndex::read(fd, file->size_);
    const std::lock_guard<std::mutex> lock(registryMutex);
    registry()[file->name_] = file;
    return file;
}

std::string HeldSoundFont::addPart(Pieces pieces) {
    const std::lock_guard<std::mutex> lock(registryMutex);
    const std::string name = name_ + "/" + std::to_string(parts_.size() + 1);
    parts_[name] = std::make_shared<const Pieces>(std::move(pieces));
    registry()[name] = registry()[name_];
    return name;
}

std::shared_ptr<const HeldSoundFont::Pieces>
HeldSoundFont::partNamed(const std::string& name) const {
    auto it = parts_.find(name);
    return it == parts_.end() ? nullptr : it->second;
}

HeldSoundFont::~HeldSoundFont() {
    {
        const std::lock_guard<std::mutex> lock(registryMutex);
        registry().erase(name_);
        for (const auto& part : parts_)
            registry().erase(part.first);
    }
    if (fd_ >= 0)
        ::close(fd_);
}

bool HeldSoundFont::unchanged() const {
    struct stat info {};
    return ::fstat(fd_, &info) == 0 && info.st_size == size_ &&
           info.st_mtim.tv_sec == modifiedSec_ && info.st_mtim.tv_nsec == modifiedNsec_;
}

fluid_sfloader_t* HeldSoundFont::newLoader(fluid_settings_t* settings) {
    fluid_sfloader_t* loader = new_fluid_defsfloader(settings);
    if (loader)
        fluid_sfloader_set_callbacks(loader, openHeld, readHeld, seekHeld, tellHeld, closeHeld);
    return loader;
}

} // namespace fw
