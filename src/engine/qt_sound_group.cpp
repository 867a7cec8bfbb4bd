#include "engine/qt_sound_group.h"

#include "engine/prompts.h"
#include "engine/sound_settings.h"
#include "platform/fluidsynth/fluid_synth_port.h"
#include "ui/qt_widgets.h"

#include <QGridLayout>
#include <QPointer>

#include <filesystem>

namespace fw {

namespace {
constexpr const char* kSoundFontKey = kSoundFontSetting;
constexpr const char* kVolumeKey = kSynthVolumeSetting;
constexpr const char* kStrumKey = kStrumSpreadSetting;
constexpr const char* kAudioKey = kSynthAudioSetting;
constexpr int kMaxSpread = 50;

QString fileNameOf(const std::string& path) {
    return QString::fromStdString(std::filesystem::path(path).filename().string());
}
} // namespace

SoundGroup::SoundGroup(Settings& settings, Prompts& prompts, Hooks hooks, QWidget* parent)
    : QGroupBox("Sound", parent), settings_(settings), prompts_(prompts), hooks_(std::move(hooks)) {
    setObjectName("SoundGroup");
    // Compact, to stand beside the output list: four short rows.
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel("SoundFont:", this), 0, 0);
    SoundFontName = new QLabel(this);
    SoundFontName->setObjectName("SoundFontName");
    grid->addWidget(SoundFontName, 0, 1, 1, 2);
    ChooseSoundFont = new QPushButton("Choose SoundFont...", this);
    ChooseSoundFont->setObjectName("ChooseSoundFont");
    grid->addWidget(ChooseSoundFont, 1, 0, 1, 2);
    DefaultSoundFont = new QPushButton("Default SoundFont", this);
    DefaultSoundFont->setObjectName("DefaultSoundFont");
    grid->addWidget(DefaultSoundFont, 1, 2);
    grid->addWidget(new QLabel("Volume", this), 2, 0);
    SynthVolume = new QSlider(Qt::Horizontal, this);
    SynthVolume->setObjectName("SynthVolume");
    SynthVolume->setRange(0, 100);
    SynthVolume->setValue(100);
    grid->addWidget(SynthVolume, 2, 1, 1, 2);
    grid->addWidget(new QLabel("Strum Spread", this), 3, 0);
    StrumSpread = new QSpinBox(this);
    StrumSpread->setObjectName("StrumSpread");
    StrumSpread->setRange(0, kMaxSpread);
    StrumSpread->setSuffix(" ms");
    grid->addWidget(StrumSpread, 3, 1);
    JackAudio = new QCheckBox("JACK audio", this);
    JackAudio->setObjectName("JackAudio");
    JackAudio->setToolTip("Play the built-in synthesizer through a running JACK server instead "
                          "of the sound server.");
    grid->addWidget(JackAudio, 3, 2);
    SoundNote = new QLabel(this);
    SoundNote->setObjectName("SoundNote");
    SoundNote->setWordWrap(true);
    SoundNote->hide();
    grid->addWidget(SoundNote, 4, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    showSoundFont(FW_DEFAULT_SOUNDFONT);

    if (FluidSynthPort* synth = hooks_.synth()) {
        QPointer<SoundGroup> self(this);
        synth->setNotice([self](const std::string& text) {
            QMetaObject::invokeMethod(
                self.data(),
                [self, text] {
                    if (self)
                        self->soundChanged(text);
                },
                Qt::QueuedConnection);
        });
    }

    connect(ChooseSoundFont, &QPushButton::clicked, this, &SoundGroup::ChooseSoundFontClick);
    connect(DefaultSoundFont, &QPushButton::clicked, this, &SoundGroup::DefaultSoundFontClick);
    connect(SynthVolume, &QSlider::valueChanged, this, [this](int percent) {
        if (FluidSynthPort* synth = hooks_.synth())
            synth->setVolume(percent);
        settings_.setValue(kVolumeKey, std::to_string(percent));
    });
    connect(StrumSpread, &QSpinBox::valueChanged, this, [this](int ms) {
        hooks_.setStrumSpread(ms);
        settings_.setValue(kStrumKey, std::to_string(ms));
    });
    connect(JackAudio, &QCheckBox::clicked, this, [this](bool on) {
        settings_.setValue(kAudioKey, on ? std::optional<std::string>("jack") : std::nullopt);
        chooseAudioSystem(on);
    });
}

void SoundGroup::restore() {
    if (auto percent = settingInRange(settings_, kVolumeKey, 0, 100)) {
        mirrorValue(SynthVolume, *percent);
        if (FluidSynthPort* synth = hooks_.synth())
            synth->setVolume(*percent);
    }
    if (auto ms = settingInRange(settings_, kStrumKey, 0, kMaxSpread)) {
        mirrorValue(StrumSpread, *ms);
        hooks_.setStrumSpread(*ms);
    }
    if (settings_.value(kAudioKey) == std::optional<std::string>("jack")) {
        mirrorChecked(JackAudio, true);
        chooseAudioSystem(true);
    }
    if (auto path = settings_.value(kSoundFontKey))
        useSoundFont(*path, true);
}

bool SoundGroup::offerStrumSpread(int ms) {
    if (settings_.value(kStrumKey) || ms < 0 || ms > kMaxSpread)
        return false;
    mirrorValue(StrumSpread, ms);
    hooks_.setStrumSpread(ms);
    return true;
}

void SoundGroup::ChooseSoundFontClick() {
    const auto path =
        prompts_.openFileName({"Choose SoundFont", "SoundFont|*.sf2;*.sf3|All files|*", "sf2"});
    if (path)
        useSoundFont(*path, false);
}

void SoundGroup::DefaultSoundFontClick() {
    useSoundFont(FW_DEFAULT_SOUNDFONT, false);
}

void SoundGroup::useSoundFont(const std::string& path, bool remembered) {
    // A file that cannot serve is refused at once; the rest of the loading is the port's.
    if (auto problem = soundFontProblem(path)) {
        if (remembered)
            note(QString::fromStdString(*problem + " The default SoundFont plays."));
        else
            prompts_.showMessage(*problem);
        emit soundFontSettled();
        return;
    }
    FluidSynthPort* synth = hooks_.synth();
    const auto finish = [this, path, remembered](const std::optional<std::string>& error) {
        if (error) {
            if (remembered)
                note(QString::fromStdString(*error + " The default SoundFont plays."));
            else
                prompts_.showMessage(*error);
        } else {
            showSoundFont(path);
            if (hooks_.soundFontInUse)
                hooks_.soundFontInUse(path);
            const bool isDefault = path == FW_DEFAULT_SOUNDFONT;
            settings_.setValue(kSoundFontKey,
                               isDefault ? std::nullopt : std::optional<std::string>(path));
        }
        emit soundFontSettled();
    };
    if (!synth) {
        finish(std::nullopt);
        return;
    }
    ChooseSoundFont->setEnabled(false);
    DefaultSoundFont->setEnabled(false);
    QPointer<SoundGroup> self(this);
    synth->setSoundFont(path, [self, finish](std::optional<std::string> error) {
        // Told on the synthesizer's worker: the answer goes back to the window thread.
        QMetaObject::invokeMethod(
            self.data(),
            [self, finish, error] {
                if (!self)
                    return;
                self->ChooseSoundFont->setEnabled(true);
                self->DefaultSoundFont->setEnabled(true);
                finish(error);
            },
            Qt::QueuedConnection);
    });
}

void SoundGroup::soundChanged(const std::string& text) {
    note(QString::fromStdString(text));
    FluidSynthPort* synth = hooks_.synth();
    if (!synth)
        return;
    // The default SoundFont stands in for one that can no longer be read; the choice kept in
    // the settings stays, for the file may come back.
    const std::string playing = synth->soundFont();
    if (playing != shownSoundFont_) {
        showSoundFont(playing);
        if (hooks_.soundFontInUse)
            hooks_.soundFontInUse(playing);
    }
}

void SoundGroup::showSoundFont(const std::string& path) {
    shownSoundFont_ = path;
    SoundFontName->setText(fileNameOf(path));
    SoundFontName->setToolTip(QString::fromStdString(path));
}

void SoundGroup::chooseAudioSystem(bool jack) {
    note({});
    FluidSynthPort* synth = hooks_.synth();
    if (!synth)
        return;
    QPointer<SoundGroup> self(this);
    synth->setAudioSystem(jack ? FluidSynthPort::AudioSystem::Jack
                               : FluidSynthPort::AudioSystem::SoundServer,
                          [self](std::optional<std::string> problem) {
                              QMetaObject::invokeMethod(
                                  self.data(),
                                  [self, problem] {
                                      if (self)
                                          self->note(QString::fromStdString(problem.value_or("")));
                                  },
                                  Qt::QueuedConnection);
                          });
}

void SoundGroup::note(const QString& text) {
    SoundNote->setText(text);
    SoundNote->setVisible(!text.isEmpty());
}

} // namespace fw
