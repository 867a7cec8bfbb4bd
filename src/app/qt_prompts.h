#pragma once

#include "engine/prompts.h"

class QWidget;

namespace fw {

// Message boxes and file dialogs over the main window.
class QtPrompts final : public Prompts {
public:
    void setParent(QWidget* parent) { parent_ = parent; }
    // In a session the window may be hidden, where no box may wait for an answer: messages then
    // go to the session manager's log, and a question is answered No (the answer that keeps
    // everything as it is).
    void logWhileHidden(bool on) { logWhileHidden_ = on; }
    void showMessage(const std::string& text) override;
    std::optional<std::string> openFileName(const FileDialogSpec& request) override;
    std::optional<std::string> saveFileName(const FileDialogSpec& request) override;
    bool askYesNo(const std::string& text) override;

private:
    bool hidden() const;

    QWidget* parent_ = nullptr;
    bool logWhileHidden_ = false;
};

// "Chord Sets|*.chords|All|*.*" to Qt's "Chord Sets (*.chords);;All (*.*)".
std::string toQtFilter(const std::string& filter);

} // namespace fw
