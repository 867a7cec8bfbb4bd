#include "app/qt_prompts.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <utility>

namespace fw {

std::string toQtFilter(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split('|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        out << parts[i] + " (" + QString(parts[i + 1]).replace(';', ' ') + ")";
    return out.join(";;").toStdString();
}

namespace {
// Ends a wait once the box it watches has been painted.
class PaintWatch final : public QObject {
public:
    explicit PaintWatch(QEventLoop& loop) : loop_(loop) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            loop_.quit();
        return QObject::eventFilter(watched, event);
    }

private:
    QEventLoop& loop_;
};

// A display that never shows the box must not hold the start up for good.
constexpr int kLongestPaintWaitMs = 2000;
} // namespace

QtPrompts::~QtPrompts() {
    delete held_.data();
}

void QtPrompts::awaitAnswer() {
    if (!held_)
        return;
    if (held_->isVisible()) {
        QEventLoop loop;
        QObject::connect(held_, &QDialog::finished, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::DialogExec);
    }
    delete held_.data();
}

bool QtPrompts::hidden() const {
    return logWhileHidden_ && (!parent_ || !parent_->isVisible());
}

void QtPrompts::showMessage(const std::string& text) {
    const bool hold = std::exchange(holdNext_, false);
    if (hidden()) {
        std::fprintf(stderr, "fretwright: %s\n", text.c_str());
        std::fflush(stderr);
        return;
    }
    awaitAnswer();
    if (!hold) {
        QMessageBox::information(parent_, QApplication::applicationName(),
                                 QString::fromLocal8Bit(text.c_str()));
        return;
    }
    held_ = new QMessageBox(QMessageBox::Information, QApplication::applicationName(),
                            QString::fromLocal8Bit(text.c_str()), QMessageBox::Ok, parent_);
    held_->setWindowModality(Qt::ApplicationModal);
    QEventLoop loop;
    PaintWatch painted(loop);
    held_->installEventFilter(&painted);
    QObject::connect(held_, &QDialog::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(kLongestPaintWaitMs, &loop, &QEventLoop::quit);
    held_->show();
    loop.exec(QEventLoop::DialogExec);
    if (held_)
        held_->removeEventFilter(&painted);
}

bool QtPrompts::askYesNo(const std::string& text) {
    if (hidden()) {
        std::fprintf(stderr, "fretwright: %s\n(No: the window is hidden.)\n", text.c_str());
        std::fflush(stderr);
        return false;
    }
    awaitAnswer();
    return QMessageBox::question(
               parent_, QApplication::applicationName(), QString::fromLocal8Bit(text.c_str()),
               QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) == QMessageBox::Yes;
}

namespace {
std::optional<std::string> runDialog(QWidget* parent, const FileDialogSpec& request, bool save) {
    QFileDialog dialog(parent, QString::fromStdString(request.title));
    dialog.setNameFilters(QString::fromStdString(toQtFilter(request.filter)).split(";;"));
    dialog.setDefaultSuffix(QString::fromStdString(request.defaultExt));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!request.fileName.empty())
        dialog.selectFile(QString::fromLocal8Bit(request.fileName.c_str()));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first().toLocal8Bit().toStdString();
}
} // namespace

std::optional<std::string> QtPrompts::openFileName(const FileDialogSpec& request) {
    awaitAnswer();
    return runDialog(parent_, request, false);
}

std::optional<std::string> QtPrompts::saveFileName(const FileDialogSpec& request) {
    awaitAnswer();
    return runDialog(parent_, request, true);
}

} // namespace fw
