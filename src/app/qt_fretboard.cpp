#include "app/qt_fretboard.h"

#include <QLinearGradient>
#include <QPainter>

#include <cmath>

namespace fw {

namespace {
constexpr double kNutShare = 0.07; // the open-string area left of the nut
// Position of fret n on a neck, as a share of the length up to the twelfth fret.
double fretShare(int n) {
    return (1.0 - std::pow(2.0, -n / 12.0)) / 0.5;
}
} // namespace

FretboardPicture::FretboardPicture(QWidget* parent) : QWidget(parent) {
    setObjectName("Fretboard");
    setMinimumSize(360, 56);
    for (int n = 1; n <= 13; ++n) {
        auto* b = new QRadioButton(this);
        b->setObjectName(QString("FretButton%1").arg(n));
        b->setToolTip(n == 1 ? QString("Open strings") : QString("Fret %1").arg(n - 1));
        buttons_[n] = b;
    }
    buttons_[1]->setChecked(true);
}

double FretboardPicture::spaceLeft(int k) const {
    if (k <= 1)
        return 0.0;
    // Space k lies between fret k-2 (0 = nut) and fret k-1.
    return kNutShare + (1.0 - kNutShare - 0.01) * fretShare(k - 2);
}

void FretboardPicture::resizeEvent(QResizeEvent*) {
    const int w = width();
    const int y = height() / 2;
    for (int k = 1; k <= 13; ++k) {
        const double left = spaceLeft(k);
        const double right = k == 13 ? 1.0 - 0.01 : spaceLeft(k + 1);
        const QSize hint = buttons_[k]->sizeHint();
        const int cx = static_cast<int>((left + right) / 2 * w);
        buttons_[k]->setGeometry(cx - hint.width() / 2, y - hint.height() / 2, hint.width(),
                                 hint.height());
    }
}

void FretboardPicture::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const int w = width();
    const int h = height();
    const int nutX = static_cast<int>(kNutShare * w);
    const QRectF neck(nutX, 4, w - nutX - 1, h - 8);

    QLinearGradient wood(neck.topLeft(), neck.bottomLeft());
    wood.setColorAt(0, QColor(92, 58, 33));
    wood.setColorAt(0.5, QColor(120, 78, 44));
    wood.setColorAt(1, QColor(86, 54, 30));
    p.fillRect(neck, wood);
    p.fillRect(QRectF(0, 4, nutX, h - 8), QColor(60, 40, 25));

    // Inlays on frets 3, 5, 7, 9 and a double dot on 12.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(235, 228, 210));
    for (int fret : {3, 5, 7, 9, 12}) {
        const double cx =
            (spaceLeft(fret + 1) + (fret == 12 ? 1.0 - 0.01 : spaceLeft(fret + 2))) / 2 * w;
        if (fret == 12) {
            p.drawEllipse(QPointF(cx, h * 0.22), 3.5, 3.5);
            p.drawEllipse(QPointF(cx, h * 0.78), 3.5, 3.5);
        } else {
            p.drawEllipse(QPointF(cx, h * 0.22), 3.5, 3.5);
        }
    }

    // Frets, and the nut drawn wider.
    p.setPen(QPen(QColor(230, 230, 235), 5));
    p.drawLine(QPointF(nutX, 4), QPointF(nutX, h - 4));
    p.setPen(QPen(QColor(200, 200, 208), 2));
    for (int fret = 1; fret <= 12; ++fret) {
        const double x = spaceLeft(fret + 2) * w;
        p.drawLine(QPointF(x, 4), QPointF(x, h - 4));
    }

    // Six strings, the low ones thicker.
    for (int s = 0; s < 6; ++s) {
        const double y = 8 + (h - 16) * s / 5.0;
        p.setPen(QPen(QColor(210, 200, 170), 0.6 + 0.35 * s));
        p.drawLine(QPointF(0, y), QPointF(w, y));
    }
}

} // namespace fw
