#include "monkey_driver.h"

#include "support/virtual_joystick.h"

#include <QAbstractButton>
#include <QAbstractEventDispatcher>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTabBar>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QWheelEvent>
#include <QWindow>

#include <algorithm>

namespace fw::monkey {

namespace {

// What a person could type into a box: numbers at and past every limit, text where numbers
// belong, play log lines, characters from far outside Latin-1.
const std::vector<QString> kTexts = {"0",
                                     "1",
                                     "7",
                                     "12",
                                     "-1",
                                     "255",
                                     "256",
                                     "999",
                                     "4096",
                                     "4097",
                                     "65535",
                                     "65536",
                                     "2147483647",
                                     "2147483648",
                                     "-2147483649",
                                     "99999999999999999999",
                                     "1e3",
                                     "0x1F",
                                     "3.5",
                                     " 42",
                                     "42 ",
                                     "abc",
                                     "C#",
                                     "Bb",
                                     "--0--1",
                                     "0123456789-",
                                     "91405A00-1530",
                                     "91405a00-15x0",
                                     "FF000000-0",
                                     "80400000-99999999999",
                                     QString::fromUtf8("\u00c4\u00d6\u00dc \u00df \u00e9"),
                                     QString::fromUtf8("\u266a\u266b"),
                                     QString::fromUtf8("\U0001F600"),
                                     "%s%n%x",
                                     "../../x",
                                     QString(300, '9'),
                                     QString(200, '-')};

const std::vector<int> kKeys = {Qt::Key_A,         Qt::Key_C,           Qt::Key_H,
                                Qt::Key_I,         Qt::Key_J,           Qt::Key_K,
                                Qt::Key_L,         Qt::Key_O,           Qt::Key_P,
                                Qt::Key_Q,         Qt::Key_T,           Qt::Key_U,
                                Qt::Key_V,         Qt::Key_X,           Qt::Key_Y,
                                Qt::Key_Z,         Qt::Key_0,           Qt::Key_1,
                                Qt::Key_2,         Qt::Key_3,           Qt::Key_4,
                                Qt::Key_5,         Qt::Key_9,           Qt::Key_Minus,
                                Qt::Key_Equal,     Qt::Key_BracketLeft, Qt::Key_BracketRight,
                                Qt::Key_Backslash, Qt::Key_Semicolon,   Qt::Key_Apostrophe,
                                Qt::Key_Comma,     Qt::Key_Period,      Qt::Key_Slash,
                                Qt::Key_QuoteLeft, Qt::Key_Space,       Qt::Key_Return,
                                Qt::Key_Enter,     Qt::Key_Escape,      Qt::Key_Tab,
                                Qt::Key_Backtab,   Qt::Key_Backspace,   Qt::Key_Delete,
                                Qt::Key_Insert,    Qt::Key_Left,        Qt::Key_Right,
                                Qt::Key_Up,        Qt::Key_Down,        Qt::Key_Home,
                                Qt::Key_End,       Qt::Key_PageUp,      Qt::Key_PageDown,
                                Qt::Key_F1,        Qt::Key_F5,          Qt::Key_F10,
                                Qt::Key_F12};

QString keyText(int key, Qt::KeyboardModifiers mods) {
    if (mods & (Qt::ControlModifier | Qt::AltModifier))
        return {};
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return "\r";
    case Qt::Key_Tab:
        return "\t";
    case Qt::Key_Backspace:
        return "\b";
    case Qt::Key_Escape:
        return "\x1b";
    case Qt::Key_Delete:
        return "\x7f";
    default:
        break;
    }
    if (key >= 0x20 && key < 0x7f) {
        const QChar c(key);
        return (mods & Qt::ShiftModifier) ? QString(c) : QString(c.toLower());
    }
    return {};
}

// The part of w that shows inside window, in window coordinates.
QRect shownRect(QWidget* w, QWidget* window) {
    QRect r(w->mapTo(window, QPoint(0, 0)), w->size());
    for (QWidget* p = w->parentWidget(); p && p != window; p = p->parentWidget())
        r &= QRect(p->mapTo(window, QPoint(0, 0)), p->size());
    return r & window->rect();
}

QString describe(QWidget* w) {
    if (!w)
        return "nothing";
    QString out = w->metaObject()->className();
    if (auto* b = qobject_cast<QAbstractButton*>(w); b && !b->text().isEmpty())
        out += " \"" + b->text() + "\"";
    if (!w->objectName().isEmpty())
        out += " (" + w->objectName() + ")";
    return out;
}

QString windowName(QWidget* window) {
    return window->windowTitle().isEmpty() ? window->metaObject()->className()
                                           : window->windowTitle();
}

bool isTextEntry(QWidget* w) {
    return qobject_cast<QLineEdit*>(w) || qobject_cast<QAbstractSpinBox*>(w) ||
           qobject_cast<QPlainTextEdit*>(w) || qobject_cast<QTextEdit*>(w);
}

// How often a widget is aimed at: controls more than the frames around them.
int weightOf(QWidget* w) {
    if (qobject_cast<QAbstractButton*>(w))
        return 6;
    if (isTextEntry(w) || qobject_cast<QComboBox*>(w) || qobject_cast<QAbstractItemView*>(w))
        return 3;
    if (qobject_cast<QAbstractSlider*>(w) || qobject_cast<QTabBar*>(w))
        return 2;
    return 1;
}

} // namespace

