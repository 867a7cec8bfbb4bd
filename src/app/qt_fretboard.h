#pragma once

#include <QRadioButton>
#include <QWidget>

#include <array>

namespace fw {

// The picture of a guitar neck under the thirteen fret radio buttons: the open strings at the
// nut, then twelve frets spaced as on a real neck, with the usual inlays.
class FretboardPicture : public QWidget {
    Q_OBJECT
public:
    explicit FretboardPicture(QWidget* parent = nullptr);
    // FretButton1..13 as 1..13.
    const std::array<QRadioButton*, 14>& buttons() const { return buttons_; }
    QSize sizeHint() const override { return {440, 62}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Left edge of fret space k (1 = the nut area), as a fraction of the width.
    double spaceLeft(int k) const;
    std::array<QRadioButton*, 14> buttons_{};
};

} // namespace fw
