#include "app/qt_prompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>
#include <QWidget>

#include <cstdio>

namespace fw {

std::string toQtFilter(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split('|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        out << parts[i] + " (" + QString(parts[i + 1]).replace(';', ' ') + ")";
    return out.join(";;").toStdString();
}

bool QtPrompts::hidden() const {
    return logWhileHidden_ && (!parent_ || !parent_->isVisible());
}

void QtPrompts::showMessage(const std::string& text) {
    if (hidden()) {
        std::fprintf(stderr, "fretwright: %s\n", text.c_str());
        std::fflush(stderr);
        return;
    }
    QMessageBox::information(parent_, QApplication::applicationName(),
                             QString::fromLocal8Bit(text.c_str()));
}

bool QtPrompts::askYesNo(const std::string& text) {
    if (hidden()) {
        std::fprintf(stderr, "fretwright: %s\n(No: the window is hidden.)\n", text.c_str());
        std::fflush(stderr);
        return false;
    }
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
    return runDialog(parent_, request, false);
}

std::optional<std::string> QtPrompts::saveFileName(const FileDialogSpec& request) {
    return runDialog(parent_, request, true);
}

} // namespace fw
