#include "platform/fluidsynth/held_soundfont.h"

#include <atomic>
#include <cerrno>
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
    int fd = -1;
    long long size = 0;
    long long at = 0;
};

void* openHeld(const char* name) {
    std::shared_ptr<HeldSoundFont> file;
    {
        const std::lock_guard<std::mutex> lock(registryMutex);
        auto it = registry().find(name);
        if (it != registry().end())
            file = it->second.lock();
    }
    if (!file)
        return nullptr;
    auto* reader = new Reader;
    reader->fd = file->descriptor();
    reader->size = file->size();
    reader->file = std::move(file);
    return reader;
}

int readHeld(void* buffer, fluid_long_long_t count, void* handle) {
    auto* r = static_cast<Reader*>(handle);
    if (count < 0 || r->at + count > r->size)
        return FLUID_FAILED;
    auto* out = static_cast<char*>(buffer);
    long long done = 0;
    while (done < count) {
        const ssize_t n = ::pread(r->fd, out + done, static_cast<std::size_t>(count - done),
                                  static_cast<off_t>(r->at + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return FLUID_FAILED; // cut short since it was opened
        done += n;
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
    const std::lock_guard<std::mutex> lock(registryMutex);
    registry()[file->name_] = file;
    return file;
}

HeldSoundFont::~HeldSoundFont() {
    {
        const std::lock_guard<std::mutex> lock(registryMutex);
        registry().erase(name_);
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
