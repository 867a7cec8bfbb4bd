#pragma once

#include "chords/chord_sets.h"
#include "chords/qt_note_preview.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QWidget>

#include <array>
#include <optional>

namespace fw {

class Engine;
class Prompts;

// The "Chords" sub-tab of "Builder": a root note, ten string offsets with their previews, and
// the sixteen chord slots. It owns the chord memory's text view (ChordSets), which the "Chord
// Definitions" page shows.
class ChordBuilderPage : public QWidget {
    Q_OBJECT
public:
    ChordBuilderPage(Engine& engine, Prompts& prompts, QWidget* parent = nullptr);

    ChordSets& chordSets() { return chordSets_; }
    NotePreview& preview() { return preview_; }

    // Root note: the selected item of ListBox2, or the root "Edit an Existing Chord" showed
    // when the list does not hold it; nothing when there is neither.
    std::optional<int> root() const;
    // The root, -1 when there is none.
    int rootIndex() const;
    // Selects a root; a number that names no item (such as -1) leaves none selected and is kept
    // as the root until the player chooses one, so the slot buttons store that chord unchanged.
    void setRootIndex(int root);
    // The text of offset box k (1..10).
    std::array<std::string, 10> offsetTexts() const;
    void setOffsetText(int k, const QString& text);
    // Shows a chord: root selected and offsets written.
    void showChord(const BuilderChord& chord);

    // The preview buttons "<((" beside the boxes (Button83Click .. Button92Click).
    void previewString(int k);
    // The slot buttons "1-1" .. "4-4".
    void saveChordToSlot(int set, int chord);

    QListWidget* ListBox2 = nullptr;                          // "Chord Root"
    std::array<QComboBox*, 11> offsetBoxes{};                 // ComboBox1..ComboBox10 as 1..10
    std::array<QPushButton*, 11> previewButtons{};            // Button83..Button92 as 1..10
    QPushButton* Button75 = nullptr;                          // "Type"
    QPushButton* Button6 = nullptr;                           // "6 String"
    QPushButton* Button74 = nullptr;                          // "Edit an Existing Chord"
    QGroupBox* SaveChordGroup = nullptr;                      // "Save Chord (Set-Slot)"
    std::array<std::array<QPushButton*, 5>, 5> slotButtons{}; // [set 1..4][chord 1..4]
    QLabel* StoredChordName = nullptr; // the name of the chord a slot button stored last

protected:
    void showEvent(QShowEvent* event) override;

private:
    Engine& engine_;
    Prompts& prompts_;
    ChordSets chordSets_;
    NotePreview preview_;
    std::optional<int> unlistedRoot_;
};

// Object names of the slot buttons, [set][chord].
extern const std::array<std::array<const char*, 5>, 5> kChordSlotButtonNames;

} // namespace fw
