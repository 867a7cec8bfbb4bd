// Picking style files (*.pss, one slot of seven channels; *.psg, eight slots) as the style
// manager reads them: refused only when not text, with a short message; what was read is written
// back as the same lines, and a file of exactly the lines it needs comes back byte for byte.
#include "checks.h"
#include "crlf.h"
#include "files/line_file.h"
#include "picks/picking_styles.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace fw;
    const std::string_view bytes = fuzz::bytesOf(data, size);
    const auto lines = splitLineViews(bytes);
    const bool exact = fuzz::everyLineEndsInCrLf(bytes);

    const auto slot = parseStyleSlot(bytes, "style.pss");
    FW_CHECK(slot.ok() == (bytes.find('\0') == std::string_view::npos));
    if (!slot.ok()) {
        FW_CHECK(slot.error.size() <= fuzz::kLongestMessage);
        return 0;
    }
    const std::string slotText = styleSlotText(slot.value);
    FW_CHECK(parseStyleSlot(slotText, "style.pss").value == slot.value);
    if (exact && lines.size() == kPickChannels)
        FW_CHECK(slotText == bytes);

    const auto group = parseStyleGroup(bytes, "styles.psg");
    FW_CHECK(group.ok());
    const std::string groupText = styleGroupText(group.value);
    FW_CHECK(parseStyleGroup(groupText, "styles.psg").value == group.value);
    if (exact && lines.size() == kPickChannels * kPickSequences)
        FW_CHECK(groupText == bytes);
    return 0;
}
