#include "logs/qt_piano_roll.h"

#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <climits>
#include <cmath>

namespace fw {

namespace {

constexpr int kNames = 40;    // the note names at the left
constexpr int kRuler = 18;    // the time labels under the notes
constexpr int kBendLane = 40; // the bends at the bottom
constexpr double kFinest = 0.02;
constexpr double kCoarsest = 2000;

const char* const kNoteNames[12] = {"C",  "C#", "D",  "D#", "E",  "F",
                                    "F#", "G",  "G#", "A",  "A#", "B"};

bool blackKey(int note) {
    const int k = note % 12;
    return k == 1 || k == 3 || k == 6 || k == 8 || k == 10;
}

QColor channelColour(int channel) {
    // Neighbouring channels far apart on the colour wheel.
    return QColor::fromHsv((channel * 7 % 16) * 360 / 16, 170, 215);
}

QString timeLabel(std::int64_t centis) {
    const std::int64_t s = centis / 100;
    return QString("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QChar('0'));
}

} // namespace

PianoRollCanvas::PianoRollCanvas(const PianoRoll& roll, QWidget* parent)
    : QAbstractScrollArea(parent), roll_(roll) {
    setObjectName("PianoRollCanvas");
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    horizontalScrollBar()->setObjectName("PianoRollTime");
    verticalScrollBar()->setObjectName("PianoRollNotes");
    setMinimumSize(320, 200);
}

int PianoRollCanvas::rollWidth() const {
    return std::max(1, viewport()->width() - kNames);
}

int PianoRollCanvas::rollHeight() const {
    return std::max(1, viewport()->height() - kRuler - kBendLane);
}

std::int64_t PianoRollCanvas::leftTime() const {
    return roll_.firstTime() +
           static_cast<std::int64_t>(horizontalScrollBar()->value() * centisPerPixel_);
}

void PianoRollCanvas::setLeftTime(std::int64_t t) {
    horizontalScrollBar()->setValue(
        static_cast<int>(static_cast<double>(t - roll_.firstTime()) / centisPerPixel_));
}

double PianoRollCanvas::xOf(std::int64_t t) const {
    return kNames + static_cast<double>(t - roll_.firstTime()) / centisPerPixel_ -
           horizontalScrollBar()->value();
}

void PianoRollCanvas::updateScrollBars() {
    const double span = static_cast<double>(roll_.lastTime() - roll_.firstTime()) + 100;
    const double pixels = std::min(span / centisPerPixel_, double(INT_MAX / 2));
    horizontalScrollBar()->setRange(0, std::max(0, static_cast<int>(pixels) - rollWidth()));
    horizontalScrollBar()->setPageStep(rollWidth());
    horizontalScrollBar()->setSingleStep(std::max(1, rollWidth() / 10));
    verticalScrollBar()->setRange(0, std::max(0, 128 * rowHeight_ - rollHeight()));
    verticalScrollBar()->setPageStep(rollHeight());
    verticalScrollBar()->setSingleStep(rowHeight_);
}

void PianoRollCanvas::rollChanged(bool toEnd) {
    updateScrollBars();
    if (toEnd)
        horizontalScrollBar()->setValue(horizontalScrollBar()->maximum());
    viewport()->update();
}

void PianoRollCanvas::fitAll() {
    const double span = static_cast<double>(roll_.lastTime() - roll_.firstTime()) + 100;
    setCentisPerPixel(span / rollWidth(), 0);
    horizontalScrollBar()->setValue(0);
}

void PianoRollCanvas::setCentisPerPixel(double value, int anchorX) {
    value = std::clamp(value, kFinest, kCoarsest);
    // The time under the anchor stays where it is.
    const double anchorCentis = (horizontalScrollBar()->value() + anchorX) * centisPerPixel_;
    centisPerPixel_ = value;
    updateScrollBars();
    horizontalScrollBar()->setValue(static_cast<int>(anchorCentis / value - anchorX));
    viewport()->update();
}

void PianoRollCanvas::setRowHeight(int pixels) {
    const int middle = (verticalScrollBar()->value() + rollHeight() / 2) / rowHeight_;
    rowHeight_ = std::clamp(pixels, 2, 32);
    updateScrollBars();
    verticalScrollBar()->setValue(middle * rowHeight_ - rollHeight() / 2);
    viewport()->update();
}

int PianoRollCanvas::topNote() const {
    return 127 - verticalScrollBar()->value() / rowHeight_;
}

int PianoRollCanvas::lineAt(QPoint p) const {
    if (p.x() < kNames || p.y() >= rollHeight() || roll_.empty())
        return -1;
    const auto t = leftTime() + static_cast<std::int64_t>((p.x() - kNames) * centisPerPixel_);
    const int note = 127 - (p.y() + verticalScrollBar()->value()) / rowHeight_;
    return note < 0 ? -1 : roll_.lineOfNoteAt(t, note);
}

void PianoRollCanvas::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    const int width = viewport()->width();
    const int rollH = rollHeight();
    const int scrollY = verticalScrollBar()->value();
    p.fillRect(viewport()->rect(), QColor(250, 250, 250));

