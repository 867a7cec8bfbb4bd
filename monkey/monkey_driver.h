#pragma once

// The monkey's hands: on a timer, one random action at a time on whatever window the program
// shows (a message box is answered, a file dialog gets a file of the scratch folder or is
// cancelled, any other window gets clicks, drags, wheel turns, keys and text), and now and then
// a move of the virtual controller. Every action comes from one seeded generator and the widget
// tree as it is, so the same seed sends the same actions again.
#include "monkey_scratch.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QString>

#include <atomic>
#include <cstdio>
#include <map>
#include <random>
#include <set>
#include <vector>

class QFileDialog;
class QMessageBox;
class QTabBar;
class QWidget;

namespace fw::test {
class VirtualJoystick;
}

namespace fw::monkey {

struct Options {
    std::uint64_t seed = 0;
    long maxEvents = 0; // 0: as many as the time allows
    double seconds = 60;
    int hangMillis = 2000;
    QString scratch;
    bool verbose = false;
};

class Driver : public QObject {
public:
    Driver(const Options& options, Scratch& scratch, test::VirtualJoystick& pad);
    ~Driver() override;

    // The first action comes once the event loop runs.
    void start();
    long events() const { return events_; }
    double elapsedSeconds() const { return clock_.isValid() ? clock_.elapsed() / 1000.0 : 0; }
    // What was seen and done, for the summary.
    QStringList report() const;
    // Failures found by the driver itself (a program that would not end).
    const QStringList& failures() const { return failures_; }

private:
    // Random numbers, all from the one generator.
    int below(int n);
    bool chance(int percent) { return below(100) < percent; }
    template <typename T> T pick(const std::vector<T>& v) { return v[below(int(v.size()))]; }

    void tick();
    bool mayAct() const;
    void act();
    void finishStep();
    void trace(const QString& what);

    QWidget* chooseWindow();
    std::vector<QWidget*> targets(QWidget* window) const;
    QWidget* chooseTarget(QWidget* window);
    QPoint pointIn(QWidget* window, QWidget* target);

    void answerFileDialog(QFileDialog* dialog);
    void answerMessageBox(QMessageBox* box);
    void actOnPopup(QWidget* popup);
    void actOnWindow(QWidget* window, bool secondary);
    void click(QWidget* window, Qt::MouseButton button, bool twice);
    void drag(QWidget* window);
    void hover(QWidget* window);
    void wheel(QWidget* window);
    void key(QWidget* window);
    void text(QWidget* window);
    void switchTab(QWidget* window);
    void moveController();
    void closeWindow(QWidget* window);

    void mouse(QWidget* window, QPoint at, QEvent::Type type, Qt::MouseButton button,
               Qt::MouseButtons held, Qt::KeyboardModifiers mods = {});
    void keyClick(QWidget* window, int key, Qt::KeyboardModifiers mods, const QString& text);
    void noteVisit(QWidget* window);
    void count(const char* kind) { ++kinds_[kind]; }

    Options options_;
    Scratch& scratch_;
    test::VirtualJoystick& pad_;
    std::mt19937_64 rng_;
    QElapsedTimer clock_;
    std::atomic<long> events_{0};
    int timestamp_ = 0;
    bool finishing_ = false;
    qint64 finishStarted_ = 0;
    QPointer<QWidget> mainWindow_;
    // One entry per action being sent; true once the program waits in an event loop of its own
    // within it (a modal window, a menu), when the next action may come.
    std::vector<bool> sending_;
    QMetaObject::Connection blockWatch_;
    std::FILE* trace_ = nullptr;
    std::map<QString, long> kinds_;
    std::set<QString> windowsSeen_;
    std::set<QString> tabsSeen_;
    std::set<QString> aimedAt_; // every control aimed at so far
    QStringList failures_;
};

} // namespace fw::monkey
