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

SecondaryWindows::SecondaryWindows(TForm1& main)
    : main(main), links(main), form2(std::make_unique<TForm2>(links, &main)),
      form3(std::make_unique<TForm3>(links, main.prompts(), main.random(), &main)),
      form4(std::make_unique<TForm4>(links, &main)),
      form5(std::make_unique<TForm5>(main.guitar(), links, &main)),
      form6(std::make_unique<TForm6>(main.guitar(), links, &main)),
      form7(std::make_unique<TForm7>(main.guitar(), main.joystick(), links, &main)) {
    main.setSecondaryForms(form2.get(), form3.get(), form4.get(), form5.get(), form6.get(),
                           form7.get());
}

SecondaryWindows::~SecondaryWindows() {
    // The main window outlives these; it must not show a window that is gone.
    main.setSecondaryForms(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
}

} // namespace fw
