#pragma once

#include "platform/fluidsynth/soundfont_subset.h"

#include <fluidsynth.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace fw {

// A SoundFont kept open for as long as a synthesizer loads its samples on demand. FluidSynth
// reads the file again for every instrument it loads; through a loader made here it reads the
// descriptor opened at the start instead, so a file deleted meanwhile still serves. A file cut
// short or rewritten in place no longer matches what was parsed at the start: unchanged() tells,
// and reading past the end of what is left fails cleanly.
class HeldSoundFont {
public:
    // Nothing when the file cannot be opened.
    static std::shared_ptr<HeldSoundFont> open(const std::string& path);
    ~HeldSoundFont();
    HeldSoundFont(const HeldSoundFont&) = delete;
    HeldSoundFont& operator=(const HeldSoundFont&) = delete;

    const std::string& path() const { return path_; }
    // The name to give FluidSynth's loading functions for this file.
    const std::string& name() const { return name_; }
    int descriptor() const { return fd_; }
    // Bytes as opened.
    long long size() const { return size_; }
    // False once the file is shorter or longer, or was written, since it was opened.
    bool unchanged() const;
    // A SoundFont loader that reads held files, to add to a synthesizer made with settings.
    static fluid_sfloader_t* newLoader(fluid_settings_t* settings);

    // The layout of the file, read at open(); nothing when it is not one to make parts of.
    const SoundFontIndex* index() const { return index_.get(); }
    // The name under which the loader reads a SoundFont made of these pieces (ranges of this
    // file among them), for as long as this file is held.
    std::string addPart(std::vector<SoundFontIndex::Piece> pieces);
    using Pieces = std::vector<SoundFontIndex::Piece>;

    // The part of that name, or nothing; under the registry's lock.
    std::shared_ptr<const Pieces> partNamed(const std::string& name) const;

private:
    HeldSoundFont() = default;
    std::string path_;
    std::string name_;
    int fd_ = -1;
    long long size_ = 0;
    long long modifiedSec_ = 0;
    long long modifiedNsec_ = 0;
    std::unique_ptr<SoundFontIndex> index_;
    std::map<std::string, std::shared_ptr<const Pieces>> parts_; // under the registry's lock
};

} // namespace fw
