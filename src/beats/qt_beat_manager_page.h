#pragma once

#include <QListWidget>
#include <QWidget>

namespace fw {

class MidiOutput;

// The "Beat Manager" tab. For now it carries the beat channel's instrument list, whose choice
// opens every new recording.
class BeatManagerPage : public QWidget {
    Q_OBJECT
public:
    BeatManagerPage(MidiOutput& output, QWidget* parent = nullptr);

    // Sends and logs the program change of the selected instrument on the beat channel.
    void ListBox5Click();

    QListWidget* ListBox5 = nullptr;

private:
    MidiOutput& output_;
};

} // namespace fw