    // Rows, the black keys shaded and every C marked.
    const int firstRow = scrollY / rowHeight_;
    const int lastRow = std::min(127, (scrollY + rollH) / rowHeight_);
    for (int row = firstRow; row <= lastRow; ++row) {
        const int note = 127 - row;
        const int y = row * rowHeight_ - scrollY;
        if (blackKey(note))
            p.fillRect(kNames, y, width - kNames, rowHeight_, QColor(236, 236, 240));
        if (note % 12 == 0)
            p.fillRect(kNames, y + rowHeight_ - 1, width - kNames, 1, QColor(200, 200, 210));
    }

    // A grid of seconds, coarser when seconds come too close together.
    const std::int64_t t0 = leftTime();
    const auto t1 = t0 + static_cast<std::int64_t>(rollWidth() * centisPerPixel_) + 1;
    static const int kSteps[] = {1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 1800, 3600};
    int step = kSteps[0];
    for (int s : kSteps) {
        step = s;
        if (s * 100 / centisPerPixel_ >= 50)
            break;
    }
    const std::int64_t stepC = static_cast<std::int64_t>(step) * 100;
    const std::int64_t rel0 = t0 - roll_.firstTime();
    p.setPen(QColor(120, 120, 130));
    for (std::int64_t rel = (rel0 / stepC) * stepC; rel <= t1 - roll_.firstTime(); rel += stepC) {
        const int x = static_cast<int>(std::lround(xOf(roll_.firstTime() + rel)));
        if (x < kNames)
            continue;
        p.fillRect(x, 0, 1, rollH, QColor(215, 215, 225));
        p.drawText(x + 2, rollH + kRuler - 4, timeLabel(rel));
    }

    // Notes. Where several fall on the same pixels of a row only the first is drawn, so a whole
    // hour costs no more than the pixels it covers.
    p.setClipRect(kNames, 0, width - kNames, rollH);
    std::array<int, 128> drawnTo;
    drawnTo.fill(INT_MIN);
    int selectedNote = -1;
    roll_.forEachNoteIn(t0, t1, [&](int i) {
        const PianoRoll::Note& n = roll_.notes()[static_cast<std::size_t>(i)];
        if (n.line == selected_)
            selectedNote = i;
        const int y = (127 - n.note) * rowHeight_ - scrollY;
        if (y + rowHeight_ < 0 || y > rollH)
            return;
        const int x0 = static_cast<int>(std::floor(xOf(n.start)));
        const int x1 = std::max(x0 + 2, static_cast<int>(std::ceil(xOf(roll_.endOf(n)))));
        int& done = drawnTo[n.note];
        if (x1 <= done)
            return;
        const int from = std::max(x0, done);
        p.fillRect(from, y + 1, x1 - from, std::max(1, rowHeight_ - 1), channelColour(n.channel));
        done = x1;
    });
    if (selectedNote >= 0) {
        const PianoRoll::Note& n = roll_.notes()[static_cast<std::size_t>(selectedNote)];
        const int y = (127 - n.note) * rowHeight_ - scrollY;
        const int x0 = static_cast<int>(xOf(n.start));
        const int x1 = std::max(x0 + 2, static_cast<int>(xOf(roll_.endOf(n))));
        p.setPen(QPen(Qt::black, 2));
        p.drawRect(x0, y, x1 - x0, rowHeight_);
    }

