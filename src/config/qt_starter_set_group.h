#pragma once

#include <QLabel>
#include <QPushButton>

#include <functional>
#include <optional>
#include <string>

namespace fw {

class Prompts;
struct WholeSet;

// "Load Starter Set" on the "Config" tab: one button that loads the set shipped with the
// program, so that a new player has chords, picks and a beat at once. No file dialog: the set's
// joystick line is empty and the controller keeps the mapping that fits it.
class StarterSetGroup : public QWidget {
    Q_OBJECT
public:
    // `place` puts a set that was read whole in place; `starterSet` is the set's file, nothing
    // when the program could not find it.
    StarterSetGroup(Prompts& prompts, std::optional<std::string> starterSet,
                    std::function<void(const WholeSet&)> place, QWidget* parent = nullptr);

    // "Load Starter Set": reads every file first and changes nothing unless all are good.
    bool LoadStarterSetClick();

    QPushButton* LoadStarterSetButton = nullptr;
    QLabel* StarterSetNote = nullptr;

private:
    Prompts& prompts_;
    std::optional<std::string> starterSet_;
    std::function<void(const WholeSet&)> place_;
};

// The starter set as installed beside the running program, or in the source tree.
std::optional<std::string> installedStarterSet();

} // namespace fw