Driver::Driver(const Options& options, Scratch& scratch, test::VirtualJoystick& pad)
    : options_(options), scratch_(scratch), pad_(pad), rng_(options.seed) {
    trace_ = std::fopen((options.scratch + "/trace.txt").toLocal8Bit().constData(), "w");
}

Driver::~Driver() {
    if (trace_)
        std::fclose(trace_);
}

void Driver::start() {
    QTimer::singleShot(0, this, [this] {
        clock_.start();
        // Every turn of an event loop that may wait: inside an action, the program now runs a
        // loop of its own (a modal window, a menu), and the next action may come.
        blockWatch_ = connect(QAbstractEventDispatcher::instance(),
                              &QAbstractEventDispatcher::aboutToBlock, this, [this] {
                                  if (!sending_.empty())
                                      sending_.back() = true;
                              });
        tick();
    });
}

int Driver::below(int n) {
    return n <= 1 ? 0 : static_cast<int>(rng_() % static_cast<std::uint64_t>(n));
}

void Driver::trace(const QString& what) {
    const QByteArray line = QString("%1 %2\n").arg(events_.load()).arg(what).toUtf8();
    if (trace_) {
        std::fputs(line.constData(), trace_);
        std::fflush(trace_);
    }
    if (options_.verbose)
        std::fputs(line.constData(), stdout);
}

bool Driver::mayAct() const {
    return sending_.empty() || sending_.back();
}

void Driver::tick() {
    if (!mayAct()) {
        // The last action is still being handled: wait for it, drawing no random number.
        QTimer::singleShot(10, this, [this] { tick(); });
        return;
    }
    if (!finishing_ && ((options_.maxEvents > 0 && events_ >= options_.maxEvents) ||
                        (options_.maxEvents == 0 && clock_.elapsed() >= options_.seconds * 1000))) {
        finishing_ = true;
        finishStarted_ = clock_.elapsed();
        trace("finish: every window is closed");
    }
    if (finishing_) {
        QTimer::singleShot(100, this, [this] { tick(); });
        finishStep();
        return;
    }
    // Now and then a pause, for replays, renderings and the toy to run on.
    const int delay = chance(3) ? 1000 + below(2000) : 20 + below(130);
    QTimer::singleShot(delay, Qt::PreciseTimer, this, [this] { tick(); });
    sending_.push_back(false);
    act();
    sending_.pop_back();
}

void Driver::act() {
    ++events_;
    if (!mainWindow_) {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && !qobject_cast<QDialog*>(w) && w->windowType() == Qt::Window)
                mainWindow_ = w;
    }
    if (QWidget* popup = QApplication::activePopupWidget()) {
        actOnPopup(popup);
        return;
    }
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
        answerFileDialog(dialog);
        return;
    }
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        answerMessageBox(box);
        return;
    }
    if (chance(6)) {
        moveController();
        return;
    }
    QWidget* window = modal ? modal : chooseWindow();
    if (!window) {
        trace("no window to act on");
        return;
    }
    actOnWindow(window, window != mainWindow_);
}

