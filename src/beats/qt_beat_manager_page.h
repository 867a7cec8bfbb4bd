#pragma once

#include "beats/beat_files.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QWidget>

#include <array>
#include <string>

namespace fw {

class Engine;
class NotePreview;
class Prompts;
class Random;

// The "Beat Manager" tab: the 25 note rows "A".."Y", the seven pattern lines that "Apply" turns
// into the accompaniment beat line, the random beat generators, the beat files and the beat
// channel's instrument list.
class BeatManagerPage : public QWidget {
    Q_OBJECT
public:
    BeatManagerPage(Engine& engine, Prompts& prompts, Random& random, QWidget* parent = nullptr);
    // The beat channel's instrument chosen at the start (the list's row).
    static constexpr int kFirstInstrument = 0;

    // Handlers, named after their controls.
    void Button80Click();
    void Button100Click() { generateBeat(4); }
    void Button98Click() { generateBeat(8); }
    void Button93Click() { generateBeat(16); }
    void Button99Click() { generateBeat(32); }
    // Sends and logs the program change of the selected instrument on the beat channel.
    void ListBox5Click();
    void BeatSaveClick();
    void BeatLoadClick();

    // Replaces the beat line with a random beat of that many steps.
    void generateBeat(int steps);
    // Sounds row `row`'s note (0 = "A") for about a second, unlogged.
    void previewRow(int row);
    // What the page holds, and putting a loaded pattern in place.
    BeatPattern pattern() const;
    void showPattern(const BeatPattern& pattern);
    bool saveBeatFile(const std::string& path);
    bool loadBeatFile(const std::string& path);

    NotePreview& preview() { return *preview_; }

    std::array<QComboBox*, kBeatRows> rowBoxes{};         // ComboBox11..ComboBox35
    std::array<QPushButton*, kBeatRows> previewButtons{}; // the "<((" of each row
    std::array<QLineEdit*, kBeatVoices> patternEdits{};   // Edit10..Edit16
    QGroupBox* BeatPatternSegment = nullptr;
    QPushButton* Button80 = nullptr;  // "Apply"
    QPushButton* Button100 = nullptr; // "Generate 4 Beat"
    QPushButton* Button98 = nullptr;  // "Generate 8 Beat"
    QPushButton* Button93 = nullptr;  // "Generate 16 Beat"
    QPushButton* Button99 = nullptr;  // "Generate 32 Beat"
    QPushButton* BeatSaveButton = nullptr;
    QPushButton* BeatLoadButton = nullptr;
    QListWidget* ListBox5 = nullptr;

private:
    QWidget* buildRows();
    QWidget* buildPattern();

    Engine& engine_;
    Prompts& prompts_;
    Random& random_;
    NotePreview* preview_;
};

} // namespace fw
