#include "ui/qt_widgets.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <gtest/gtest.h>

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

} // namespace
} // namespace fw
