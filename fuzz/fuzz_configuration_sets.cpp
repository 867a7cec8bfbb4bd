// A configuration set file (*.cset) as "Load *.cset" reads it: refused with a short message
// only when it is not text; otherwise its first three lines are the three names (missing ones
// empty) and a fourth names a beat file when it ends in ".beat", a save of them reads back the
// same, and a file of exactly three CR LF lines comes
// back byte for byte. For the inputs that load, the real file is read and written as the window
// does.
#include "checks.h"
#include "config/configuration_set.h"
#include "crlf.h"
#include "files/line_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace fw;
    const std::string_view bytes = fuzz::bytesOf(data, size);
    const ConfigurationSetParse parsed = parseConfigurationSet(bytes, "set.cset");
    FW_CHECK(parsed.set.has_value() == (bytes.find('\0') == std::string_view::npos));
    if (!parsed.set) {
        FW_CHECK(!parsed.error.empty() && parsed.error.size() <= fuzz::kLongestMessage);
        return 0;
    }
    const std::vector<std::string_view> lines = splitLineViews(bytes);
    const auto line = [&](std::size_t i) { return i < lines.size() ? lines[i] : ""; };
    const ConfigurationSet& set = *parsed.set;
    FW_CHECK(set.chords == line(0) && set.picks == line(1) && set.joystick == line(2));
    // A fourth line counts only as a beat file's name.
    FW_CHECK(set.beat == (line(3).ends_with(".beat") ? line(3) : ""));

    std::string error;
    const auto text = configurationSetText(set, error);
    FW_CHECK(text && error.empty());
    FW_CHECK(parseConfigurationSet(*text, "set.cset").set == set);
    if (fuzz::everyLineEndsInCrLf(bytes) && lines.size() == 3)
        FW_CHECK(*text == bytes);

    static const std::string in = fuzz::scratchPath("in.cset");
    static const std::string out = fuzz::scratchPath("out.cset");
    fuzz::writeScratch(in, bytes);
    const ConfigurationSetParse read = readConfigurationSetFile(in);
    FW_CHECK(read.set == set);
    FW_CHECK(!writeConfigurationSetFile(out, set));
    FW_CHECK(fuzz::readScratch(out) == *text);
    return 0;
}
