#pragma once

#include "picks/pick_sets.h"
#include "ui/qt_widgets.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QObject>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>

#include <array>
#include <string>
#include <vector>

namespace fw {

class Engine;
class Prompts;

// The pick editor ("Builder" > "Picking Sequences") and the pick memory view ("Memory State" >
// "Pick Definitions") with the set buttons and pick set files that join them.
class PickSetPages : public QObject {
    Q_OBJECT
public:
    PickSetPages(Engine& engine, Prompts& prompts, QObject* parent = nullptr);

    // The two pages; each is built once, into the given tab widget. Until the sequences page is
    // made, its sequences are kept as texts.
    QWidget* buildSequencesPage(QWidget* parent);
    QWidget* buildDefinitionsPage(QWidget* parent);
    // The controls of the sequences page, made with the page given when it is first shown.
    void deferSequencesPage(DeferredPage* page);

    // Handlers, named after their controls.
    void Button47Click() { savePickSet(1); }
    void Button48Click() { savePickSet(2); }
    void Button49Click() { savePickSet(3); }
    void Button50Click() { savePickSet(4); }
    void Button45Click();
    void Button46Click();

    // Stores the editor's eight sequences as pick set `set` (1..4) and shows the memory.
    void savePickSet(int set);
    // Rewrites PickMemo from the pick memory: 32 lines, one per entry.
    void showPickMemory();
    // Loads a *.picks file into the memory and the view. A file that cannot be read changes
    // neither and is reported; returns whether it loaded.
    bool loadPickSetFile(const std::string& path);
    // Puts a pick set file that was read and checked in place: the memory and the file's lines.
    void replacePickSet(PickSetFile file);

    // The box of sequence n (1..8) and channel c (1..7).
    QLineEdit* sequenceEdit(int n, int channel) const;
    // The texts of sequence n's seven boxes, channel 1 first.
    PickChannels channelTexts(int n) const;
    // Writes the seven boxes of sequence n, channel 1 first.
    void setChannelTexts(int n, const PickChannels& texts);
    // What PickMemo shows, byte for byte; this is what "SavePick Set" writes.
    const std::vector<std::string>& memoLines() const { return memoLines_; }

    // The fourteen boxes of each page "Pick 1".."Pick 4": [page][0..6] the normal sequence,
    // [page][7..13] the altered one.
    std::array<std::array<Deferred<QLineEdit>, 14>, 5> pickEdits{};
    Deferred<QTabWidget> PickPages;
    Deferred<QGroupBox> SavePickDefinitions;
    std::array<Deferred<QPushButton>, 5> setButtons{}; // Button47..Button50 as 1..4
    Deferred<QPushButton> Button76;                    // "Picking Style File Manager"
    // On the "Pick Definitions" page, which may be made later than the others.
    Deferred<QPlainTextEdit> PickMemo;
    Deferred<QPushButton> Button45; // "Load Pick Set"
    Deferred<QPushButton> Button46; // "SavePick Set"

private:
    // The handle of sequence n's box of channel c; nullptr out of range.
    const Deferred<QLineEdit>* edit(int n, int channel) const;
    void setMemoLines(std::vector<std::string> lines);
    // Puts memoLines_ in PickMemo, once it is made.
    void showMemoLines();

    Engine& engine_;
    Prompts& prompts_;
    std::vector<std::string> memoLines_;
    // The sequences, while their page is not made: [1..8], channel 1 first.
    std::array<PickChannels, kPickSequences + 1> unbuiltTexts_{};
};

} // namespace fw
