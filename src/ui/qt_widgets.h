#pragma once

#include <QFrame>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QStringList>
#include <QVector>

#include <functional>
#include <initializer_list>
#include <string>
#include <utility>

class QAbstractButton;
class QComboBox;
class QButtonGroup;
class QCheckBox;
class QGridLayout;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSlider;
class QSpinBox;

namespace fw {

// A group box that repaints what changes inside its frame cheaply. A style draws a group box's
// frame and caption whole on every paint (Fusion shapes the caption's text and looks up its frame
// image each time), even when only a child within it changed, such as a beat indicator four
// times a bar. Where the style leaves the inside of the frame one even colour, a paint that lies
// wholly inside is that colour's fill; any other paint is the style's own.
class GroupBox : public QGroupBox {
    Q_OBJECT
public:
    explicit GroupBox(const QString& title, QWidget* parent = nullptr);
    // Paints answered by the fill, for those who watch the cost of a repaint.
    int filledPaints() const { return filledPaints_; }
    // Whether the style paints an area of the box (in its own coordinates) one even colour.
    bool evenInside(const QRect& area);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // What the style drew inside the frame, taken again after any change of look or size.
    void learnInside();
    // Whether the inside is one colour, learning it first where it may have changed.
    bool learntInside();

    bool learnt_ = false;
    QRect inside_; // the contents, where the style paints them one colour (empty: it does not)
    QColor insideColour_;
    QString learntTitle_;
    qreal learntRatio_ = 1.0;
    int filledPaints_ = 0;
};

// A radio button that shows a look it has shown before as a copy of it. A style draws a radio
// button's indicator and lays out its text anew on every paint; a beat indicator changes two
// buttons four times a bar. Under Fusion, on the even inside of a group box and on the way to
// the screen, the first paint of each look after a change of choice is the style's and is kept
// as it reached the screen, so that a return to that look is the same picture; any change of
// look, place or size, or any other paint, goes to the style.
class RadioButton : public QRadioButton {
    Q_OBJECT
public:
    explicit RadioButton(const QString& text, QWidget* parent = nullptr);
    // Paints answered by a kept look, and the looks kept, for those who watch the cost of a
    // repaint and of its memory.
    int copiedPaints() const { return copiedPaints_; }
    int keptLooks() const { return (looks_[0].state >= 0) + (looks_[1].state >= 0); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Look {
        int state = -1; // QStyle::State, -1: none kept
        QRect pixels;   // where it was taken from the screen's image
        QString text;   // a new text sends no change event
        QImage picture;
    };
    // The screen's image this paint goes to, and where this button lies in it, when a look may
    // be kept from it or drawn; null for any other paint (a grab, a render, a print).
    QImage* screenImage(QRect* pixels) const;
    bool keepsLooks();
    void forgetLooks();

    Look looks_[2];           // checked and not, as the choices come and go
    int paintedChecked_ = -1; // whether it was checked at its last paint to the screen
    int copiedPaints_ = 0;
};

// Makes a combo box take typed text. Unlike QComboBox::setEditable, this leaves the box's list to
// be built when it first drops down: a style that shows the list as a popup menu builds it at
// once otherwise, some 24 kB for each box, while most boxes are typed in or never opened.
void makeEditable(QComboBox* box);

// A captioned group of exclusive choices addressed by item index (-1: none chosen).
class RadioGroup : public GroupBox {
    Q_OBJECT
public:
    RadioGroup(const QString& name, const QString& caption, const QStringList& items, int columns,
               QWidget* parent = nullptr);
    int itemIndex() const;
    // Sets the choice without reporting it as a user action.
    void setItemIndex(int index);
    int count() const { return static_cast<int>(buttons_.size()); }
    QRadioButton* item(int index) const { return buttons_.value(index); }

signals:
    // Only the user's clicks.
    void itemClicked(int index);

private:
    QButtonGroup* group_;
    QVector<QRadioButton*> buttons_;
};

// A raised caption panel that acts like a button when clicked. The caption may carry "&" before
// its accelerator character, which is shown underlined.
class Panel : public QLabel {
    Q_OBJECT
public:
    Panel(const QString& name, const QString& caption, QWidget* parent = nullptr);
    QString caption() const { return caption_; }
    void setCaption(const QString& caption);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    QString caption_;
};

// A tab's page made the first time it is shown, or the first time the program reaches into it
// (through a Deferred handle), so that pages a player may never open cost nothing at start. Once
// made it is the page it would have been: the same controls, names and focus order.
class DeferredPage : public QWidget {
    Q_OBJECT
public:
    // build makes the page's contents with the given parent and returns them.
    DeferredPage(std::function<QWidget*(QWidget*)> build, QWidget* parent);
    void build();
    bool built() const { return contents_ != nullptr; }

signals:
    // The contents are made (and in their place in the focus order).
    void made();

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::function<QWidget*(QWidget*)> build_;
    QWidget* contents_ = nullptr;
};

// A control on a DeferredPage: reaching it makes the page; ifBuilt() tells without.
template <typename T> class Deferred {
public:
    void on(DeferredPage* page) { page_ = page; }
    Deferred& operator=(T* made) {
        p_ = made;
        return *this;
    }
    T* get() const {
        if (!p_ && page_)
            page_->build();
        return p_;
    }
    T* operator->() const { return get(); }
    operator T*() const { return get(); }
    T* ifBuilt() const { return p_; }

private:
    DeferredPage* page_ = nullptr;
    T* p_ = nullptr;
};

// Appends lines, several separated by LF, to the end of a log view; nothing when it is null.
// Never scans the text.
void appendLogLines(QPlainTextEdit* view, const std::string& lines);

// A multi-line text box in a fixed-width font with no wrapping, as the logs and memories use.
QPlainTextEdit* makeMemo(const QString& name, QWidget* parent = nullptr);

// A named push button that never acts as a dialog's default button.
QPushButton* makeButton(const QString& name, const QString& caption, QWidget* parent);

// A named check box.
QCheckBox* makeCheckBox(const QString& name, const QString& caption, bool checked, QWidget* parent);

// An expression bar: vertical, its position values growing downwards (the top is the minimum).
QSlider* makeVerticalBar(const QString& name, int min, int max, int position, QWidget* parent);

// The bars side by side, each under its one-letter caption ("P", "T", "V").
QGridLayout* makeBarRow(std::initializer_list<std::pair<const char*, QSlider*>> bars,
                        QWidget* parent);

// Controls show the core's state through these, so that a change made by code never echoes
// back as a user action: signals are blocked while the control is set, and a control that
// already shows the value is left alone. A null control is skipped.
void mirrorChecked(QAbstractButton* button, bool on);
// The value is brought into the control's range first.
void mirrorValue(QSlider* bar, int value);
void mirrorValue(QSpinBox* box, int value);
void mirrorRow(QListWidget* list, int row);
// A label has no signals, and a line edit's user signal (textEdited) is never raised by code:
// text is only left alone when it is already shown.
void mirrorText(QLineEdit* box, const QString& text);
void mirrorText(QLabel* label, const QString& text);

} // namespace fw
