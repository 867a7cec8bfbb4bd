// Plays the real program from inside for the kill test: Qt loads this as a generic plugin
// (QT_QPA_GENERIC_PLUGINS=fwtakedriver) into build/bin/fretwright, unchanged. It answers the
// program's message boxes and, as FW_TAKE_DRIVER says:
//   play     a random 32-step beat with "Accomp. Beat" at the fastest tempo, the play log
//            written to FW_TAKE_DRIVER_OUT/pl-<ms since the epoch>.txt four times a second
//   yes, no  answers the question about a take left behind so, writes its text to
//            question.txt and the play log to restored.txt, then closes the window
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDateTime>
#include <QFile>
#include <QGenericPlugin>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>

namespace {

QWidget* named(const char* name) {
    for (QWidget* w : QApplication::allWidgets())
        if (w->objectName() == QLatin1String(name))
            return w;
    return nullptr;
}

// Brings a tab of the main window to the front, as a player clicks it.
void showTab(const QString& caption) {
    auto* tabs = qobject_cast<QTabWidget*>(named("PageControl1"));
    for (int i = 0; tabs && i < tabs->count(); ++i)
        if (tabs->tabText(i) == caption)
            tabs->setCurrentIndex(i);
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path + ".new");
    if (f.open(QIODevice::WriteOnly)) {
        f.write(bytes);
        f.close();
        QFile::remove(path);
        f.rename(path);
    }
}

class TakeDriver : public QObject {
public:
    TakeDriver()
        : mode_(qEnvironmentVariable("FW_TAKE_DRIVER")),
          out_(qEnvironmentVariable("FW_TAKE_DRIVER_OUT")) {
        auto* timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, [this] { tick(); });
        timer->start(50);
    }

private:
    void tick() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box) {
            if (box->button(QMessageBox::Yes)) {
                writeFile(out_ + "/question.txt", box->text().toUtf8());
                box->button(mode_ == "no" ? QMessageBox::No : QMessageBox::Yes)->click();
                answered_ = true;
            } else if (!box->buttons().isEmpty()) {
                box->buttons().first()->click();
            }
            return;
        }
        QWidget* form = named("TForm1");
        auto* log = qobject_cast<QPlainTextEdit*>(named("R2IMemo"));
        if (!form || !form->isVisible() || !log)
            return;
        if (mode_ == "play") {
            if (!started_) {
                started_ = true;
                showTab("Beat Manager");
                qobject_cast<QPushButton*>(named("Button99"))->click(); // "Generate 32 Beat"
                qobject_cast<QCheckBox*>(named("CheckBox3"))->click();  // "Accomp. Beat"
                auto* tempo = qobject_cast<QSlider*>(named("TempTracker"));
                tempo->setValue(tempo->minimum()); // the top: the fastest
            }
            if (++ticks_ % 5 == 0)
                writeFile(out_ + "/pl-" + QString::number(QDateTime::currentMSecsSinceEpoch()) +
                              ".txt",
                          log->toPlainText().toLatin1());
        } else if (answered_ || ++ticks_ > 40) {
            // Answered, or no question came within two seconds.
            writeFile(out_ + "/restored.txt", log->toPlainText().toLatin1());
            form->close();
        }
    }

    QString mode_;
    QString out_;
    bool started_ = false;
    bool answered_ = false;
    int ticks_ = 0;
};

class TakeDriverPlugin : public QGenericPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "take_driver.json")
public:
    QObject* create(const QString&, const QString&) override { return new TakeDriver; }
};

} // namespace

#include "take_driver.moc"