    // Bends: a thin line a channel, the middle at the middle of the lane.
    const int laneTop = rollH + kRuler;
    p.setClipRect(kNames, laneTop, width - kNames, kBendLane);
    p.fillRect(kNames, laneTop + kBendLane / 2, width - kNames, 1, QColor(220, 220, 228));
    std::array<QPoint, 16> last;
    std::array<bool, 16> seen{};
    const auto& bends = roll_.bends();
    std::size_t b = roll_.firstBendFrom(t0);
    b = b > 0 ? b - 1 : 0;
    for (; b < bends.size() && bends[b].time <= t1; ++b) {
        const PianoRoll::Bend& bend = bends[b];
        const QPoint at(static_cast<int>(std::max(xOf(bend.time), double(kNames - 1))),
                        laneTop + kBendLane - 2 - bend.value * (kBendLane - 4) / 16383);
        QPoint& from = last[bend.channel];
        if (seen[bend.channel] && at == from)
            continue;
        p.setPen(channelColour(bend.channel).darker(140));
        if (seen[bend.channel]) {
            p.drawLine(from, QPoint(at.x(), from.y()));
            p.drawLine(QPoint(at.x(), from.y()), at);
        }
        from = at;
        seen[bend.channel] = true;
    }
    for (int c = 0; c < 16; ++c) {
        if (!seen[c])
            continue;
        p.setPen(channelColour(c).darker(140));
        p.drawLine(last[c], QPoint(static_cast<int>(std::min(xOf(roll_.lastTime()), double(width))),
                                   last[c].y()));
    }

