#include "beats/qt_beat_manager_page.h"

#include "beats/beat_instrument.h"
#include "engine/instruments.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace fw {

BeatManagerPage::BeatManagerPage(MidiOutput& output, QWidget* parent)
    : QWidget(parent), output_(output) {
    setObjectName("BeatManagerPage");
    auto* layout = new QHBoxLayout(this);
    auto* column = new QVBoxLayout;
    column->addWidget(new QLabel("Beat Instrument", this));
    ListBox5 = new QListWidget(this);
    ListBox5->setObjectName("ListBox5");
    for (const auto& item : instrumentItems())
        ListBox5->addItem(QString::fromStdString(item));
    // An entry is chosen from the start, so the first recording announces a real program.
    ListBox5->setCurrentRow(0);
    ListBox5->setFixedWidth(190);
    column->addWidget(ListBox5, 1);
    layout->addLayout(column);
    layout->addStretch(1);

    connect(ListBox5, &QListWidget::itemClicked, this, [this] { ListBox5Click(); });
    // Moving through the list with the keyboard announces too; a mouse press also moves the
    // current row, but its click follows and announces once.
    connect(ListBox5, &QListWidget::currentRowChanged, this, [this] {
        if (QGuiApplication::mouseButtons() == Qt::NoButton)
            ListBox5Click();
    });
}

void BeatManagerPage::ListBox5Click() {
    announceBeatInstrument(output_, ListBox5->currentRow());
}

} // namespace fw
