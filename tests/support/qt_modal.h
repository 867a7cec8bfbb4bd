#pragma once

#include <QDialog>
#include <QTimer>

#include <functional>

namespace fw::test {

// Runs `open` (a click that shows the dialog modally) and lets `steps` act on the dialog while it
// is open. A dialog the steps leave open is closed as by its frame button, so a test never hangs.
// Returns whether the dialog was open when the steps ran.
inline bool whileModal(QDialog& dialog, const std::function<void()>& open,
                       const std::function<void()>& steps) {
    bool wasOpen = false;
    QTimer::singleShot(0, &dialog, [&] {
        wasOpen = dialog.isVisible();
        steps();
        if (dialog.isVisible())
            dialog.reject();
    });
    open();
    return wasOpen && !dialog.isVisible();
}

} // namespace fw::test