QWidget* Driver::chooseWindow() {
    std::vector<QWidget*> windows;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        const Qt::WindowType type = w->windowType();
        if (w->isVisible() && !w->isMinimized() && (type == Qt::Window || type == Qt::Dialog))
            windows.push_back(w);
    }
    // In an order of their own, not the order of the set they are kept in.
    std::sort(windows.begin(), windows.end(), [](QWidget* a, QWidget* b) {
        return std::make_tuple(QString(a->metaObject()->className()), a->windowTitle(),
                               a->objectName()) <
               std::make_tuple(QString(b->metaObject()->className()), b->windowTitle(),
                               b->objectName());
    });
    return windows.empty() ? nullptr : pick(windows);
}

std::vector<QWidget*> Driver::targets(QWidget* window) const {
    std::vector<QWidget*> out;
    for (QWidget* w : window->findChildren<QWidget*>())
        if (w->isVisible() && w->isEnabled() && w->window() == window &&
            !shownRect(w, window).isEmpty())
            out.push_back(w);
    return out;
}

// A control not aimed at before counts five times: the buttons that open the secondary
// windows are few among the many that are always in view.
QWidget* Driver::chooseTarget(QWidget* window) {
    const std::vector<QWidget*> all = targets(window);
    std::vector<int> weights;
    int total = 0;
    for (QWidget* w : all) {
        const bool fresh = !aimedAt_.count(windowName(window) + " " + describe(w));
        weights.push_back(weightOf(w) * (fresh ? 5 : 1));
        total += weights.back();
    }
    if (total == 0)
        return window;
    int r = below(total);
    for (std::size_t i = 0; i < all.size(); ++i) {
        r -= weights[i];
        if (r < 0) {
            aimedAt_.insert(windowName(window) + " " + describe(all[i]));
            return all[i];
        }
    }
    return window;
}

QPoint Driver::pointIn(QWidget* window, QWidget* target) {
    const QRect r = target == window ? window->rect() : shownRect(target, window);
    return {r.left() + below(r.width()), r.top() + below(r.height())};
}

void Driver::noteVisit(QWidget* window) {
    windowsSeen_.insert(windowName(window));
    for (QTabBar* bar : window->findChildren<QTabBar*>())
        if (bar->isVisible() && bar->currentIndex() >= 0)
            tabsSeen_.insert(bar->tabText(bar->currentIndex()).remove('&'));
}

void Driver::mouse(QWidget* window, QPoint at, QEvent::Type type, Qt::MouseButton button,
                   Qt::MouseButtons held, Qt::KeyboardModifiers mods) {
    QWindow* handle = window->windowHandle();
    if (!handle || !window->isVisible())
        return;
    timestamp_ += type == QEvent::MouseButtonRelease ? 40 : 60;
    qt_handleMouseEvent(handle, at, handle->mapToGlobal(at), held, button, type, mods, timestamp_);
}

void Driver::keyClick(QWidget* window, int key, Qt::KeyboardModifiers mods, const QString& text) {
    QPointer<QWindow> handle = window->windowHandle();
    if (!handle || !window->isVisible())
        return;
    qt_handleKeyEvent(handle, QEvent::KeyPress, key, mods, text);
    if (handle)
        qt_handleKeyEvent(handle, QEvent::KeyRelease, key, mods, text);
}

void Driver::actOnWindow(QWidget* window, bool secondary) {
    noteVisit(window);
    const int r = below(100);
    if (secondary && r < 3)
        closeWindow(window);
    else if (r < 38)
        click(window, Qt::LeftButton, false);
    else if (r < 41)
        click(window, Qt::RightButton, false);
    else if (r < 45)
        click(window, Qt::LeftButton, true);
    else if (r < 54)
        drag(window);
    else if (r < 59)
        hover(window);
    else if (r < 64)
        wheel(window);
    else if (r < 78)
        key(window);
    else if (r < 90)
        text(window);
    else
        switchTab(window);
}

