#pragma once

#include "toys/binary_counting.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

namespace fw {

class Engine;
class Random;
class RadioGroup;

// The "Music Toys" tab: the binary counting toy, played through the accompaniment.
class MusicToysPage : public QWidget {
    Q_OBJECT
public:
    MusicToysPage(Engine& engine, Random& random, QWidget* parent = nullptr);

    // Handlers, named after their controls.
    void Button96Click();
    void Button97Click();

    const BinaryCounting& counting() const { return counting_; }

    QGroupBox* BinaryCountingGroup = nullptr; // "Binary Counting 0-->255"
    QPushButton* Button96 = nullptr;          // "Detailed Binary Counting"
    QPushButton* Button97 = nullptr;          // "Stop"
    RadioGroup* RadioGroup4 = nullptr;        // "Beats/Cycle"
    RadioGroup* RadioGroup2 = nullptr;        // "Cycles/Digit"
    QLabel* Label83 = nullptr;

private:
    void showCounting();

    Engine& engine_;
    Random& random_;
    BinaryCounting counting_;
};

} // namespace fw
