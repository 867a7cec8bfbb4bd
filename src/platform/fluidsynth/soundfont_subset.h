#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace fw {

// The layout of a SoundFont 2 (or 3) file, read once, from which a file holding a single preset
// can be made without copying a byte of its sound. FluidSynth keeps every preset, instrument and
// zone of a SoundFont it loads in memory, some 10 MB for a General MIDI set; a SoundFont made of
// only the instruments in use costs a few kilobytes each.
class SoundFontIndex {
public:
    // Reads the chunks of the file open at fd (size bytes); nothing when it is not a SoundFont
    // laid out as this class understands it.
    static std::unique_ptr<SoundFontIndex> read(int fd, long long size);

    // The preset with this bank and program, or -1.
    int presetIndex(int bank, int program) const;

    // A part of a made file: bytes of its own, or a range of the original file.
    struct Piece {
        std::string bytes;
        long long fileOffset = -1; // >= 0: length bytes of the original from here
        long long length = 0;
    };
    // The pieces of a SoundFont that holds only preset `preset`, with the instruments and sample
    // headers it needs, and the original's sample data in place. The preset data is read again
    // from fd (the file read at first): nothing when it no longer reads as it did then.
    std::vector<Piece> subset(int fd, int preset) const;

private:
    SoundFontIndex() = default;
    // The records of each part of the preset data, as in the file (the terminal ones included).
    struct PresetData {
        std::string phdr, pbag, pmod, pgen, inst, ibag, imod, igen, shdr;
    };
    // Each part of the preset data: its chunk's id, where it goes and the size of its records.
    static constexpr int kParts = 9;
    struct Part {
        const char* id;
        std::string PresetData::*data;
        std::size_t record;
    };
    static const Part kPartsOfPresetData[kParts];
    // Where the file holds each part, in the order of kPartsOfPresetData.
    struct Place {
        long long offset = -1, size = 0;
    };
    std::optional<PresetData> readPresetData(int fd) const;

    std::string info_; // the INFO list, whole
    long long smplOffset_ = -1, smplSize_ = 0;
    long long sm24Offset_ = -1, sm24Size_ = 0;
    std::array<Place, kParts> places_{};
    // Kept for finding presets; the rest of the preset data (a few hundred kilobytes for a
    // General MIDI set) is read again when an instrument is parted, which is seldom.
    std::string phdr_;
};

} // namespace fw