void Driver::click(QWidget* window, Qt::MouseButton button, bool twice) {
    QWidget* target = chooseTarget(window);
    const QPoint at = pointIn(window, target);
    static const Qt::KeyboardModifier kMods[] = {Qt::ShiftModifier, Qt::ControlModifier,
                                                 Qt::AltModifier};
    const Qt::KeyboardModifiers mods = chance(8) ? kMods[below(3)] : Qt::NoModifier;
    count(twice ? "double click" : button == Qt::RightButton ? "right click" : "click");
    trace(QString("%1 %2 at %3,%4 in %5")
              .arg(twice                       ? "double-click"
                   : button == Qt::RightButton ? "right-click"
                                               : "click",
                   describe(target))
              .arg(at.x())
              .arg(at.y())
              .arg(windowName(window)));
    QPointer<QWidget> w = window;
    timestamp_ += 1000; // never a double click by accident
    for (int i = 0; i < (twice ? 2 : 1) && w; ++i) {
        mouse(w, at, QEvent::MouseButtonPress, button, button, mods);
        if (w)
            mouse(w, at, QEvent::MouseButtonRelease, button, Qt::NoButton, mods);
    }
}

void Driver::drag(QWidget* window) {
    QWidget* target = chooseTarget(window);
    QPoint at = pointIn(window, target);
    const int moves = 1 + below(4);
    count("drag");
    trace(QString("drag from %1 at %2,%3 in %4, %5 moves")
              .arg(describe(target))
              .arg(at.x())
              .arg(at.y())
              .arg(windowName(window))
              .arg(moves));
    QPointer<QWidget> w = window;
    timestamp_ += 1000;
    mouse(w, at, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton);
    for (int i = 0; i < moves && w; ++i) {
        at = pointIn(window, chance(50) ? target : window);
        mouse(w, at, QEvent::MouseMove, Qt::NoButton, Qt::LeftButton);
    }
    if (w)
        mouse(w, at, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton);
}

void Driver::hover(QWidget* window) {
    const int moves = 1 + below(3);
    count("hover");
    trace(QString("hover over %1, %2 moves").arg(windowName(window)).arg(moves));
    QPointer<QWidget> w = window;
    for (int i = 0; i < moves && w; ++i)
        mouse(w, pointIn(window, chooseTarget(window)), QEvent::MouseMove, Qt::NoButton,
              Qt::NoButton);
}

