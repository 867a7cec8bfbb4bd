#include "app/qt_window_links.h"

#include "app/qt_main_window.h"
#include "chords/chord_names.h"
#include "chords/qt_chord_builder_page.h"
#include "chords/qt_note_preview.h"
#include "input/qt_joystick_mapping_page.h"

#include <algorithm>

namespace fw {

void MainWindowLinks::setBuilderOffset(int box, int offset) {
    main_.ChordBuilder->setOffsetText(box, QString::number(offset));
}

void MainWindowLinks::previewGuitarNote(int note, int velocity) {
    main_.ChordBuilder->preview().play(0x91 + main_.engine().ui.track, note, velocity);
}

void MainWindowLinks::silence() {
    main_.Button29Click();
}

ChordBuilderPage& MainWindowLinks::builder() {
    return *main_.ChordBuilder;
}

PickSetPages& MainWindowLinks::pickPages() {
    return *main_.pickSetPages;
}

void MainWindowLinks::moveMainBar(Bar bar, int value) {
    ControlState& ui = main_.engine().ui;
    QSlider* mainBar = bar == Bar::Bend    ? main_.TremTracker
                       : bar == Bar::Tempo ? main_.TempTracker
                                           : main_.VTracker;
    int& position = bar == Bar::Bend    ? ui.tremPosition
                    : bar == Bar::Tempo ? ui.tempPosition
                                        : ui.vPosition;
    position = std::clamp(value, mainBar->minimum(), mainBar->maximum());
}

std::string MainWindowLinks::chordNamesText() {
    return chordNamesLine(main_.engine().st, main_.heldFret());
}

void MainWindowLinks::syncControls() {
    main_.syncControls();
}

void MainWindowLinks::keyDown(int& key, Qt::KeyboardModifiers shift) {
    main_.Edit22KeyDown(key, shift);
}

void MainWindowLinks::alternateInstrument(int n) {
    if (n == 1)
        main_.Button32Click();
    else if (n == 2)
        main_.Button31Click();
    else if (n == 3)
        main_.Button33Click();
}

void MainWindowLinks::whenControlsSynced(QObject* receiver, std::function<void()> follow) {
    QObject::connect(&main_, &TForm1::controlsSynced, receiver, std::move(follow));
}

void MainWindowLinks::applyCalibrations() {
    main_.JoystickMapping->Button107Click();
}

SecondaryWindows::SecondaryWindows(TForm1& main) : main(main), links(main) {
    main.setSecondaryFormMaker([this](int n) { return form(n); });
    changes_ = QObject::connect(&main, &TForm1::controlsSynced, [this] { mainChanged_ = true; });
}

QDialog* SecondaryWindows::form(int n) {
    if (n < 2 || n > 7)
        return nullptr;
    std::unique_ptr<QDialog>& made = forms_[static_cast<std::size_t>(n)];
    if (!made) {
        switch (n) {
        case 2:
            made = std::make_unique<TForm2>(links, &main);
            break;
        case 3:
            made = std::make_unique<TForm3>(links, main.prompts(), main.random(), &main);
            break;
        case 4:
            made = std::make_unique<TForm4>(links, &main);
            break;
        case 5:
            made = std::make_unique<TForm5>(main.guitar(), links, &main);
            break;
        case 6:
            made = std::make_unique<TForm6>(main.guitar(), links, &main);
            break;
        default:
            made = std::make_unique<TForm7>(main.guitar(), main.joystick(), links, &main);
            break;
        }
        if (mainChanged_)
            main.syncControls();
    }
    return made.get();
}

SecondaryWindows::~SecondaryWindows() {
    // The main window outlives these; it must not show a window that is gone, nor make one.
    QObject::disconnect(changes_);
    main.setSecondaryForms(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
}

} // namespace fw
