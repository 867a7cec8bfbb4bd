#pragma once

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>

#include <functional>
#include <optional>
#include <string>

namespace fw {

class FluidSynthPort;
class Prompts;
class Settings;

// The "Sound" group of the "Config" tab: the SoundFont and volume of the built-in synthesizer,
// its sound system (JACK audio or the sound server), and the strum spread. Every choice is kept
// in the settings and taken up again at the next start.
class SoundGroup : public QGroupBox {
    Q_OBJECT
public:
    struct Hooks {
        // The built-in synthesizer; none where there is no such output (tests).
        std::function<FluidSynthPort*()> synth;
        // Sets the spread of a strum, in milliseconds.
        std::function<void(int)> setStrumSpread;
        // Told the SoundFont that plays from now on (WAV renders use it too).
        std::function<void(const std::string&)> soundFontInUse = {};
    };

    SoundGroup(Settings& settings, Prompts& prompts, Hooks hooks, QWidget* parent = nullptr);

    // Takes up the choices kept in the settings.
    void restore();
    // A spread that suits what is about to play, taken only while the player has never chosen
    // one; it is not kept in the settings, since the player did not choose it. True when taken.
    bool offerStrumSpread(int ms);

    void ChooseSoundFontClick();
    void DefaultSoundFontClick();

    QLabel* SoundFontName = nullptr;
    QPushButton* ChooseSoundFont = nullptr;  // "Choose SoundFont..."
    QPushButton* DefaultSoundFont = nullptr; // "Default SoundFont"
    QSlider* SynthVolume = nullptr;          // master volume, 0..100 %
    QSpinBox* StrumSpread = nullptr;         // "Strum Spread", 0..50 ms
    QCheckBox* JackAudio = nullptr;          // "JACK audio"
    QLabel* SoundNote = nullptr;             // what did not go as chosen

signals:
    // A SoundFont change has finished, well or not.
    void soundFontSettled();

private:
    void useSoundFont(const std::string& path, bool remembered);
    void showSoundFont(const std::string& path);
    // What the synthesizer told of itself: a server gone or back, a SoundFont replaced.
    void soundChanged(const std::string& text);
    void chooseAudioSystem(bool jack);
    void note(const QString& text);

    Settings& settings_;
    Prompts& prompts_;
    Hooks hooks_;
    std::string shownSoundFont_;
};

} // namespace fw
