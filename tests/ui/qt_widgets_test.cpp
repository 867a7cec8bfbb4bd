#include "ui/qt_widgets.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPalette>
#include <QScreen>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <vector>

namespace fw {
namespace {

// State shown by code raises none of the signals a window takes for a user's change, and a
// value already shown is not set again.
TEST(Mirror, SetsControlsWithoutEchoingAsUserChanges) {
    QCheckBox box;
    QSlider bar;
    bar.setRange(1, 255);
    QSpinBox spin;
    spin.setRange(0, 50);
    QListWidget list;
    list.addItems({"a", "b", "c"});
    QLineEdit edit;
    QSignalSpy toggled(&box, &QCheckBox::toggled), moved(&bar, &QSlider::valueChanged),
        spun(&spin, &QSpinBox::valueChanged), row(&list, &QListWidget::currentRowChanged),
        edited(&edit, &QLineEdit::textChanged);

    for (int pass = 0; pass < 2; ++pass) {
        mirrorChecked(&box, true);
        mirrorValue(&bar, 300); // beyond the range: its end
        mirrorValue(&spin, 20);
        mirrorRow(&list, 2);
        mirrorText(&edit, "0123");
    }
    EXPECT_TRUE(box.isChecked());
    EXPECT_EQ(bar.value(), 255);
    EXPECT_EQ(spin.value(), 20);
    EXPECT_EQ(list.currentRow(), 2);
    EXPECT_EQ(edit.text(), "0123");
    EXPECT_EQ(toggled.count() + moved.count() + spun.count() + row.count(), 0);
    EXPECT_EQ(edited.count(), 1); // set once: the second pass found it shown
    mirrorChecked(nullptr, true);
    mirrorValue(static_cast<QSlider*>(nullptr), 1);
}

// A box made editable takes typed text and drops down its whole list, and builds that list only
// when it first drops down.
TEST(EditableBox, TakesTypingAndBuildsItsListOnFirstDrop) {
    QComboBox box;
    box.addItems({"1", "2", "3"});
    box.setInsertPolicy(QComboBox::NoInsert);
    makeEditable(&box);
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    ASSERT_TRUE(box.isEditable());
    EXPECT_EQ(box.findChild<QFrame*>(), nullptr); // no list yet
    box.lineEdit()->selectAll();
    QTest::keyClicks(box.lineEdit(), "3");
    QTest::keyClick(box.lineEdit(), Qt::Key_Return);
    EXPECT_EQ(box.currentIndex(), 2);
    EXPECT_EQ(box.count(), 3); // typed text chose an item, added none
    box.showPopup();
    EXPECT_EQ(box.view()->model()->rowCount(), 3);
    EXPECT_EQ(box.view()->verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
    box.hidePopup();
}

// Most channel difference of two images over an area.
int mostDifference(const QImage& a, const QImage& b, const QRect& area) {
    int most = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            for (int shift : {0, 8, 16, 24})
                most = std::max(most, std::abs(int((p >> shift) & 255) - int((q >> shift) & 255)));
        }
    return most;
}

// A page made later is the page it would have been: made once, when its tab is shown or a control
// on it is reached, and Tab reaches its controls where the page stands.
TEST(DeferredPage, IsMadeOnceWhenShownOrReachedAndTakesItsPlaceInTheTabOrder) {
    const auto edit = [](const char* name, QWidget* parent, QLayout* layout) {
        auto* e = new QLineEdit(parent);
        e->setObjectName(name);
        layout->addWidget(e);
        return e;
    };
    const auto page = [&](std::vector<const char*> names, QWidget* parent) {
        auto* w = new QWidget(parent);
        auto* layout = new QVBoxLayout(w);
        for (const char* name : names)
            edit(name, w, layout);
        return w;
    };
    for (const bool byShowing : {true, false}) {
        SCOPED_TRACE(byShowing ? "shown" : "reached");
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        edit("before", &window, layout);
        auto* tabs = new QTabWidget(&window);
        layout->addWidget(tabs);
        tabs->addTab(page({"a"}, tabs), "A");
        int made = 0;
        Deferred<QLineEdit> b1;
        auto* deferred = new DeferredPage(
            [&](QWidget* parent) {
                ++made;
                QWidget* w = page({"b1", "b2"}, parent);
                b1 = w->findChild<QLineEdit*>("b1");
                return w;
            },
            tabs);
        b1.on(deferred);
        tabs->addTab(deferred, "B");
        tabs->addTab(page({"c"}, tabs), "C");
        edit("after", &window, layout);
        window.show();
        EXPECT_EQ(made, 0);
        EXPECT_EQ(b1.ifBuilt(), nullptr);
        if (byShowing)
            tabs->setCurrentIndex(1);
        else
            EXPECT_NE(static_cast<QLineEdit*>(b1), nullptr);
        EXPECT_EQ(made, 1);
        EXPECT_TRUE(deferred->built());
        // Shown at once with its page, without waiting for the event loop.
        EXPECT_EQ(b1->isVisible(), byShowing);
        tabs->setCurrentIndex(1);
        tabs->setCurrentIndex(0);
        tabs->setCurrentIndex(1);
        EXPECT_TRUE(b1->isVisible());
        EXPECT_EQ(made, 1);
        QStringList order;
        for (QWidget* w = window.nextInFocusChain(); w != &window; w = w->nextInFocusChain())
            if (qobject_cast<QLineEdit*>(w))
                order << w->objectName();
        EXPECT_EQ(order, QStringList({"before", "a", "b1", "b2", "c", "after"}));
    }
}

// A repaint of part of a group box, through its children, looks as a whole paint of it does,
// whether the part lies inside the frame (a fill) or crosses it (the style's paint), and after
// a change of look or caption too.
TEST(GroupBox, PartialRepaintsLookAsTheWholePaint) {
    GroupBox box("Metronome");
    auto* layout = new QVBoxLayout(&box);
    auto* one = new QRadioButton("1", &box);
    auto* two = new QRadioButton("2", &box);
    layout->addWidget(one);
    layout->addWidget(two);
    box.resize(220, 120);
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));

