#pragma once

#include <optional>
#include <string>

namespace fw {

// A file dialog request. The filter is written "Description|*.ext" (several pairs may follow,
// each separated by "|"); the default extension has no dot.
struct FileDialogSpec {
    std::string title;
    std::string filter;
    std::string defaultExt;
    // A file name shown preselected in the dialog; empty for none.
    std::string fileName = {};
};

// Everything that asks or tells the user something goes through here: message boxes and file
// dialogs at run time, a scripted fake in tests.
class Prompts {
public:
    virtual ~Prompts() = default;
    virtual void showMessage(const std::string& text) = 0;
    // The chosen file, or nothing when the user cancelled.
    virtual std::optional<std::string> openFileName(const FileDialogSpec& request) = 0;
    virtual std::optional<std::string> saveFileName(const FileDialogSpec& request) = 0;
    // A question answered Yes or No; Yes is the default answer. True for Yes.
    virtual bool askYesNo(const std::string& text) = 0;
};

} // namespace fw
