#include "chords/qt_finger_chords.h"

#include "chords/chord_generators.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

namespace fw {

namespace {
constexpr int kPreviewVelocity = 90;

// The fret rows a guitar neck marks with inlays; the nut is drawn above fret 0.
constexpr int kMarkedFrets[] = {3, 5, 7, 9, 12, 15, 17, 19, 21};

// Holds the six string columns, numbers the frets at the left and draws coloured bars across
// the columns, so the rows read as the frets of a neck. The bars are only decoration.
class FretBoardColumns : public QWidget {
public:
    static constexpr int kNumberWidth = 22;
    explicit FretBoardColumns(QWidget* parent) : QWidget(parent) {}
    std::array<RadioGroup*, 6> groups{};

protected:
    void paintEvent(QPaintEvent*) override {
        if (!groups[0] || !groups[5])
            return;
        QPainter painter(this);
        const int left = groups[0]->geometry().left();
        const int right = groups[5]->geometry().right();
        auto rowOf = [&](int fret) {
            QRadioButton* item = groups[0]->item(fret);
            return QRect(QPoint(0, item->mapTo(this, QPoint(0, 0)).y()), item->size());
        };
        painter.fillRect(QRect(left, rowOf(0).top() - 3, right - left, 3), QColor(128, 0, 0));
        for (int fret : kMarkedFrets)
            painter.fillRect(QRect(left, rowOf(fret).center().y() - 1, right - left, 3),
                             fret == 12 ? QColor(160, 160, 160) : QColor(205, 205, 205));
        for (int fret = 0; fret < kFingerPositions; ++fret)
            painter.drawText(QRect(0, rowOf(fret).top(), kNumberWidth - 4, rowOf(fret).height()),
                             Qt::AlignRight | Qt::AlignVCenter, QString::number(fret));
    }
};
} // namespace

TForm4::TForm4(FingerChordsHost& host, QWidget* parent) : QDialog(parent), host_(host) {
    setObjectName("TForm4");
    setWindowTitle("6 String Guitar Finger Chords");
    setModal(true);

    auto* outer = new QVBoxLayout(this);
    auto* columns = new FretBoardColumns(this);
    auto* grid = new QGridLayout(columns);
    grid->setContentsMargins(FretBoardColumns::kNumberWidth, 0, 0, 0);
    grid->setHorizontalSpacing(6);
    const char* captions[6] = {"E", "A", "D", "G", "B", "E"};
    const char* buttonNames[6] = {"Button83", "Button1", "Button2",
                                  "Button3",  "Button4", "Button5"};
    const QStringList positions(kFingerPositions, QString());
    for (int s = 0; s < 6; ++s) {
        auto* group =
            new RadioGroup(QString("RadioGroup%1").arg(s + 1), captions[s], positions, 1, columns);
        group->setItemIndex(0);
        for (int f = 0; f < kFingerPositions; ++f)
            group->item(f)->setToolTip(f == 0
                                           ? QString("%1 string open").arg(captions[s])
                                           : QString("%1 string, fret %2").arg(captions[s]).arg(f));
        stringGroups[static_cast<std::size_t>(s)] = group;
        columns->groups[static_cast<std::size_t>(s)] = group;
        grid->addWidget(group, 0, s, Qt::AlignHCenter);
        auto* play = makeButton(buttonNames[s], "<((", columns);
        play->setFixedWidth(36);
        play->setToolTip(QString("Hear the %1 string as fingered").arg(captions[s]));
        previewButtons[static_cast<std::size_t>(s)] = play;
        grid->addWidget(play, 1, s, Qt::AlignHCenter);
        connect(play, &QPushButton::clicked, this, [this, s] { previewString(s); });
    }
    outer->addWidget(columns);

    auto* buttons = new QHBoxLayout;
    Button29 = makeButton("Button29", "Silence", this);
    Button6 = makeButton("Button6", "Generate", this);
    Button6->setToolTip("Write the six strings' offsets from the low E into the builder");
    Button7 = makeButton("Button7", "Cancel", this);
    for (auto* b : {Button29, Button6, Button7})
        buttons->addWidget(b);
    outer->addLayout(buttons);
    connect(Button29, &QPushButton::clicked, this, &TForm4::Button29Click);
    connect(Button6, &QPushButton::clicked, this, &TForm4::Button6Click);
    connect(Button7, &QPushButton::clicked, this, &TForm4::Button7Click);
}

int TForm4::fretOf(int string) const {
    return std::max(0, stringGroups[static_cast<std::size_t>(string)]->itemIndex());
}

void TForm4::previewString(int string) {
    if (string < 0 || string > 5)
        return;
    host_.previewGuitarNote(fingerNote(string, fretOf(string)), kPreviewVelocity);
}

void TForm4::Button29Click() {
    host_.silence();
}

void TForm4::Button6Click() {
    std::array<int, 6> frets{};
    for (int s = 0; s < 6; ++s)
        frets[static_cast<std::size_t>(s)] = fretOf(s);
    const auto offsets = fingerChordOffsets(frets);
    for (int s = 0; s < 6; ++s)
        host_.setBuilderOffset(s + 1, offsets[static_cast<std::size_t>(s)]);
    accept();
}

void TForm4::Button7Click() {
    reject();
}

} // namespace fw