void Driver::wheel(QWidget* window) {
    QWidget* target = chooseTarget(window);
    const QPoint at = pointIn(window, target);
    QWidget* under = window->childAt(at);
    if (!under)
        under = window;
    const int steps = (1 + below(3)) * (chance(50) ? 1 : -1) * 120;
    const QPoint angle = chance(15) ? QPoint(steps, 0) : QPoint(0, steps);
    count("wheel");
    trace(QString("wheel %1 on %2 in %3").arg(steps).arg(describe(under), windowName(window)));
    const QPointF local = under->mapFrom(window, at);
    QWheelEvent event(local, under->mapToGlobal(local), QPoint(), angle, Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(under, &event);
}

void Driver::key(QWidget* window) {
    const int k = kKeys[static_cast<std::size_t>(below(int(kKeys.size())))];
    Qt::KeyboardModifiers mods = Qt::NoModifier;
    const int m = below(100);
    if (m < 8)
        mods = Qt::ShiftModifier;
    else if (m < 14)
        mods = Qt::ControlModifier;
    else if (m < 18)
        mods = Qt::AltModifier;
    count("key");
    trace(QString("key %1 (modifiers %2) to %3 in %4")
              .arg(QKeySequence(k).toString())
              .arg(int(mods))
              .arg(describe(QApplication::focusWidget()), windowName(window)));
    keyClick(window, k, mods, keyText(k, mods));
}

void Driver::text(QWidget* window) {
    std::vector<QWidget*> boxes;
    for (QWidget* w : targets(window))
        if (isTextEntry(w))
            boxes.push_back(w);
    if (boxes.empty()) {
        key(window);
        return;
    }
    QWidget* box = pick(boxes);
    QPointer<QWidget> w = window;
    const QPoint at = pointIn(window, box);
    timestamp_ += 1000;
    mouse(w, at, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton);
    if (w)
        mouse(w, at, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton);
    if (w && chance(40))
        keyClick(w, Qt::Key_A, Qt::ControlModifier, {});
    if (chance(8)) {
        // Pasted rather than typed: a long text, such as a play log of a few thousand lines.
        QString big;
        const int lines = 200 + below(3000);
        for (int i = 0; i < lines; ++i)
            big += (chance(90) ? QString::asprintf("91%02X5A00-%d", 40 + below(40), i * 7)
                               : pick(kTexts)) +
                   "\n";
        QGuiApplication::clipboard()->setText(big);
        count("paste");
        trace(QString("paste %1 lines into %2 in %3")
                  .arg(lines)
                  .arg(describe(box), windowName(window)));
        if (w)
            keyClick(w, Qt::Key_V, Qt::ControlModifier, {});
        return;
    }
    QString typed = pick(kTexts);
    if (chance(30)) {
        typed.clear();
        for (int i = 1 + below(30); i > 0; --i)
            typed += QChar(0x20 + below(0x5f));
    }
    count("text");
    trace(QString("type \"%1\" into %2 in %3")
              .arg(typed.left(60), describe(box), windowName(window)));
    for (const QChar c : typed) {
        if (!w)
            break;
        const QChar upper = c.toUpper();
        const int code = upper.unicode() < 0x100 ? upper.unicode() : int(Qt::Key_unknown);
        keyClick(w, code, c.isUpper() ? Qt::ShiftModifier : Qt::NoModifier, QString(c));
    }
}

void Driver::switchTab(QWidget* window) {
    std::vector<QTabBar*> bars;
    for (QTabBar* bar : window->findChildren<QTabBar*>())
        if (bar->isVisible() && bar->count() > 0 && !shownRect(bar, window).isEmpty())
            bars.push_back(bar);
    if (bars.empty()) {
        click(window, Qt::LeftButton, false);
        return;
    }
    QTabBar* bar = pick(bars);
    const int index = below(bar->count());
    const QPoint at = bar->mapTo(window, bar->tabRect(index).center());
    count("tab");
    trace(QString("tab \"%1\" in %2").arg(bar->tabText(index), windowName(window)));
    QPointer<QWidget> w = window;
    timestamp_ += 1000;
    mouse(w, at, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton);
    if (w)
        mouse(w, at, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton);
    if (w)
        noteVisit(window);
}

void Driver::moveController() {
    count("controller");
    const int r = below(100);
    if (r < 2) {
        const bool plugged = pad_.attached();
        trace(plugged ? "controller unplugged" : "controller plugged in");
        plugged ? pad_.detach() : (void)pad_.attach();
    } else if (r < 20) {
        // A strum: the bar out past either end and back to rest.
        const int out = chance(50) ? below(70) : 190 + below(66);
        trace(QString("controller strum to %1").arg(out));
        pad_.setStep(4, out);
        QTimer::singleShot(40, this, [this] { pad_.setStep(4, 128); });
    } else if (r < 50) {
        const int axis = 1 + below(6);
        const int reading = chance(30) ? (chance(50) ? 0 : 65535) : below(65536);
        trace(QString("controller axis %1 to %2").arg(axis).arg(reading));
        pad_.setAxis(axis, reading);
    } else if (r < 85) {
        const int button = 1 + below(32);
        const bool down = chance(50);
        trace(QString("controller button %1 %2").arg(button).arg(down ? "down" : "up"));
        pad_.setButton(button, down);
    } else {
        static const Uint8 kHats[] = {SDL_HAT_CENTERED,  SDL_HAT_UP,     SDL_HAT_RIGHT,
                                      SDL_HAT_DOWN,      SDL_HAT_LEFT,   SDL_HAT_RIGHTUP,
                                      SDL_HAT_RIGHTDOWN, SDL_HAT_LEFTUP, SDL_HAT_LEFTDOWN};
        const Uint8 hat = kHats[below(9)];
        trace(QString("controller hat %1").arg(hat));
        pad_.setHat(hat);
    }
}

void Driver::closeWindow(QWidget* window) {
    count("close window");
    if (chance(50)) {
        trace("Escape to close " + windowName(window));
        keyClick(window, Qt::Key_Escape, Qt::NoModifier, "\x1b");
    } else {
        trace("close " + windowName(window) + " by its frame");
        window->close();
    }
}

void Driver::answerFileDialog(QFileDialog* dialog) {
    const bool save = dialog->acceptMode() == QFileDialog::AcceptSave;
    const QStringList exts = Scratch::extensionsOf(dialog->nameFilters());
    windowsSeen_.insert(QString("file dialog \"%1\"").arg(dialog->windowTitle()));
    if (chance(15)) {
        count(save ? "save dialog cancelled" : "open dialog cancelled");
        trace("cancel the file dialog \"" + dialog->windowTitle() + "\"");
        dialog->reject();
        return;
    }
    const QString path = save ? scratch_.saveChoice(exts, rng_) : scratch_.openChoice(exts, rng_);
    count(save ? "save dialog answered" : "open dialog answered");
    trace(QString("answer the file dialog \"%1\" (%2) with %3")
              .arg(dialog->windowTitle(), exts.join(","), path));
    const QFileInfo info(path);
    dialog->setDirectory(info.absolutePath());
    // Typed into the name box as a person would; selectFile() leaves a box that has the focus
    // alone.
    if (auto* name = dialog->findChild<QLineEdit*>("fileNameEdit"))
        name->setText(path);
    else
        dialog->selectFile(path);
    static_cast<QDialog*>(dialog)->accept(); // QFileDialog hides it: it is the dialog's own
}

void Driver::answerMessageBox(QMessageBox* box) {
    count("message box");
    windowsSeen_.insert("message box");
    const QList<QAbstractButton*> buttons = box->buttons();
    const int r = below(100);
    const QString said = box->text().left(100).replace('\n', ' ');
    if (r < 15 || buttons.isEmpty()) {
        trace("Escape to the message box \"" + said + "\"");
        keyClick(box, Qt::Key_Escape, Qt::NoModifier, "\x1b");
    } else if (r < 25) {
        trace("Return to the message box \"" + said + "\"");
        keyClick(box, Qt::Key_Return, Qt::NoModifier, "\r");
    } else {
        QAbstractButton* button = buttons[below(int(buttons.size()))];
        trace("click \"" + button->text() + "\" in the message box \"" + said + "\"");
        QPointer<QWidget> w = box;
        const QPoint at = button->mapTo(box, button->rect().center());
        timestamp_ += 1000;
        mouse(w, at, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton);
        if (w)
            mouse(w, at, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton);
    }
}

void Driver::actOnPopup(QWidget* popup) {
    count("popup");
    if (chance(30)) {
        trace("Escape to the popup " + describe(popup));
        keyClick(popup, Qt::Key_Escape, Qt::NoModifier, "\x1b");
        return;
    }
    const QPoint at(below(popup->width()), below(popup->height()));
    trace(QString("click at %1,%2 in the popup %3").arg(at.x()).arg(at.y()).arg(describe(popup)));
    QPointer<QWidget> w = popup;
    timestamp_ += 1000;
    mouse(w, at, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton);
    if (w && w->isVisible())
        mouse(w, at, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton);
}

// One step of the end: popups and modal windows go first, then the other windows, the main
// window last, and the program ends.
void Driver::finishStep() {
    if (clock_.elapsed() - finishStarted_ > 20000) {
        failures_ << "the program did not end within 20 s after its windows were closed";
        std::fprintf(stderr, "monkey: the program does not end; its windows: ");
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible())
                std::fprintf(stderr, "%s; ", qPrintable(windowName(w)));
        std::fputc('\n', stderr);
        QApplication::exit(1);
        return;
    }
    if (QWidget* popup = QApplication::activePopupWidget()) {
        popup->close();
        return;
    }
    if (QWidget* modal = QApplication::activeModalWidget()) {
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
        return;
    }
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w != mainWindow_ && w->windowType() != Qt::ToolTip)
            w->close();
    if (mainWindow_ && mainWindow_->isVisible())
        mainWindow_->close();
}

QStringList Driver::report() const {
    QStringList out;
    QStringList kinds;
    for (const auto& [kind, n] : kinds_)
        kinds << QString("%1 %2").arg(n).arg(kind);
    out << QString("actions: %1").arg(kinds.join(", "));
    out << QString("windows seen (%1): %2")
               .arg(windowsSeen_.size())
               .arg(QStringList(windowsSeen_.begin(), windowsSeen_.end()).join("; "));
    out << QString("controls aimed at: %1").arg(aimedAt_.size());
    out << QString("tabs seen (%1): %2")
               .arg(tabsSeen_.size())
               .arg(QStringList(tabsSeen_.begin(), tabsSeen_.end()).join("; "));
    return out;
}

} // namespace fw::monkey