    struct Case {
        const char* what;
        std::function<void()> change;
        std::function<QRect()> area; // the region repainted
        bool filled;
    };
    const std::vector<Case> cases = {
        {"a choice inside", [] {}, [&] { return two->geometry(); }, true},
        {"the choice again", [&] { two->setChecked(true); }, [&] { return two->geometry(); }, true},
        {"across the frame", [] {}, [&] { return QRect(0, 0, 40, 120); }, false},
        {"disabled", [&] { box.setEnabled(false); }, [&] { return one->geometry(); }, true},
        {"a new caption", [&] { box.setTitle("Beat"); }, [&] { return one->geometry(); }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.change();
        const QRect area = c.area();
        const QImage whole = box.grab().toImage().convertToFormat(QImage::Format_ARGB32);
        QImage part(whole.size(), QImage::Format_ARGB32);
        part.fill(Qt::transparent);
        const int before = box.filledPaints();
        box.render(&part, area.topLeft(), QRegion(area));
        EXPECT_EQ(box.filledPaints() > before, c.filled);
        EXPECT_LE(mostDifference(whole, part, area.intersected(whole.rect())), 1);
    }
}

// The radio buttons of a group box show on the screen what the style draws now, through changes
// of choice, state, text and colour, while a return to a look shown before is a copy of it.
TEST(RadioButton, ReturnsToALookAsACopyOfWhatTheStyleDrew) {
    GroupBox box("Metronome");
    auto* layout = new QHBoxLayout(&box);
    std::vector<RadioButton*> beats;
    for (int i = 1; i <= 4; ++i) {
        beats.push_back(new RadioButton(QString::number(i), &box));
        layout->addWidget(beats.back());
    }
    box.resize(260, 70);
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    const auto copies = [&] {
        int n = 0;
        for (const RadioButton* b : beats)
            n += b->copiedPaints();
        return n;
    };
    for (int i = 0; i < 2; ++i) // painted again, unchanged
        box.repaint();
    for (const RadioButton* b : beats)
        EXPECT_EQ(b->keptLooks(), 0) << "a choice that stays keeps no picture";
    QPalette red = box.palette();
    red.setColor(QPalette::WindowText, Qt::red);

    struct Case {
        const char* what;
        std::function<void()> change;
        bool copied; // some button must show a kept look
    };
    const std::vector<Case> cases = {
        {"the first beat", [&] { beats[0]->setChecked(true); }, false},
        {"the second beat", [&] { beats[1]->setChecked(true); }, false},
        {"back to the first", [&] { beats[0]->setChecked(true); }, true},
        {"a new text", [&] { beats[1]->setText("2!"); }, false},
        {"a new colour", [&] { box.setPalette(red); }, false},
        {"disabled", [&] { box.setEnabled(false); }, false},
        {"the next beat, disabled", [&] { beats[2]->setChecked(true); }, false},
        {"back, disabled", [&] { beats[0]->setChecked(true); }, false},
        {"and on again", [&] { beats[2]->setChecked(true); }, true},
        {"held down", [&] { beats[2]->setDown(true); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const int before = copies();
        c.change();
        QApplication::processEvents();
        const QImage shown = box.screen()->grabWindow(box.winId()).toImage();
        const QImage drawn = box.grab().toImage(); // the style's paint, never a copy
        ASSERT_EQ(shown.size(), drawn.size());
        EXPECT_EQ(mostDifference(shown.convertToFormat(QImage::Format_ARGB32),
                                 drawn.convertToFormat(QImage::Format_ARGB32), shown.rect()),
                  0);
        EXPECT_TRUE(!c.copied || copies() > before);
    }
}

} // namespace
} // namespace fw
