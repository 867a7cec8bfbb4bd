#pragma once

#include "engine/prompts.h"

#include <QPointer>

class QMessageBox;
class QWidget;

namespace fw {

// Message boxes and file dialogs over the main window.
class QtPrompts final : public Prompts {
public:
    QtPrompts() = default;
    QtPrompts(const QtPrompts&) = delete;
    QtPrompts& operator=(const QtPrompts&) = delete;
    ~QtPrompts() override;
    void setParent(QWidget* parent) { parent_ = parent; }
    // In a session the window may be hidden, where no box may wait for an answer: messages then
    // go to the session manager's log, and a question is answered No (the answer that keeps
    // everything as it is).
    void logWhileHidden(bool on) { logWhileHidden_ = on; }
    // The start's first message is read while the main window is being built: the next message
    // returns once it is on screen, and its answer is awaited by awaitAnswer(), or before any
    // other box or dialog goes up.
    void holdNextMessage() { holdNext_ = true; }
    void awaitAnswer();
    void showMessage(const std::string& text) override;
    std::optional<std::string> openFileName(const FileDialogSpec& request) override;
    std::optional<std::string> saveFileName(const FileDialogSpec& request) override;
    bool askYesNo(const std::string& text) override;

private:
    bool hidden() const;

    QWidget* parent_ = nullptr;
    bool logWhileHidden_ = false;
    bool holdNext_ = false;
    QPointer<QMessageBox> held_;
};

// "Chord Sets|*.chords|All|*.*" to Qt's "Chord Sets (*.chords);;All (*.*)".
std::string toQtFilter(const std::string& filter);

} // namespace fw
