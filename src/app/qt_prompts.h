#pragma once

#include "engine/prompts.h"

class QWidget;

namespace fw {

// Message boxes and file dialogs over the main window.
class QtPrompts final : public Prompts {
public:
    void setParent(QWidget* parent) { parent_ = parent; }
    void showMessage(const std::string& text) override;
    std::optional<std::string> openFileName(const FileDialogSpec& request) override;
    std::optional<std::string> saveFileName(const FileDialogSpec& request) override;
    bool askYesNo(const std::string& text) override;

private:
    QWidget* parent_ = nullptr;
};

// "Chord Sets|*.chords|All|*.*" to Qt's "Chord Sets (*.chords);;All (*.*)".
std::string toQtFilter(const std::string& filter);

} // namespace fw
