// A play log as the window holds it: every file that "Load Log..." accepts shows one block per
// line that fretwright-log reads, and the box gives back exactly those bytes, line by line and
// as a whole (what "Save Log...", the merges and the exports read).
#include "checks.h"
#include "logs/log_files.h"
#include "logs/log_lines.h"
#include "logs/qt_log_view.h"

#include <QGuiApplication>
#include <QTextBlock>
#include <QTextDocument>

#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace fw;
    const std::string_view bytes = fuzz::bytesOf(data, size);
    if (checkPlayLogText(bytes, "log"))
        return 0; // refused on load, never shown
    const std::vector<std::string_view> lines = splitLogLines(bytes);
    const std::string text = joinLogLines(lines);

    QTextDocument document;
    document.setPlainText(logViewText(text));
    FW_CHECK(logViewBytes(document) == text);
    // An empty log is one empty block; otherwise one block per line.
    FW_CHECK(document.blockCount() == std::max<int>(1, static_cast<int>(lines.size())));
    int i = 0;
    for (QTextBlock block = document.begin(); block.isValid() && i < int(lines.size());
         block = block.next(), ++i)
        FW_CHECK(logViewLine(block) == lines[static_cast<std::size_t>(i)]);
    return 0;
}
