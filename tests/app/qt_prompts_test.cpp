// The start's held message: up and painted when showMessage returns, answered before any other box.
#include "app/qt_prompts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace fw {
namespace {

QMessageBox* modalBox() {
    return qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
}

// Clicks a button of the box that says this text once it is the modal one.
void clickWhenUp(const QString& text, QMessageBox::StandardButton button) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, text, button] {
        if (QMessageBox* box = modalBox(); box && box->text() == text) {
            box->button(button)->click();
            poll->deleteLater();
        }
    });
    poll->start(5);
}

TEST(QtPrompts, HeldMessageIsUpOnReturnAndAnsweredBeforeTheNextBox) {
    QtPrompts prompts;
    prompts.holdNextMessage();
    prompts.showMessage("Joystick Enabled!");
    QMessageBox* held = modalBox();
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(held->text(), "Joystick Enabled!");
    EXPECT_TRUE(held->isVisible());

    // The question waits for the held box's answer: the player sees one box at a time, in order.
    std::vector<std::string> seen;
    QTimer::singleShot(0, [&] {
        seen.push_back(modalBox()->text().toStdString());
        clickWhenUp("Joystick Enabled!", QMessageBox::Ok);
        clickWhenUp("Recover the take?", QMessageBox::No);
    });
    EXPECT_FALSE(prompts.askYesNo("Recover the take?"));
    EXPECT_EQ(seen, std::vector<std::string>{"Joystick Enabled!"});

    // Only the next message is held: this one waits for its answer, as every other does.
    prompts.awaitAnswer();
    clickWhenUp("JOYERR_UNPLUGGED\t", QMessageBox::Ok);
    prompts.showMessage("JOYERR_UNPLUGGED\t");
    EXPECT_EQ(modalBox(), nullptr);
}

} // namespace
} // namespace fw
