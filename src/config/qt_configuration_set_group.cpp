#include "config/qt_configuration_set_group.h"

#include "beats/beat_files.h"
#include "chords/chord_sets.h"
#include "config/configuration_set.h"
#include "engine/prompts.h"
#include "input/joy_file.h"
#include "picks/pick_sets.h"
#include "ui/qt_widgets.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>

namespace fw {

namespace {
// File names travel as the file dialogs give them: in the local 8-bit encoding.
QString fromPath(const std::string& path) {
    return QString::fromLocal8Bit(path.data(), static_cast<qsizetype>(path.size()));
}
std::string toPath(const QLineEdit* edit) {
    return edit->text().toLocal8Bit().toStdString();
}

void browse(Prompts& prompts, const FileDialogSpec& dialog, QLineEdit* edit) {
    if (auto path = prompts.openFileName(dialog))
        edit->setText(fromPath(*path));
}
} // namespace

ConfigurationSetGroup::ConfigurationSetGroup(Prompts& prompts, ConfigurationSetLoaders loaders,
                                             QWidget* parent)
    : QGroupBox("Configuration Set", parent), prompts_(prompts), loaders_(std::move(loaders)) {
    setObjectName("ConfigurationSetGroup");
    auto* grid = new QGridLayout(this);
    grid->setVerticalSpacing(
        2); // the "Config" tab holds it below the MIDI output at the least size
    auto row = [&](int r, int column, int span, const char* caption, const char* editName,
                   const char* buttonName, QLineEdit*& edit, QPushButton*& button) {
        grid->addWidget(new QLabel(caption, this), r, column);
        edit = new QLineEdit(this);
        edit->setObjectName(editName);
        grid->addWidget(edit, r, column + 1, 1, span);
        button = makeButton(buttonName, "Browse", this);
        grid->addWidget(button, r, column + 1 + span);
    };
    row(0, 0, 4, "Chords", "Edit19", "Button101", Edit19, Button101);
    row(1, 0, 4, "Picks", "Edit20", "Button102", Edit20, Button102);
    row(2, 0, 4, "Joystick", "Edit21", "Button103", Edit21, Button103);
    row(3, 0, 4, "Beat", "BeatFile", "BrowseBeat", BeatFile, BrowseBeat);

    files_ = new QHBoxLayout;
    files_->setSpacing(grid->horizontalSpacing());
    Button104 = makeButton("Button104", "Save *.cset", this);
    Button105 = makeButton("Button105", "Load *.cset", this);
    files_->addWidget(Button104);
    files_->addWidget(Button105);
    files_->addStretch(1);
    grid->addLayout(files_, 4, 0, 1, 6);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(4, 1);

    connect(Button101, &QPushButton::clicked, this, &ConfigurationSetGroup::Button101Click);
    connect(Button102, &QPushButton::clicked, this, &ConfigurationSetGroup::Button102Click);
    connect(Button103, &QPushButton::clicked, this, &ConfigurationSetGroup::Button103Click);
    connect(BrowseBeat, &QPushButton::clicked, this, &ConfigurationSetGroup::BrowseBeatClick);
    connect(Button104, &QPushButton::clicked, this, &ConfigurationSetGroup::Button104Click);
    connect(Button105, &QPushButton::clicked, this, &ConfigurationSetGroup::Button105Click);
}

void ConfigurationSetGroup::Button101Click() {
    browse(prompts_, kLoadChordSetDialog, Edit19);
}

void ConfigurationSetGroup::Button102Click() {
    browse(prompts_, kLoadPickSetDialog, Edit20);
}

void ConfigurationSetGroup::Button103Click() {
    browse(prompts_, kLoadJoyConfigDialog, Edit21);
}

void ConfigurationSetGroup::BrowseBeatClick() {
    static const FileDialogSpec dialog{"Load Beat", kBeatFileFilter, kBeatFileExt};
    browse(prompts_, dialog, BeatFile);
}

void ConfigurationSetGroup::addToButtonRow(QWidget* widget) {
    files_->insertWidget(files_->count() - 1, widget);
}

void ConfigurationSetGroup::Button104Click() {
    if (auto path = prompts_.saveFileName(kSaveConfigurationSetDialog)) {
        if (auto error = writeConfigurationSetFile(*path, names()))
            prompts_.showMessage(*error);
    }
}

void ConfigurationSetGroup::Button105Click() {
    const auto path = prompts_.openFileName(kLoadConfigurationSetDialog);
    if (!path)
        return;
    const ConfigurationSetParse read = readConfigurationSetFile(*path);
    if (!read.set) {
        prompts_.showMessage(read.error);
        return;
    }
    showNames(*read.set);
    const ConfigurationSet set = namesFrom(*read.set, *path);
    // Each loader takes its file whole or not at all and names the file when it fails; the
    // first failure ends the load and the files loaded before it stay loaded.
    if (!loaders_.chords(set.chords) || !loaders_.picks(set.picks))
        return;
    if (!set.beat.empty() && loaders_.beat && !loaders_.beat(set.beat))
        return;
    loaders_.joystick(set.joystick);
}

ConfigurationSet ConfigurationSetGroup::names() const {
    // An empty beat box writes the three lines of a set without a beat.
    return {toPath(Edit19), toPath(Edit20), toPath(Edit21), toPath(BeatFile)};
}

void ConfigurationSetGroup::showNames(const ConfigurationSet& set) {
    Edit19->setText(fromPath(set.chords));
    Edit20->setText(fromPath(set.picks));
    Edit21->setText(fromPath(set.joystick));
    BeatFile->setText(fromPath(set.beat));
}

} // namespace fw
