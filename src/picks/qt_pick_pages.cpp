#include "picks/qt_pick_pages.h"

#include "engine/engine.h"
#include "engine/prompts.h"
#include "files/line_file.h"
#include "ui/qt_widgets.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

#include <limits>

namespace fw {

namespace {
const char* const kChannelHint =
    "Type the String  ID numbers in a sequence for this channel (0-9)=Strings(1-10)";

// Files hold 8-bit text; Latin-1 maps every byte to one character and back.
QString fromBytes(const std::string& bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}
// A channel is one line of every file it is saved to; a line break pasted into its box would
// split it there and shift every channel after it. Pasted lines are joined instead.
void keepOnOneLine(QLineEdit* box) {
    const QString text = box->text();
    if (!text.contains('\n') && !text.contains('\r'))
        return;
    const int cursor = box->cursorPosition();
    QString joined;
    int joinedCursor = 0;
    for (int i = 0; i < text.size(); ++i) {
        if (text[i] != '\n' && text[i] != '\r')
            joined += text[i];
        if (i + 1 == cursor)
            joinedCursor = static_cast<int>(joined.size());
    }
    box->setText(joined);
    box->setCursorPosition(joinedCursor);
}
} // namespace

PickSetPages::PickSetPages(Engine& engine, Prompts& prompts, QObject* parent)
    : QObject(parent), engine_(engine), prompts_(prompts) {}

QWidget* PickSetPages::buildSequencesPage(QWidget* parent) {
    auto* picking = new QWidget(parent);
    picking->setObjectName("PickingSequencesPage");
    auto* layout = new QHBoxLayout(picking);

    PickPages = new QTabWidget(picking);
    PickPages->setObjectName("PickPages");
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    // Box numbers of each page: upper block (normal sequence), then lower block (altered).
    const int firstUpper[] = {0, 65, 72, 79, 86};
    const int firstLower[] = {0, 93, 100, 107, 114};
    for (int p = 1; p <= 4; ++p) {
        auto* page = new QWidget(PickPages);
        page->setObjectName(QString("PickPage%1").arg(p));
        // The normal sequence and its altered form side by side, channel 1 at the top of each,
        // so all fourteen boxes are in sight and each block's characters line up as columns.
        auto* grid = new QGridLayout(page);
        grid->setContentsMargins(4, 2, 4, 2);
        grid->setVerticalSpacing(1);
        grid->setHorizontalSpacing(3);
        grid->addWidget(new QLabel(QString("Pick %1").arg(p), page), 0, 1);
        grid->addWidget(new QLabel(QString("Pick %1 altered (ALT)").arg(p), page), 0, 4);
        grid->setColumnMinimumWidth(2, 8);
        for (int i = 0; i < 14; ++i) {
            const int number = i < 7 ? firstUpper[p] + i : firstLower[p] + i - 7;
            auto* box = new QLineEdit(page);
            box->setObjectName(QString("Edit%1").arg(number));
            box->setFont(fixed);
            box->setToolTip(kChannelHint);
            box->setFixedHeight(QFontMetrics(fixed).height() + 6);
            // A sequence is never cut, however long it grows.
            box->setMaxLength(std::numeric_limits<int>::max());
            connect(box, &QLineEdit::textEdited, box, [box] { keepOnOneLine(box); });
            pickEdits[p][i] = box;
            const int row = i % 7 + 1;
            const int column = i < 7 ? 0 : 3;
            auto* channel = new QLabel(QString::number(i % 7 + 1), page);
            channel->setToolTip(QString("Channel %1").arg(i % 7 + 1));
            grid->addWidget(channel, row, column);
            grid->addWidget(box, row, column + 1);
        }
        grid->setRowStretch(8, 1);
        // Fourteen boxes are taller than the page; they scroll rather than grow the window.
        auto* scroll = new QScrollArea(PickPages);
        scroll->setWidget(page);
        scroll->setWidgetResizable(true);
        scroll->setFrameShape(QFrame::NoFrame);
        PickPages->addTab(scroll, QString("Pick %1").arg(p));
    }
    layout->addWidget(PickPages, 1);
    // The sequences kept while the page was not made go into its boxes.
    for (int n = 1; n <= kPickSequences; ++n)
        setChannelTexts(n, unbuiltTexts_[static_cast<std::size_t>(n)]);

    auto* side = new QVBoxLayout;
    SavePickDefinitions = new QGroupBox("Save Pick Definitions", picking);
    SavePickDefinitions->setObjectName("SavePickDefinitions");
    auto* sets = new QVBoxLayout(SavePickDefinitions);
    for (int set = 1; set <= 4; ++set) {
        setButtons[set] = makeButton(QString("Button%1").arg(46 + set), QString("Set %1").arg(set),
                                     SavePickDefinitions);
        setButtons[set]->setToolTip(
            QString("Store all eight sequences of the four pages as pick set %1").arg(set));
        sets->addWidget(setButtons[set]);
        connect(setButtons[set], &QPushButton::clicked, this, [this, set] { savePickSet(set); });
    }
    side->addWidget(SavePickDefinitions);
    side->addStretch(1);
    Button76 = makeButton("Button76", "Picking Style File Manager", picking);
    side->addWidget(Button76);
    layout->addLayout(side);
    return picking;
}

QWidget* PickSetPages::buildDefinitionsPage(QWidget* parent) {
    auto* page = new QWidget(parent);
    page->setObjectName("PickDefinitionsPage");
    auto* layout = new QHBoxLayout(page);
    PickMemo = makeMemo("PickMemo", page);
    PickMemo->setReadOnly(true);
    PickMemo->setToolTip("Pick set 1 to 4, each with pick 1 to 4, normal and altered: one "
                         "sequence a line");
    layout->addWidget(PickMemo, 1);
    auto* buttons = new QVBoxLayout;
    Button45 = makeButton("Button45", "Load Pick Set", page);
    Button46 = makeButton("Button46", "SavePick Set", page);
    buttons->addWidget(Button45);
    buttons->addWidget(Button46);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    connect(Button45, &QPushButton::clicked, this, &PickSetPages::Button45Click);
    connect(Button46, &QPushButton::clicked, this, &PickSetPages::Button46Click);
    showMemoLines();
    return page;
}

void PickSetPages::deferSequencesPage(DeferredPage* page) {
    for (int p = 1; p <= 4; ++p)
        for (auto& box : pickEdits[p])
            box.on(page);
    for (int set = 1; set <= kPickSets; ++set)
        setButtons[set].on(page);
    PickPages.on(page);
    SavePickDefinitions.on(page);
    Button76.on(page);
}

const Deferred<QLineEdit>* PickSetPages::edit(int n, int channel) const {
    if (n < 1 || n > kPickSequences || channel < 1 || channel > kPickChannels)
        return nullptr;
    // Sequence 2k - 1 is the upper block of page k, sequence 2k its lower block.
    const int page = (n + 1) / 2;
    const int first = n % 2 == 1 ? 0 : kPickChannels;
    return &pickEdits[page][first + channel - 1];
}

QLineEdit* PickSetPages::sequenceEdit(int n, int channel) const {
    const Deferred<QLineEdit>* box = edit(n, channel);
    return box ? box->get() : nullptr;
}

PickChannels PickSetPages::channelTexts(int n) const {
    if (n < 1 || n > kPickSequences)
        return {};
    if (!edit(n, 1)->ifBuilt())
        return unbuiltTexts_[static_cast<std::size_t>(n)];
    PickChannels texts;
    for (int c = 1; c <= kPickChannels; ++c)
        texts[c - 1] = edit(n, c)->ifBuilt()->text().toLatin1().toStdString();
    return texts;
}

void PickSetPages::setChannelTexts(int n, const PickChannels& texts) {
    if (n < 1 || n > kPickSequences)
        return;
    if (!edit(n, 1)->ifBuilt()) {
        unbuiltTexts_[static_cast<std::size_t>(n)] = texts;
        return;
    }
    for (int c = 1; c <= kPickChannels; ++c)
        edit(n, c)->ifBuilt()->setText(fromBytes(texts[static_cast<std::size_t>(c - 1)]));
}

void PickSetPages::savePickSet(int set) {
    if (set < 1 || set > kPickSets)
        return;
    for (int n = 1; n <= kPickSequences; ++n)
        engine_.st.pickMemory[set][n] = interleaveChannels(channelTexts(n));
    showPickMemory();
}

void PickSetPages::showPickMemory() {
    setMemoLines(pickMemoryLines(engine_.st.pickMemory));
}

void PickSetPages::setMemoLines(std::vector<std::string> lines) {
    memoLines_ = std::move(lines);
    showMemoLines();
}

void PickSetPages::showMemoLines() {
    QPlainTextEdit* memo = PickMemo.ifBuilt();
    if (!memo)
        return;
    QString text;
    for (std::size_t i = 0; i < memoLines_.size(); ++i) {
        if (i > 0)
            text += '\n';
        text += fromBytes(memoLines_[i]);
    }
    memo->setPlainText(text);
}

bool PickSetPages::loadPickSetFile(const std::string& path) {
    std::string error;
    auto file = readPickSetFile(path, error);
    if (!file) {
        prompts_.showMessage(error);
        return false;
    }
    replacePickSet(std::move(*file));
    return true;
}

void PickSetPages::replacePickSet(PickSetFile file) {
    engine_.st.pickMemory = file.memory;
    setMemoLines(std::move(file.lines));
}

void PickSetPages::Button45Click() {
    if (auto path = prompts_.openFileName(kLoadPickSetDialog))
        loadPickSetFile(*path);
}

void PickSetPages::Button46Click() {
    if (auto path = prompts_.saveFileName(kSavePickSetDialog)) {
        if (auto error = writeLineFileAtomically(*path, memoLines_))
            prompts_.showMessage(*error);
    }
}

} // namespace fw
