#include "chords/qt_memory_status_page.h"

#include "chords/chord_names.h"
#include "chords/memory_status.h"
#include "engine/engine.h"
#include "ui/qt_widgets.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPainter>
#include <QPixmap>
#include <QVBoxLayout>

namespace fw {

namespace {
constexpr int kCell = 32; // one pick sequence in the picture, and one chord row
constexpr int kChordCellWidth = 24;

QLabel* centred(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

// The row labels "1" .. "4" beside "Set", each as tall as its row.
QWidget* setColumn(int rowHeight, QWidget* parent) {
    auto* column = new QWidget(parent);
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (int set = 1; set <= 4; ++set) {
        auto* label = centred(QString::number(set), column);
        label->setFixedHeight(rowHeight);
        layout->addWidget(label);
    }
    return column;
}

// Shows the chord grid caption as a terminal would with a word-wrapped label four characters
// wide: every blank-separated group on a row of its own, one character cell per chord. A block
// fills its cell; a thin teal seam keeps the cells apart.
class ChordGridLabel : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QColor teal(0, 128, 128);
        painter.fillRect(rect(), teal);
        painter.setFont(font());
        const QStringList rows = text().split(' ', Qt::SkipEmptyParts);
        for (int r = 0; r < rows.size(); ++r) {
            for (int c = 0; c < rows[r].size(); ++c) {
                const QRect cell(c * kChordCellWidth, r * kCell, kChordCellWidth, kCell);
                if (rows[r][c] == QChar(0x2588))
                    painter.fillRect(cell.adjusted(0, 0, -1, -1), Qt::black);
                else
                    painter.drawText(cell, Qt::AlignCenter, QString(rows[r][c]));
            }
        }
    }
};
} // namespace

MemoryStatusPage::MemoryStatusPage(Engine& engine, QWidget* parent)
    : QWidget(parent), engine_(engine) {
    setObjectName("MemoryStatusPage");
    auto* layout = new QHBoxLayout(this);

    auto* chords = new QGroupBox("Chord Memory", this);
    chords->setObjectName("ChordMemoryGroup");
    auto* chordGrid = new QGridLayout(chords);
    chordGrid->setSpacing(2);
    Label47 = new ChordGridLabel(chords);
    Label47->setObjectName("Label47");
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(28);
    Label47->setFont(font);
    Label47->setWordWrap(true);
    Label47->setFixedSize(4 * kChordCellWidth + 1, 4 * kCell + 1);
    Label47->setText("---- ---- ---- ----");
    Label47->setToolTip("X: a stored chord; a block: an empty one (its notes add up to 0)");
    chordGrid->addWidget(centred("Chord Index", chords), 0, 1);
    auto* chordNumbers = new QHBoxLayout;
    chordNumbers->setSpacing(0);
    for (int chord = 1; chord <= 4; ++chord) {
        auto* label = centred(QString::number(chord), chords);
        label->setFixedWidth(kChordCellWidth);
        chordNumbers->addWidget(label);
    }
    chordNumbers->addStretch(1);
    chordGrid->addLayout(chordNumbers, 1, 1);
    chordGrid->addWidget(centred("Set", chords), 1, 0);
    chordGrid->addWidget(setColumn(kCell, chords), 2, 0, Qt::AlignTop);
    chordGrid->addWidget(Label47, 2, 1, Qt::AlignTop | Qt::AlignLeft);
    chordGrid->addWidget(centred("Names", chords), 1, 2);
    auto* names = new QWidget(chords);
    names->setObjectName("ChordNameGrid");
    auto* nameColumn = new QVBoxLayout(names);
    nameColumn->setContentsMargins(0, 0, 0, 0);
    nameColumn->setSpacing(0);
    QFont small = names->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    for (int set = 1; set <= 4; ++set) {
        // One line per set, level with its row of the grid: the four names in chord order.
        auto* row = new QLabel(names);
        row->setObjectName(QString("ChordNames%1").arg(set));
        row->setFont(small);
        row->setFixedHeight(kCell);
        row->setToolTip(QString("The chords of set %1 by name, 1 to 4").arg(set));
        chordNames[set] = row;
        nameColumn->addWidget(row);
    }
    chordGrid->addWidget(names, 2, 2, Qt::AlignTop | Qt::AlignLeft);
    chordGrid->setRowStretch(3, 1);
    chordGrid->setColumnStretch(3, 1);
    layout->addWidget(chords);

    auto* picks = new QGroupBox("Pick Memory", this);
    picks->setObjectName("PickMemoryGroup");
    auto* pickGrid = new QGridLayout(picks);
    pickGrid->setSpacing(2);
    auto* headers = new QHBoxLayout;
    headers->setSpacing(0);
    const QColor headerColours[4] = {QColor(128, 0, 0), QColor(128, 128, 0), QColor(0, 128, 0),
                                     QColor(0, 0, 128)};
    for (int pick = 1; pick <= 4; ++pick) {
        auto* header = centred(QString("Pick %1").arg(pick), picks);
        header->setObjectName(QString("PickHeader%1").arg(pick));
        header->setFixedWidth(2 * kCell);
        header->setAutoFillBackground(true);
        QPalette p = header->palette();
        p.setColor(QPalette::Window, headerColours[pick - 1]);
        p.setColor(QPalette::WindowText, Qt::white);
        header->setPalette(p);
        header->setToolTip(
            QString("Pick %1: up, its normal sequence; down, its altered one").arg(pick));
        headers->addWidget(header);
    }
    pickGrid->addLayout(headers, 0, 1);
    pickGrid->addWidget(centred("Set", picks), 0, 0);
    pickGrid->addWidget(setColumn(kCell, picks), 1, 0, Qt::AlignTop);
    Image1 = new QLabel(picks);
    Image1->setObjectName("Image1");
    Image1->setFixedSize(PickStatusImage::kWidth, PickStatusImage::kHeight);
    pickGrid->addWidget(Image1, 1, 1, Qt::AlignTop | Qt::AlignLeft);
    // Under the picture rather than beside it, which leaves room for the chord names.
    Button51 = makeButton("Button51", "Refresh", this);
    Button51->setToolTip("Show what the chord and pick memories hold now");
    pickGrid->addWidget(Button51, 2, 1, Qt::AlignTop | Qt::AlignRight);
    pickGrid->setRowStretch(3, 1);
    layout->addWidget(picks);
    layout->addStretch(1);
    connect(Button51, &QPushButton::clicked, this, &MemoryStatusPage::Button51Click);

    Button51Click();
}

void MemoryStatusPage::Button51Click() {
    Label47->setText(QString::fromUtf8(chordGridCaption(engine_.st.chordMemory)));
    for (int set = 1; set <= 4; ++set) {
        QStringList names;
        for (int chord = 1; chord <= 4; ++chord) {
            const std::string name = chordName(engine_.st.chordMemory[set][chord]);
            names << QString::fromStdString(name.empty() ? "-" : name);
        }
        chordNames[set]->setText(names.join("  "));
    }
    const PickStatusImage drawn = drawPickStatus(engine_.st.pickMemory);
    image_ = QImage(PickStatusImage::kWidth, PickStatusImage::kHeight, QImage::Format_RGB32);
    for (int y = 0; y < PickStatusImage::kHeight; ++y)
        for (int x = 0; x < PickStatusImage::kWidth; ++x) {
            const Rgb c = drawn.at(x, y);
            image_.setPixel(x, y, qRgb(c.r, c.g, c.b));
        }
    Image1->setPixmap(QPixmap::fromImage(image_));
}

} // namespace fw
