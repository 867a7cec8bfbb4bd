#include "platform/fluidsynth/soundfont_subset.h"

#include <cerrno>
#include <cstring>
#include <map>
#include <unistd.h>

namespace fw {

namespace {

// Record sizes of the preset data, in the order the parts come in the file.
constexpr std::size_t kPhdr = 38, kBag = 4, kMod = 10, kGen = 4, kInst = 22, kShdr = 46;
constexpr int kGenInstrument = 41, kGenSampleId = 53;
// A General MIDI set's preset data is well under a megabyte; more is not a file to trust.
constexpr long long kMostPresetData = 64LL << 20;

std::uint16_t u16(const std::string& s, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(s[at]) |
                                      static_cast<unsigned char>(s[at + 1]) << 8);
}
std::uint32_t u32(const char* p) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(p[0])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(p[1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(p[2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(p[3])) << 24;
}
void put16(std::string& s, std::size_t at, std::uint16_t v) {
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>(v >> 8);
}
void append16(std::string& s, std::uint16_t v) {
    s.push_back(static_cast<char>(v & 0xFF));
    s.push_back(static_cast<char>(v >> 8));
}
void append32(std::string& s, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void appendChunk(std::string& s, const char* id, const std::string& data) {
    s.append(id, 4);
    append32(s, static_cast<std::uint32_t>(data.size()));
    s += data;
    if (data.size() % 2)
        s.push_back('\0');
}

bool readAt(int fd, long long at, std::size_t count, std::string& out) {
    out.resize(count);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n =
            ::pread(fd, out.data() + done, count - done, static_cast<off_t>(at + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

struct Chunk {
    std::string id;
    long long offset; // of the data
    long long size;
};

// The chunks between from and to; false when one runs past the end.
bool listChunks(int fd, long long from, long long to, std::vector<Chunk>& out) {
    std::string head;
    while (from + 8 <= to) {
        if (!readAt(fd, from, 8, head))
            return false;
        const long long size = u32(head.data() + 4);
        if (from + 8 + size > to)
            return false;
        out.push_back({head.substr(0, 4), from + 8, size});
        from += 8 + size + (size % 2);
    }
    return true;
}

std::size_t count(const std::string& part, std::size_t record) {
    return part.size() / record;
}

// Each bag's first generator and modulator never go back and stay within their parts, whose
// last record is the terminal one; each owner's first bag likewise.
bool bagsInOrder(const std::string& owners, std::size_t ownerSize, std::size_t bagAt,
                 const std::string& bags, const std::string& gens, const std::string& mods) {
    const std::size_t nOwners = count(owners, ownerSize), nBags = count(bags, kBag);
    for (std::size_t i = 0; i < nOwners; ++i) {
        const std::size_t bag = u16(owners, i * ownerSize + bagAt);
        if (bag >= nBags || (i > 0 && bag < u16(owners, (i - 1) * ownerSize + bagAt)))
            return false;
    }
    for (std::size_t b = 0; b < nBags; ++b) {
        const std::size_t gen = u16(bags, b * kBag), mod = u16(bags, b * kBag + 2);
        if (gen >= count(gens, kGen) || mod >= count(mods, kMod))
            return false;
        if (b > 0 && (gen < u16(bags, (b - 1) * kBag) || mod < u16(bags, (b - 1) * kBag + 2)))
            return false;
    }
    return true;
}

// Every generator naming an instrument or a sample names one that is there (not the terminal).
bool referencesHold(const std::string& gens, int oper, std::size_t limit) {
    for (std::size_t g = 0; g + 1 < count(gens, kGen); ++g)
        if (u16(gens, g * kGen) == oper && u16(gens, g * kGen + 2) >= limit)
            return false;
    return true;
}

} // namespace

const SoundFontIndex::Part SoundFontIndex::kPartsOfPresetData[kParts] = {
    {"phdr", &PresetData::phdr, kPhdr}, {"pbag", &PresetData::pbag, kBag},
    {"pmod", &PresetData::pmod, kMod},  {"pgen", &PresetData::pgen, kGen},
    {"inst", &PresetData::inst, kInst}, {"ibag", &PresetData::ibag, kBag},
    {"imod", &PresetData::imod, kMod},  {"igen", &PresetData::igen, kGen},
    {"shdr", &PresetData::shdr, kShdr}};

std::unique_ptr<SoundFontIndex> SoundFontIndex::read(int fd, long long size) {
    std::string head;
    if (size < 12 || !readAt(fd, 0, 12, head) || head.compare(0, 4, "RIFF") != 0 ||
        head.compare(8, 4, "sfbk") != 0)
        return nullptr;
    const long long end = std::min<long long>(size, 8 + static_cast<long long>(u32(&head[4])));
    std::vector<Chunk> top;
    if (!listChunks(fd, 12, end, top))
        return nullptr;
    std::unique_ptr<SoundFontIndex> index(new SoundFontIndex);
    for (const Chunk& list : top) {
        std::string type;
        if (list.id != "LIST" || list.size < 4 || !readAt(fd, list.offset, 4, type))
            continue;
        if (type == "INFO") {
            if (list.size > (1 << 20) || !readAt(fd, list.offset - 8, 8 + list.size, index->info_))
                return nullptr;
            if (list.size % 2)
                index->info_.push_back('\0');
            continue;
        }
        std::vector<Chunk> parts;
        if (!listChunks(fd, list.offset + 4, list.offset + list.size, parts))
            return nullptr;
        for (const Chunk& part : parts) {
            if (type == "sdta" && part.id == "smpl") {
                index->smplOffset_ = part.offset;
                index->smplSize_ = part.size;
            } else if (type == "sdta" && part.id == "sm24") {
                index->sm24Offset_ = part.offset;
                index->sm24Size_ = part.size;
            } else if (type == "pdta") {
                for (int i = 0; i < kParts; ++i)
                    if (part.id == kPartsOfPresetData[i].id && index->places_[i].offset < 0)
                        index->places_[i] = {part.offset, part.size};
            }
        }
    }
    if (index->info_.empty() || index->smplOffset_ < 0)
        return nullptr;
    std::optional<PresetData> data = index->readPresetData(fd);
    if (!data)
        return nullptr;
    index->phdr_ = std::move(data->phdr);
    return index;
}

std::optional<SoundFontIndex::PresetData> SoundFontIndex::readPresetData(int fd) const {
    PresetData x;
    for (int i = 0; i < kParts; ++i) {
        std::string& part = x.*kPartsOfPresetData[i].data;
        if (places_[i].offset < 0 || places_[i].size > kMostPresetData ||
            !readAt(fd, places_[i].offset, static_cast<std::size_t>(places_[i].size), part) ||
            part.empty() || part.size() % kPartsOfPresetData[i].record != 0)
            return std::nullopt;
    }
    if (count(x.phdr, kPhdr) < 2 || count(x.inst, kInst) < 2 || count(x.shdr, kShdr) < 2 ||
        !bagsInOrder(x.phdr, kPhdr, 24, x.pbag, x.pgen, x.pmod) ||
        !bagsInOrder(x.inst, kInst, 20, x.ibag, x.igen, x.imod) ||
        !referencesHold(x.pgen, kGenInstrument, count(x.inst, kInst) - 1) ||
        !referencesHold(x.igen, kGenSampleId, count(x.shdr, kShdr) - 1))
        return std::nullopt;
    // Read again later, the presets must be those found at first.
    if (!phdr_.empty() && x.phdr != phdr_)
        return std::nullopt;
    return x;
}

int SoundFontIndex::presetIndex(int bank, int program) const {
    for (std::size_t i = 0; i + 1 < count(phdr_, kPhdr); ++i)
        if (u16(phdr_, i * kPhdr + 20) == program && u16(phdr_, i * kPhdr + 22) == bank)
            return static_cast<int>(i);
    return -1;
}

namespace {

// One level of the preset data (presets, or instruments) as read, and as made for a part.
struct Level {
    const std::string &owners, &bags, &gens, &mods;
    std::size_t ownerSize, bagAt;
    int reference; // the generator that names an entry of the level below
    std::string outOwners, outBags, outGens, outMods;

    // Owner i's record and zones, its references remapped to the entries taken below.
    void copy(std::size_t i, std::map<std::uint16_t, std::uint16_t>& taken,
              std::vector<std::uint16_t>& order) {
        std::string record = owners.substr(i * ownerSize, ownerSize);
        put16(record, bagAt, static_cast<std::uint16_t>(outBags.size() / kBag));
        outOwners += record;
        const std::size_t first = u16(owners, i * ownerSize + bagAt);
        const std::size_t last = u16(owners, (i + 1) * ownerSize + bagAt);
        for (std::size_t b = first; b < last; ++b) {
            append16(outBags, static_cast<std::uint16_t>(outGens.size() / kGen));
            append16(outBags, static_cast<std::uint16_t>(outMods.size() / kMod));
            const std::size_t g0 = u16(bags, b * kBag), g1 = u16(bags, (b + 1) * kBag);
            const std::size_t m0 = u16(bags, b * kBag + 2), m1 = u16(bags, (b + 1) * kBag + 2);
            for (std::size_t g = g0; g < g1; ++g) {
                std::string gen = gens.substr(g * kGen, kGen);
                if (u16(gen, 0) == reference) {
                    const std::uint16_t old = u16(gen, 2);
                    auto [it, added] = taken.emplace(old, static_cast<std::uint16_t>(taken.size()));
                    if (added)
                        order.push_back(old);
                    put16(gen, 2, it->second);
                }
                outGens += gen;
            }
            outMods += mods.substr(m0 * kMod, (m1 - m0) * kMod);
        }
    }
    // The terminal records, pointing past the last zone.
    void close() {
        std::string last = owners.substr(owners.size() - ownerSize);
        put16(last, bagAt, static_cast<std::uint16_t>(outBags.size() / kBag));
        outOwners += last;
        append16(outBags, static_cast<std::uint16_t>(outGens.size() / kGen));
        append16(outBags, static_cast<std::uint16_t>(outMods.size() / kMod));
        outMods += mods.substr(mods.size() - kMod);
        outGens += gens.substr(gens.size() - kGen);
    }
};

} // namespace

std::vector<SoundFontIndex::Piece> SoundFontIndex::subset(int fd, int preset) const {
    const std::optional<PresetData> data = readPresetData(fd);
    if (!data || preset < 0 || static_cast<std::size_t>(preset) + 1 >= count(data->phdr, kPhdr))
        return {};
    const PresetData& x = *data;
    Level presets{x.phdr, x.pbag, x.pgen, x.pmod, kPhdr, 24, kGenInstrument, {}, {}, {}, {}};
    Level instruments{x.inst, x.ibag, x.igen, x.imod, kInst, 20, kGenSampleId, {}, {}, {}, {}};
    std::map<std::uint16_t, std::uint16_t> instrumentsTaken, samplesTaken; // old index -> new
    std::vector<std::uint16_t> instrumentOrder, sampleOrder;
    presets.copy(static_cast<std::size_t>(preset), instrumentsTaken, instrumentOrder);
    for (std::uint16_t old : instrumentOrder)
        instruments.copy(old, samplesTaken, sampleOrder);
    presets.close();
    instruments.close();
    std::string shdr;
    for (std::uint16_t old : sampleOrder) {
        std::string record = x.shdr.substr(old * kShdr, kShdr);
        // A stereo partner keeps its link only when it is here too.
        const auto link = samplesTaken.find(u16(record, 42));
        put16(record, 42, link == samplesTaken.end() ? 0 : link->second);
        shdr += record;
    }
    shdr += x.shdr.substr(x.shdr.size() - kShdr);

    std::string pdta = "pdta";
    const std::pair<const char*, const std::string*> parts[] = {{"phdr", &presets.outOwners},
                                                                {"pbag", &presets.outBags},
                                                                {"pmod", &presets.outMods},
                                                                {"pgen", &presets.outGens},
                                                                {"inst", &instruments.outOwners},
                                                                {"ibag", &instruments.outBags},
                                                                {"imod", &instruments.outMods},
                                                                {"igen", &instruments.outGens},
                                                                {"shdr", &shdr}};
    for (const auto& [id, data] : parts)
        appendChunk(pdta, id, *data);

    // RIFF, INFO, the sample data in place, then the preset data.
    const long long smplPad = smplSize_ % 2, sm24Pad = sm24Offset_ >= 0 ? sm24Size_ % 2 : 0;
    const long long sdtaSize =
        4 + 8 + smplSize_ + smplPad + (sm24Offset_ >= 0 ? 8 + sm24Size_ + sm24Pad : 0);
    const long long total = 4 + static_cast<long long>(info_.size()) + 8 + sdtaSize + 8 +
                            static_cast<long long>(pdta.size());
    std::vector<Piece> pieces(1);
    std::string& lead = pieces[0].bytes;
    lead = "RIFF";
    append32(lead, static_cast<std::uint32_t>(total));
    lead += "sfbk";
    lead += info_;
    lead += "LIST";
    append32(lead, static_cast<std::uint32_t>(sdtaSize));
    lead += "sdtasmpl";
    append32(lead, static_cast<std::uint32_t>(smplSize_));
    pieces.push_back({{}, smplOffset_, smplSize_});
    std::string between(static_cast<std::size_t>(smplPad), '\0');
    if (sm24Offset_ >= 0) {
        between += "sm24";
        append32(between, static_cast<std::uint32_t>(sm24Size_));
        pieces.push_back({between, -1, 0});
        pieces.push_back({{}, sm24Offset_, sm24Size_});
        between.assign(static_cast<std::size_t>(sm24Pad), '\0');
    }
    between += "LIST";
    append32(between, static_cast<std::uint32_t>(pdta.size()));
    between += pdta;
    pieces.push_back({between, -1, 0});
    for (Piece& piece : pieces)
        if (piece.fileOffset < 0)
            piece.length = static_cast<long long>(piece.bytes.size());
    return pieces;
}

} // namespace fw
