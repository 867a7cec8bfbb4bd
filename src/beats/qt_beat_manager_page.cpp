#include "beats/qt_beat_manager_page.h"

#include "beats/beat_generator.h"
#include "beats/beat_instrument.h"
#include "chords/qt_note_preview.h"
#include "engine/engine.h"
#include "engine/instruments.h"
#include "engine/prompts.h"
#include "files/line_file.h"
#include "ui/qt_widgets.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QStringListModel>
#include <QVBoxLayout>

#include <limits>

namespace fw {

namespace {
constexpr int kPreviewVelocity = 0x5A;
constexpr int kRowColumns = 5;

// The "<((" button of each row, "A" first.
constexpr int kPreviewButtonNumbers[kBeatRows] = {20, 21, 22, 23, 24, 25, 26, 27, 53,
                                                  54, 55, 56, 57, 58, 59, 60, 61, 62,
                                                  63, 64, 71, 72, 73, 77, 78};

const FileDialogSpec kBeatSaveDialog{"Save Beat", kBeatFileFilter, kBeatFileExt};
const FileDialogSpec kBeatLoadDialog{"Load Beat", kBeatFileFilter, kBeatFileExt};

// Texts are 8-bit; Latin-1 maps every byte to one character and back.
std::string toBytes(const QString& text) {
    return text.toLatin1().toStdString();
}
QString fromBytes(const std::string& bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}
} // namespace

BeatManagerPage::BeatManagerPage(Engine& engine, Prompts& prompts, Random& random, QWidget* parent)
    : QWidget(parent), engine_(engine), prompts_(prompts), random_(random),
      preview_(new NotePreview(engine.out, this)) {
    setObjectName("BeatManagerPage");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);
    layout->addWidget(buildRows());

    auto* lower = new QHBoxLayout;
    lower->setSpacing(6);
    lower->addWidget(buildPattern(), 1);

    auto* buttons = new QVBoxLayout;
    buttons->setSpacing(2);
    Button80 = makeButton("Button80", "Apply", this);
    Button80->setToolTip("Turn the pattern lines into the beat that \"Accomp. Beat\" plays");
    Button100 = makeButton("Button100", "Generate 4 Beat", this);
    Button98 = makeButton("Button98", "Generate 8 Beat", this);
    Button93 = makeButton("Button93", "Generate 16 Beat", this);
    Button99 = makeButton("Button99", "Generate 32 Beat", this);
    BeatSaveButton = makeButton("BeatSaveButton", "Save Beat...", this);
    BeatLoadButton = makeButton("BeatLoadButton", "Load Beat...", this);
    BeatSaveButton->setToolTip("Keep the pattern lines and the row numbers in a .beat file");
    for (auto* b :
         {Button80, Button100, Button98, Button93, Button99, BeatSaveButton, BeatLoadButton})
        buttons->addWidget(b);
    buttons->addStretch(1);
    lower->addLayout(buttons);

    auto* instrument = new QVBoxLayout;
    instrument->setSpacing(2);
    instrument->addWidget(new QLabel("Beat Instrument", this));
    ListBox5 = new QListWidget(this);
    ListBox5->setObjectName("ListBox5");
    for (const auto& item : instrumentItems())
        ListBox5->addItem(QString::fromStdString(item));
    // An entry is chosen from the start, so the first recording announces a real program.
    ListBox5->setCurrentRow(kFirstInstrument);
    ListBox5->setFixedWidth(190);
    instrument->addWidget(ListBox5, 1);
    lower->addLayout(instrument);
    layout->addLayout(lower, 1);

    connect(Button80, &QPushButton::clicked, this, &BeatManagerPage::Button80Click);
    connect(Button100, &QPushButton::clicked, this, &BeatManagerPage::Button100Click);
    connect(Button98, &QPushButton::clicked, this, &BeatManagerPage::Button98Click);
    connect(Button93, &QPushButton::clicked, this, &BeatManagerPage::Button93Click);
    connect(Button99, &QPushButton::clicked, this, &BeatManagerPage::Button99Click);
    connect(BeatSaveButton, &QPushButton::clicked, this, &BeatManagerPage::BeatSaveClick);
    connect(BeatLoadButton, &QPushButton::clicked, this, &BeatManagerPage::BeatLoadClick);
    connect(ListBox5, &QListWidget::itemClicked, this, [this] { ListBox5Click(); });
    // Moving through the list with the keyboard announces too; a mouse press also moves the
    // current row, but its click follows and announces once.
    connect(ListBox5, &QListWidget::currentRowChanged, this, [this] {
        if (QGuiApplication::mouseButtons() == Qt::NoButton)
            ListBox5Click();
    });
}

