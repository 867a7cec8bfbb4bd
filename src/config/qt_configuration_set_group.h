#pragma once

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

#include <functional>
#include <string>

namespace fw {

class Prompts;
struct ConfigurationSet;

// The loaders a configuration set runs, in this order. Each takes a file name, tells the user why
// it failed and then leaves its memory and view as they were.
struct ConfigurationSetLoaders {
    std::function<bool(const std::string&)> chords;
    std::function<bool(const std::string&)> picks;
    // Shows the joystick file dialog with the name preselected; loads only when confirmed.
    std::function<bool(const std::string&)> joystick;
    // Loads a beat file into the "Beat Manager" tab and applies it; run before the joystick
    // step, and only for a set that names a beat.
    std::function<bool(const std::string&)> beat;
};

// The "Configuration Set" group of the "Config" tab: the file names (chords, picks, joystick and,
// when one is chosen, a beat), their "Browse" buttons, and the *.cset file that keeps the names
// and brings the files back.
class ConfigurationSetGroup : public QGroupBox {
    Q_OBJECT
public:
    ConfigurationSetGroup(Prompts& prompts, ConfigurationSetLoaders loaders,
                          QWidget* parent = nullptr);

    void Button101Click();  // "Browse" for the chord set
    void Button102Click();  // "Browse" for the pick set
    void Button103Click();  // "Browse" for the joystick configuration
    void BrowseBeatClick(); // "Browse" for the beat
    void Button104Click();  // "Save *.cset"
    void Button105Click();  // "Load *.cset"

    QLineEdit* Edit19 = nullptr;   // "Chords"
    QLineEdit* Edit20 = nullptr;   // "Picks"
    QLineEdit* Edit21 = nullptr;   // "Joystick"
    QLineEdit* BeatFile = nullptr; // "Beat": empty unless chosen or named by a loaded set
    QPushButton* Button101 = nullptr;
    QPushButton* Button102 = nullptr;
    QPushButton* Button103 = nullptr;
    QPushButton* BrowseBeat = nullptr;
    QPushButton* Button104 = nullptr;
    QPushButton* Button105 = nullptr;

    // Shows the names of a set (one loaded another way, as the starter set).
    void showNames(const ConfigurationSet& set);
    // Puts a widget beside "Save *.cset" and "Load *.cset".
    void addToButtonRow(QWidget* widget);

private:
    ConfigurationSet names() const;

    Prompts& prompts_;
    ConfigurationSetLoaders loaders_;
    QHBoxLayout* files_ = nullptr;
};

} // namespace fw