    // The names of the notes, over everything at the left.
    p.setClipping(false);
    p.fillRect(0, 0, kNames, viewport()->height(), QColor(242, 242, 246));
    p.setPen(QColor(60, 60, 70));
    for (int row = firstRow; row <= lastRow; ++row) {
        const int note = 127 - row;
        if (note % 12 != 0 && rowHeight_ < 12)
            continue;
        const int y = row * rowHeight_ - scrollY;
        p.drawText(QRect(2, y - 6, kNames - 4, rowHeight_ + 12), Qt::AlignVCenter | Qt::AlignLeft,
                   QString("%1%2").arg(kNoteNames[note % 12]).arg(note / 12 - 1));
    }
    p.drawText(QRect(2, laneTop, kNames - 4, kBendLane), Qt::AlignVCenter | Qt::AlignLeft, "Bend");
}

void PianoRollCanvas::wheelEvent(QWheelEvent* event) {
    const double steps = event->angleDelta().y() / 120.0;
    if (steps == 0)
        return;
    if (event->modifiers() & Qt::ControlModifier) {
        setRowHeight(rowHeight_ + (steps > 0 ? 1 : -1) * std::max(1, rowHeight_ / 4));
    } else if (event->modifiers() & Qt::ShiftModifier) {
        QScrollBar* bar = horizontalScrollBar();
        bar->setValue(bar->value() - static_cast<int>(steps * bar->singleStep()));
    } else {
        const int anchor = std::max(0, static_cast<int>(event->position().x()) - kNames);
        setCentisPerPixel(centisPerPixel_ * std::pow(1.25, -steps), anchor);
    }
    event->accept();
}

void PianoRollCanvas::mousePressEvent(QMouseEvent* event) {
    const int line = lineAt(event->position().toPoint());
    if (line < 0)
        return;
    selected_ = line;
    viewport()->update();
    emit noteClicked(line);
}

void PianoRollCanvas::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void PianoRollCanvas::scrollContentsBy(int, int) {
    viewport()->update();
}

// ---- the window -----------------------------------------------------------------------------

PianoRollWindow::PianoRollWindow(QPlainTextEdit* log, const QString& caption, QWidget* parent)
    : QWidget(parent, Qt::Window), log_(log) {
    setObjectName("PianoRollWindow");
    setWindowTitle("Piano Roll - " + caption);
    resize(760, 520);
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    follow_ = new QCheckBox("Follow the end", this);
    follow_->setObjectName("PianoRollFollow");
    follow_->setChecked(true);
    follow_->setToolTip("Keep the newest notes in view while lines are added to the log");
    auto* fit = new QPushButton("Show All", this);
    fit->setObjectName("PianoRollShowAll");
    fit->setAutoDefault(false);
    status_ = new QLabel(this);
    status_->setObjectName("PianoRollStatus");
    top->addWidget(follow_);
    top->addWidget(fit);
    top->addStretch(1);
    top->addWidget(status_);
    layout->addLayout(top);
    canvas_ = new PianoRollCanvas(roll_, this);
    layout->addWidget(canvas_, 1);
    auto* help = new QLabel("Wheel: zoom the time. Ctrl+wheel: zoom the notes. Shift+wheel: "
                            "scroll. Click a note to select its line in the log.",
                            this);
    help->setWordWrap(true);
    layout->addWidget(help);

    connect(fit, &QPushButton::clicked, this, [this] {
        follow_->setChecked(false);
        canvas_->fitAll();
    });
    connect(canvas_, &PianoRollCanvas::noteClicked, this, &PianoRollWindow::selectLine);
    connect(log_->document(), &QTextDocument::contentsChange, this, &PianoRollWindow::logChanged);
    // Changes are read at most ten times a second, however fast lines come.
    changes_.setSingleShot(true);
    changes_.setInterval(100);
    connect(&changes_, &QTimer::timeout, this, &PianoRollWindow::readChanges);
}

void PianoRollWindow::open() {
    // Shown first, so that the opening zoom fits the window's width.
    show();
    rebuild();
    raise();
    activateWindow();
}

void PianoRollWindow::rebuild() {
    roll_.clear();
    readEnd_ = 0;
    edited_ = false;
    readFrom(0);
    // About ten seconds across to start with, the notes played in the middle.
    canvas_->setCentisPerPixel(1000.0 / std::max(1, canvas_->viewport()->width() - kNames), 0);
    canvas_->rollChanged(follow_->isChecked());
    if (!roll_.notes().empty()) {
        const int middle = 127 - (roll_.lowestNote() + roll_.highestNote()) / 2;
        canvas_->verticalScrollBar()->setValue(middle * canvas_->rowHeight() -
                                               canvas_->viewport()->height() / 2);
    }
}

void PianoRollWindow::readFrom(int line) {
    const QTextDocument* doc = log_->document();
    std::string bytes;
    const auto read = [&](const QChar* text, qsizetype size) {
        bytes.resize(static_cast<std::size_t>(size));
        for (qsizetype i = 0; i < size; ++i) {
            const char16_t c = text[i].unicode();
            bytes[static_cast<std::size_t>(i)] = c < 256 ? static_cast<char>(c) : '?';
        }
        roll_.appendLine(bytes);
    };
    if (line == 0) {
        // The whole text at once, lines split at the block separators: a tenth of the time of
        // going block by block through a long log.
        const QString raw = doc->toRawText();
        qsizetype start = 0;
        for (qsizetype i = 0; i < raw.size(); ++i) {
            if (raw[i] == QChar::ParagraphSeparator) {
                read(raw.constData() + start, i - start);
                readEnd_ = static_cast<int>(i);
                start = i + 1;
            }
        }
        // An empty block after the last line end is no line.
        if (start < raw.size()) {
            read(raw.constData() + start, raw.size() - start);
            readEnd_ = static_cast<int>(raw.size());
        }
    } else {
        QTextBlock lastRead;
        for (QTextBlock block = doc->findBlockByNumber(line); block.isValid();
             block = block.next()) {
            if (!block.next().isValid() && block.length() <= 1)
                break;
            const QString text = block.text();
            read(text.constData(), text.size());
            lastRead = block;
        }
        if (lastRead.isValid())
            readEnd_ = lastRead.position() + lastRead.length() - 1;
    }
    status_->setText(QString("%1 notes, %2 lines").arg(roll_.notes().size()).arg(roll_.lines()) +
                     (roll_.unread() ? QString(", %1 not read").arg(roll_.unread()) : QString()));
}

void PianoRollWindow::logChanged(int position, int removed, int added) {
    // Lines added after the last line read are read on; anything else reads the log again.
    const bool appended =
        removed == 0 && (position > readEnd_ ||
                         (position == readEnd_ && added > 0 &&
                          log_->document()->characterAt(position) == QChar::ParagraphSeparator));
    if (!appended)
        edited_ = true;
    if (isVisible() && !changes_.isActive())
        changes_.start();
}

void PianoRollWindow::readChanges() {
    if (edited_) {
        const std::int64_t left = canvas_->leftTime();
        rebuild();
        if (!follow_->isChecked())
            canvas_->setLeftTime(left);
        return;
    }
    readFrom(roll_.lines());
    canvas_->rollChanged(follow_->isChecked());
}

void PianoRollWindow::selectLine(int line) {
    QTextCursor cursor(log_->document()->findBlockByNumber(line));
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    log_->setTextCursor(cursor);
    log_->ensureCursorVisible();
}

} // namespace fw