QWidget* BeatManagerPage::buildRows() {
    auto* rows = new QWidget(this);
    rows->setObjectName("BeatRows");
    auto* grid = new QGridLayout(rows);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(2);
    grid->setVerticalSpacing(1);
    QStringList numbers;
    for (int n = 1; n <= 128; ++n)
        numbers << QString::number(n);
    // One list of the note numbers serves every row: items of their own for 25 boxes would be
    // 3200 to build at every start.
    auto* noteNumbers = new QStringListModel(numbers, rows);
    for (int r = 0; r < kBeatRows; ++r) {
        const QString letter(QChar(beatRowLetter(r)));
        auto* label = new QLabel(letter, rows);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        label->setMinimumWidth(14);
        auto* box = new QComboBox(rows);
        box->setObjectName(QString("ComboBox%1").arg(11 + r));
        makeEditable(box);
        box->setInsertPolicy(QComboBox::NoInsert);
        box->setModel(noteNumbers);
        box->setCurrentIndex(r);
        box->setFixedWidth(54);
        box->setToolTip(QString("The MIDI note number that %1 plays").arg(letter));
        rowBoxes[r] = box;
        auto* play = makeButton(QString("Button%1").arg(kPreviewButtonNumbers[r]), "<((", rows);
        play->setFixedWidth(32);
        play->setToolTip(QString("Hear row %1").arg(letter));
        previewButtons[r] = play;
        connect(play, &QPushButton::clicked, this, [this, r] { previewRow(r); });
        const int gridRow = r / kRowColumns;
        const int column = 4 * (r % kRowColumns);
        grid->addWidget(label, gridRow, column);
        grid->addWidget(box, gridRow, column + 1);
        grid->addWidget(play, gridRow, column + 2);
        if (r % kRowColumns != kRowColumns - 1)
            grid->setColumnMinimumWidth(column + 3, 4);
    }
    grid->setColumnStretch(4 * kRowColumns, 1);
    return rows;
}

QWidget* BeatManagerPage::buildPattern() {
    BeatPatternSegment = new QGroupBox("Beat Pattern Segment", this);
    BeatPatternSegment->setObjectName("BeatPatternSegment");
    auto* column = new QVBoxLayout(BeatPatternSegment);
    column->setContentsMargins(4, 2, 4, 2);
    column->setSpacing(1);
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    for (int v = 0; v < kBeatVoices; ++v) {
        auto* edit = new QLineEdit(BeatPatternSegment);
        edit->setObjectName(QString("Edit%1").arg(10 + v));
        edit->setFont(fixed);
        edit->setFixedHeight(QFontMetrics(fixed).height() + 4);
        edit->setMaxLength(std::numeric_limits<int>::max());
        edit->setToolTip("One voice: a row letter A-Y plays that row's note on this step, "
                         "\"-\" rests");
        patternEdits[v] = edit;
        column->addWidget(edit);
    }
    column->addStretch(1);
    return BeatPatternSegment;
}

BeatPattern BeatManagerPage::pattern() const {
    BeatPattern p;
    for (int v = 0; v < kBeatVoices; ++v)
        p.voices[v] = toBytes(patternEdits[v]->text());
    for (int r = 0; r < kBeatRows; ++r)
        p.rows[r] = toBytes(rowBoxes[r]->currentText());
    if (ListBox5->currentRow() >= 0)
        p.instrument = ListBox5->currentRow();
    return p;
}

void BeatManagerPage::showPattern(const BeatPattern& p) {
    for (int v = 0; v < kBeatVoices; ++v)
        patternEdits[v]->setText(fromBytes(p.voices[v]));
    for (int r = 0; r < kBeatRows; ++r)
        rowBoxes[r]->setEditText(fromBytes(p.rows[r]));
    // A beat that names its instrument sounds with it at once; older files keep the one chosen.
    if (p.instrument && *p.instrument != ListBox5->currentRow()) {
        mirrorRow(ListBox5, *p.instrument);
        ListBox5Click();
    }
}

void BeatManagerPage::Button80Click() {
    const BeatPattern p = pattern();
    std::string error;
    if (auto line = compileBeatLine(p.voices, p.rows, error))
        engine_.st.accompBeatLine = std::move(*line);
    else
        prompts_.showMessage(error);
}

void BeatManagerPage::generateBeat(int steps) {
    fw::generateBeat(engine_.st.accompBeatLine, steps, random_);
}

void BeatManagerPage::previewRow(int row) {
    if (row < 0 || row >= kBeatRows)
        return;
    std::string error;
    const auto note = beatRowNote(row, toBytes(rowBoxes[row]->currentText()), error);
    if (!note) {
        prompts_.showMessage(error);
        return;
    }
    preview_->play(0x90, *note, kPreviewVelocity);
}

void BeatManagerPage::ListBox5Click() {
    announceBeatInstrument(engine_.out, ListBox5->currentRow());
}

bool BeatManagerPage::saveBeatFile(const std::string& path) {
    if (auto error = writeLineFileAtomically(path, beatFileLines(pattern()))) {
        prompts_.showMessage(*error);
        return false;
    }
    return true;
}

bool BeatManagerPage::loadBeatFile(const std::string& path) {
    std::string error;
    auto p = readBeatFile(path, error);
    if (!p) {
        prompts_.showMessage(error);
        return false;
    }
    showPattern(*p);
    return true;
}

void BeatManagerPage::BeatSaveClick() {
    if (auto path = prompts_.saveFileName(kBeatSaveDialog))
        saveBeatFile(*path);
}

void BeatManagerPage::BeatLoadClick() {
    if (auto path = prompts_.openFileName(kBeatLoadDialog))
        loadBeatFile(*path);
}

} // namespace fw
