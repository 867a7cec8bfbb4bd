#pragma once

#include "engine/log_sink.h"

#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QStringList>
#include <QVector>

#include <initializer_list>
#include <utility>

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QGridLayout;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSlider;
class QSpinBox;

namespace fw {

// A captioned group of exclusive choices addressed by item index (-1: none chosen).
class RadioGroup : public QGroupBox {
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

// A text log view that the play engine appends to. Appending never scans the text.
class MemoLog final : public LogSink {
public:
    explicit MemoLog(QPlainTextEdit* view = nullptr) : view_(view) {}
    void appendLine(const std::string& line) override;
    void setView(QPlainTextEdit* view) { view_ = view; }
    QPlainTextEdit* view() const { return view_; }
    // Every line appended also goes here at once (the take's journal on disk); nothing when null.
    void setTee(LogSink* tee) { tee_ = tee; }

protected:
    // Appended lines wait and go into the view together when the last batch ends.
    void hold() override { ++batchDepth_; }
    void release() override {
        if (--batchDepth_ == 0)
            flush();
    }

private:
    void insert(const QString& lines);
    void flush();

    QPlainTextEdit* view_;
    LogSink* tee_ = nullptr;
    int batchDepth_ = 0;
    QStringList pending_;
};

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
