#include "ui/qt_widgets.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

#include <QBackingStore>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOption>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>
#include <QtMath>

namespace fw {

void makeEditable(QComboBox* box) {
    if (!box->isEditable())
        box->setLineEdit(new QLineEdit(box));
}

GroupBox::GroupBox(const QString& title, QWidget* parent) : QGroupBox(title, parent) {}

void GroupBox::learnInside() {
    learnt_ = true;
    learntTitle_ = title();
    learntRatio_ = devicePixelRatioF();
    inside_ = {};
    const QRect contents = contentsRect().intersected(rect());
    if (contents.isEmpty())
        return;
    // The style's own paint of the contents, a band of rows at a time so that a large box needs
    // no image of its whole size.
    constexpr int kBandRows = 32;
    QStyleOptionGroupBox option;
    initStyleOption(&option);
    const QSize pixels(qCeil(contents.width() * learntRatio_), qCeil(kBandRows * learntRatio_));
    QImage band(pixels, QImage::Format_ARGB32_Premultiplied);
    band.setDevicePixelRatio(learntRatio_);
    std::optional<QRgb> colour;
    for (int top = contents.top(); top <= contents.bottom(); top += kBandRows) {
        const int rows = std::min(kBandRows, contents.bottom() + 1 - top);
        band.fill(Qt::transparent);
        {
            QPainter painter(&band);
            painter.translate(-contents.left(), -top);
            style()->drawComplexControl(QStyle::CC_GroupBox, &option, &painter, this);
        }
        const int lastRow = std::min(band.height(), qCeil(rows * learntRatio_)) - 1;
        for (int y = 0; y <= lastRow; ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(band.constScanLine(y));
            if (!colour)
                colour = line[0];
            for (int x = 0; x < band.width(); ++x)
                if (line[x] != *colour)
                    return; // not one colour: every paint is the style's
        }
    }
    inside_ = contents;
    insideColour_ = QColor::fromRgba(qUnpremultiply(*colour));
}

void GroupBox::paintEvent(QPaintEvent* event) {
    const QRegion& region = event->region();
    // Only a paint inside the contents can be a fill; a whole paint (a show, a resize) is the
    // style's, and so is anything about a check box in the caption.
    if (!isCheckable() && region.subtracted(contentsRect()).isEmpty()) {
        if (learntInside() && region.subtracted(inside_).isEmpty()) {
            ++filledPaints_;
            if (insideColour_.alpha() > 0) {
                QPainter painter(this);
                for (const QRect& r : region)
                    painter.fillRect(r, insideColour_);
            }
            return;
        }
    }
    QGroupBox::paintEvent(event);
}

void GroupBox::changeEvent(QEvent* event) {
    learnt_ = false; // a new palette, font, style, state or activation may paint otherwise
    QGroupBox::changeEvent(event);
}

void GroupBox::resizeEvent(QResizeEvent* event) {
    learnt_ = false;
    QGroupBox::resizeEvent(event);
}

bool GroupBox::learntInside() {
    if (!learnt_ || learntTitle_ != title() || learntRatio_ != devicePixelRatioF())
        learnInside();
    return !inside_.isEmpty();
}

bool GroupBox::evenInside(const QRect& area) {
    return learntInside() && inside_.contains(area);
}

RadioButton::RadioButton(const QString& text, QWidget* parent) : QRadioButton(text, parent) {}

QImage* RadioButton::screenImage(QRect* pixels) const {
    QBackingStore* store = window()->backingStore();
    QPoint offset;
    QPaintDevice* device = redirected(&offset);
    if (!store || !device || device != store->paintDevice() ||
        device->devType() != QInternal::Image)
        return nullptr;
    auto* image = static_cast<QImage*>(device);
    // A look is taken and drawn whole pixels at a time.
    const qreal ratio = image->devicePixelRatio();
    if (ratio != std::floor(ratio))
        return nullptr;
    const int scale = static_cast<int>(ratio);
    // The paint is redirected to the window's image, this button at minus the offset.
    *pixels = QRect(-offset * scale, size() * scale);
    return image->rect().contains(*pixels) ? image : nullptr;
}

bool RadioButton::keepsLooks() {
    // Fusion draws a radio button from its state alone, with no animation and with every
    // shortcut underlined: the same state is the same picture.
    if (std::strcmp(style()->metaObject()->className(), "QFusionStyle") != 0 || !icon().isNull() ||
        text().contains('&'))
        return false;
    // What shows through around the indicator is the box's even colour, over the window.
    auto* box = qobject_cast<GroupBox*>(parentWidget());
    return box && box->evenInside(geometry());
}

void RadioButton::paintEvent(QPaintEvent* event) {
    QRect pixels;
    QImage* screen = keepsLooks() ? screenImage(&pixels) : nullptr;
    if (!screen) {
        QRadioButton::paintEvent(event);
        return;
    }
    QStyleOptionButton option;
    initStyleOption(&option);
    const int state = static_cast<int>(option.state);
    const int checked = isChecked() ? 1 : 0;
    const bool flipped = paintedChecked_ >= 0 && paintedChecked_ != checked;
    paintedChecked_ = checked;
    Look& look = looks_[checked];
    if (look.state == state && look.pixels == pixels && look.text == option.text) {
        ++copiedPaints_;
        QPainter painter(this);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(QPoint(0, 0), look.picture);
        return;
    }
    QRadioButton::paintEvent(event);
    // Kept for a button whose choice comes and goes, such as a beat indicator's, once it has
    // changed since the last paint, and only when this paint covered the whole button, on what
    // its box painted just before: a button that keeps its choice keeps no picture of it.
    if (flipped && QRegion(rect()).subtracted(event->region()).isEmpty()) {
        look.state = state;
        look.pixels = pixels;
        look.text = option.text;
        look.picture = screen->copy(pixels);
        look.picture.setDevicePixelRatio(screen->devicePixelRatio());
    }
}

void RadioButton::forgetLooks() {
    for (Look& look : looks_)
        look = Look{};
}

void RadioButton::changeEvent(QEvent* event) {
    forgetLooks(); // a new palette, font, style, state or activation may look otherwise
    QRadioButton::changeEvent(event);
}

void RadioButton::moveEvent(QMoveEvent* event) {
    forgetLooks();
    QRadioButton::moveEvent(event);
}

void RadioButton::resizeEvent(QResizeEvent* event) {
    forgetLooks();
    QRadioButton::resizeEvent(event);
}

RadioGroup::RadioGroup(const QString& name, const QString& caption, const QStringList& items,
                       int columns, QWidget* parent)
    : GroupBox(caption, parent), group_(new QButtonGroup(this)) {
    setObjectName(name);
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(4, 2, 4, 2);
    grid->setSpacing(1);
    const int rows = (static_cast<int>(items.size()) + columns - 1) / columns;
    for (int i = 0; i < items.size(); ++i) {
        auto* b = new RadioButton(items[i], this);
        b->setObjectName(name + "_" + QString::number(i));
        group_->addButton(b, i);
        grid->addWidget(b, i % rows, i / rows);
        buttons_.push_back(b);
    }
    connect(group_, &QButtonGroup::idClicked, this, &RadioGroup::itemClicked);
}

int RadioGroup::itemIndex() const {
    return group_->checkedId();
}

void RadioGroup::setItemIndex(int index) {
    if (index == itemIndex())
        return;
    if (index < 0 || index >= count()) {
        group_->setExclusive(false);
        if (auto* b = group_->checkedButton())
            b->setChecked(false);
        group_->setExclusive(true);
        return;
    }
    buttons_[index]->setChecked(true);
}

Panel::Panel(const QString& name, const QString& caption, QWidget* parent) : QLabel(parent) {
    setObjectName(name);
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setLineWidth(2);
    setAlignment(Qt::AlignCenter);
    setTextFormat(Qt::RichText);
    setCaption(caption);
}

void Panel::setCaption(const QString& caption) {
    caption_ = caption;
    QString shown = caption.toHtmlEscaped();
    const int amp = shown.indexOf('&');
    if (amp >= 0 && amp + 1 < shown.size() && !shown.mid(amp).startsWith("&amp;&amp;"))
        shown = caption.left(amp).toHtmlEscaped() + "<u>" +
                caption.mid(amp + 1, 1).toHtmlEscaped() + "</u>" +
                caption.mid(amp + 2).toHtmlEscaped();
    setText(shown);
}

void Panel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        setFrameShadow(QFrame::Sunken);
        emit clicked();
        setFrameShadow(QFrame::Raised);
    }
    QLabel::mousePressEvent(event);
}

