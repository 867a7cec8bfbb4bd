#include "logs/qt_log_view.h"

#include <QTextBlock>
#include <QTextDocument>

namespace fw {

QString logViewText(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

std::string logViewLine(const QTextBlock& block) {
    const QByteArray bytes = block.text().toLatin1();
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

std::string logViewBytes(const QTextDocument& document) {
    // Not toPlainText(): it turns a no-break space into a plain one.
    std::string out;
    out.reserve(static_cast<std::size_t>(document.characterCount()));
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (block != document.begin())
            out += '\n';
        out += logViewLine(block);
    }
    return out;
}

} // namespace fw
