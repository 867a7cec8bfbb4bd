// A beat file (*.beat) as the "Beat Manager" loads it: taken whole or refused with a short
// message; what loaded saves as the same lines, byte for byte when the file was in the
// program's own form (blank lines at its end aside); and its pattern compiles as "Apply" must.
// For the inputs that load, the real file is read and written as the window does.
#include "beat_checks.h"
#include "beats/beat_files.h"
#include "crlf.h"
#include "files/line_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace fw;
    const std::string_view bytes = fuzz::bytesOf(data, size);
    std::string error;
    const auto pattern = parseBeatFile(bytes, "drums.beat", error);

    std::vector<std::string_view> lines = splitLineViews(bytes);
    while (lines.size() > kBeatFileLines && lines.back().empty())
        lines.pop_back();
    const bool instrumentOk =
        lines.size() == kBeatFileLines || (lines.size() == kBeatFileLinesWithInstrument &&
                                           beatInstrumentOfLine(lines.back()).has_value());
    const bool wellFormed =
        bytes.find('\0') == std::string_view::npos && instrumentOk && lines[0] == kBeatFileHeader;
    FW_CHECK(pattern.has_value() == wellFormed);
    if (!pattern) {
        FW_CHECK(!error.empty() && error.size() <= fuzz::kLongestMessage);
        return 0;
    }
    const std::vector<std::string> saved = beatFileLines(*pattern);
    FW_CHECK(std::equal(saved.begin(), saved.end(), lines.begin(), lines.end()));
    const std::string savedText = joinCrLf(saved);
    if (fuzz::everyLineEndsInCrLf(bytes))
        FW_CHECK(bytes.starts_with(savedText) &&
                 bytes.substr(savedText.size()).find_first_not_of("\r\n") == std::string::npos);

    fuzz::checkedBeatCompile(pattern->voices, pattern->rows);

    static const std::string in = fuzz::scratchPath("in.beat");
    static const std::string out = fuzz::scratchPath("out.beat");
    fuzz::writeScratch(in, bytes);
    const auto read = readBeatFile(in, error);
    FW_CHECK(read && read->voices == pattern->voices && read->rows == pattern->rows &&
             read->instrument == pattern->instrument);
    FW_CHECK(!writeLineFileAtomically(out, saved));
    FW_CHECK(fuzz::readScratch(out) == savedText);
    return 0;
}