void appendLogLines(QPlainTextEdit* view, const std::string& lines) {
    // Insert at the end through a cursor, the line break and the lines in one edit: no re-layout
    // of what is already there and no scan of the existing text, whatever its length.
    if (!view)
        return;
    QTextDocument* doc = view->document();
    QTextCursor cursor(doc);
    cursor.movePosition(QTextCursor::End);
    // A line end the user left after the last line is reused, so no empty line gets in between.
    const QString text = QString::fromStdString(lines);
    cursor.insertText(cursor.block().length() <= 1 ? text : QChar('\n') + text);
}

QPlainTextEdit* makeMemo(const QString& name, QWidget* parent) {
    auto* memo = new QPlainTextEdit(parent);
    memo->setObjectName(name);
    memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    return memo;
}

QPushButton* makeButton(const QString& name, const QString& caption, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

QCheckBox* makeCheckBox(const QString& name, const QString& caption, bool checked,
                        QWidget* parent) {
    auto* c = new QCheckBox(caption, parent);
    c->setObjectName(name);
    c->setChecked(checked);
    return c;
}

QSlider* makeVerticalBar(const QString& name, int min, int max, int position, QWidget* parent) {
    auto* s = new QSlider(Qt::Vertical, parent);
    s->setObjectName(name);
    s->setRange(min, max);
    s->setValue(position);
    s->setInvertedAppearance(true);
    s->setInvertedControls(true);
    s->setPageStep(std::max(1, (max - min) / 20));
    return s;
}

QGridLayout* makeBarRow(std::initializer_list<std::pair<const char*, QSlider*>> bars,
                        QWidget* parent) {
    auto* grid = new QGridLayout;
    grid->setSpacing(2);
    int column = 0;
    for (auto [caption, slider] : bars) {
        auto* label = new QLabel(caption, parent);
        label->setAlignment(Qt::AlignHCenter);
        grid->addWidget(label, 0, column);
        grid->addWidget(slider, 1, column, Qt::AlignHCenter);
        ++column;
    }
    return grid;
}

void mirrorChecked(QAbstractButton* button, bool on) {
    if (button && button->isChecked() != on) {
        const QSignalBlocker block(button);
        button->setChecked(on);
    }
}

namespace {
template <typename Control> void mirrorClampedValue(Control* control, int value) {
    if (!control)
        return;
    value = std::clamp(value, control->minimum(), control->maximum());
    if (control->value() != value) {
        const QSignalBlocker block(control);
        control->setValue(value);
    }
}
} // namespace

void mirrorValue(QSlider* bar, int value) {
    mirrorClampedValue(bar, value);
}

void mirrorValue(QSpinBox* box, int value) {
    mirrorClampedValue(box, value);
}

void mirrorRow(QListWidget* list, int row) {
    if (list && list->currentRow() != row) {
        const QSignalBlocker block(list);
        list->setCurrentRow(row);
    }
}

void mirrorText(QLineEdit* box, const QString& text) {
    if (box && box->text() != text)
        box->setText(text);
}

void mirrorText(QLabel* label, const QString& text) {
    if (label && label->text() != text)
        label->setText(text);
}

DeferredPage::DeferredPage(std::function<QWidget*(QWidget*)> build, QWidget* parent)
    : QWidget(parent), build_(std::move(build)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
}

void DeferredPage::build() {
    if (contents_ || !build_)
        return;
    const auto build = std::move(build_);
    build_ = nullptr;
    contents_ = build(this);
    layout()->addWidget(contents_);
    // Widgets made now join the end of the window's focus chain. Tab is to reach them where the
    // page stands, as it would had they been made with it: after the control before the page.
    QWidget* anchor = previousInFocusChain();
    while (anchor != this && anchor->focusPolicy() == Qt::NoFocus)
        anchor = anchor->previousInFocusChain();
    if (anchor != this && !isAncestorOf(anchor)) { // else nothing takes focus before the page
        QList<QWidget*> focusable;
        for (QWidget* w = window()->nextInFocusChain(); w != window(); w = w->nextInFocusChain())
            if (contents_->isAncestorOf(w) && w->focusPolicy() != Qt::NoFocus)
                focusable.append(w);
        for (QWidget* w : focusable) {
            QWidget::setTabOrder(anchor, w);
            anchor = w;
        }
    }
    emit made();
}

void DeferredPage::showEvent(QShowEvent* event) {
    // Made before the first paint, and shown with the page (its children showed before this).
    const bool making = !contents_;
    build();
    if (making && contents_)
        contents_->show();
    QWidget::showEvent(event);
}

} // namespace fw
