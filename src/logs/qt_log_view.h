#pragma once

#include <QString>

#include <string>
#include <string_view>

class QTextBlock;
class QTextDocument;

namespace fw {

// How a log's 8-bit lines live in a text box: one block per line, each byte one character. The
// two conversions give back exactly the bytes that went in (a no-break space stays one), so a log
// loaded and saved unchanged is the same file, and the window reads a log as the tool does.

// Log text (lines separated by LF, as joinLogLines gives) as the box's text.
QString logViewText(std::string_view text);

// One block's line as 8-bit text, a character the 8-bit set lacks as "?".
std::string logViewLine(const QTextBlock& block);

// The box's lines as 8-bit text separated by LF: one line per block, a character the 8-bit set
// lacks as "?".
std::string logViewBytes(const QTextDocument& document);

} // namespace fw
