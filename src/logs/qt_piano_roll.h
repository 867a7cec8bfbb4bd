#pragma once

#include "logs/piano_roll.h"

#include <QAbstractScrollArea>
#include <QCheckBox>
#include <QLabel>
#include <QTimer>
#include <QWidget>

class QPlainTextEdit;

namespace fw {

// The drawing of a piano roll: time across, notes up with their names at the side, each
// channel in its own colour, bends as thin lines in a lane below, a grid of seconds. The wheel
// zooms the time around the pointer, Ctrl+wheel the notes, Shift+wheel scrolls.
class PianoRollCanvas : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit PianoRollCanvas(const PianoRoll& roll, QWidget* parent = nullptr);
    // After the roll changed: the scroll ranges follow; with toEnd the end of the log is shown.
    void rollChanged(bool toEnd);
    void fitAll();
    // Centiseconds per pixel, and the height of a note's row.
    double centisPerPixel() const { return centisPerPixel_; }
    void setCentisPerPixel(double value, int anchorX);
    int rowHeight() const { return rowHeight_; }
    void setRowHeight(int pixels);
    // The time at the left edge.
    std::int64_t leftTime() const;
    void setLeftTime(std::int64_t t);
    // The note drawn at a point of the viewport, as its line; -1 where there is none.
    int lineAt(QPoint p) const;
    int selectedLine() const { return selected_; }

signals:
    void noteClicked(int line);

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    int rollWidth() const;
    int rollHeight() const;
    int topNote() const;
    double xOf(std::int64_t t) const;
    void updateScrollBars();

    const PianoRoll& roll_;
    double centisPerPixel_ = 0.5;
    int rowHeight_ = 8;
    int selected_ = -1;
};

// The "Piano Roll" window of one log. It reads the log when opened and follows it while lines
// are appended (the play log while a take is recorded); a click on a note selects its line in
// the log.
class PianoRollWindow : public QWidget {
    Q_OBJECT
public:
    PianoRollWindow(QPlainTextEdit* log, const QString& caption, QWidget* parent = nullptr);
    // Reads the whole log again and shows the window.
    void open();
    const PianoRoll& roll() const { return roll_; }
    PianoRollCanvas* canvas() const { return canvas_; }
    QCheckBox* followBox() const { return follow_; }
    // Reads what changed in the log since the last reading; appended lines only, unless the log
    // was edited elsewhere.
    void readChanges();

private:
    void rebuild();
    void readFrom(int line);
    void logChanged(int position, int removed, int added);
    void selectLine(int line);

    QPlainTextEdit* log_;
    PianoRoll roll_;
    PianoRollCanvas* canvas_ = nullptr;
    QCheckBox* follow_ = nullptr;
    QLabel* status_ = nullptr;
    QTimer changes_;
    bool edited_ = false; // more than appended lines changed
    int readEnd_ = 0;     // the document position after the last line read
};

} // namespace fw
