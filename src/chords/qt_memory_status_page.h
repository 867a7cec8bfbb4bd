#pragma once

#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

namespace fw {

class Engine;

// "Memory State" > "Memory Status": which of the sixteen chords and thirty-two picking sequences
// hold something. A snapshot, drawn when the page is made and on "Refresh" only.
class MemoryStatusPage : public QWidget {
    Q_OBJECT
public:
    explicit MemoryStatusPage(Engine& engine, QWidget* parent = nullptr);

    // "Refresh": redraws the chord grid and the pick picture from the memories.
    void Button51Click();
    // The pick picture as drawn, pixel for pixel.
    const QImage& pickImage() const { return image_; }

    QLabel* Label47 = nullptr; // the chord grid
    // Beside each row of the grid, its four chords' names as they sound at fret 1 (1..4).
    QLabel* chordNames[5] = {};
    QLabel* Image1 = nullptr; // the pick picture, 256 x 128
    QPushButton* Button51 = nullptr;

private:
    Engine& engine_;
    QImage image_;
};

} // namespace fw
