#include "config/qt_starter_set_group.h"

#include "config/starter_set.h"
#include "engine/prompts.h"
#include "ui/qt_widgets.h"

#include <QCoreApplication>
#include <QHBoxLayout>

namespace fw {

StarterSetGroup::StarterSetGroup(Prompts& prompts, std::optional<std::string> starterSet,
                                 std::function<void(const WholeSet&)> place, QWidget* parent)
    : QWidget(parent), prompts_(prompts), starterSet_(std::move(starterSet)),
      place_(std::move(place)) {
    setObjectName("StarterSetGroup");
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    LoadStarterSetButton = makeButton("LoadStarterSetButton", "Load Starter Set", this);
    row->addWidget(LoadStarterSetButton);
    StarterSetNote = new QLabel(this);
    StarterSetNote->setObjectName("StarterSetNote");
    // Said on the button, for the tab's narrow row.
    LoadStarterSetButton->setToolTip(starterSet_ ? "Sixteen open chords in four sets, four pick "
                                                   "sets and a beat, to play at once"
                                                 : "The starter set is not installed.");
    StarterSetNote->hide();
    row->addWidget(StarterSetNote, 1);
    LoadStarterSetButton->setEnabled(starterSet_.has_value());
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(LoadStarterSetButton, &QPushButton::clicked, this,
            &StarterSetGroup::LoadStarterSetClick);
}

bool StarterSetGroup::LoadStarterSetClick() {
    if (!starterSet_)
        return false;
    std::string error;
    const std::optional<WholeSet> set = readWholeSet(*starterSet_, error);
    if (!set) {
        prompts_.showMessage(error);
        return false;
    }
    place_(*set);
    return true;
}

std::optional<std::string> installedStarterSet() {
    return findStarterSet(QCoreApplication::applicationDirPath().toStdString());
}

} // namespace fw
