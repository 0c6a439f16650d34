#include "app/AppIcon.h"

#include <QIconEngine>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace dsadmin {
namespace {

// One disc of the drum: the side band from `top` down `height`, with its elliptic lid.
void DrawDisc(QPainter& p, const QRectF& body, qreal top, qreal height, qreal lid, bool withLid) {
    QLinearGradient side(body.left(), 0, body.right(), 0);
    side.setColorAt(0.0, QColor(20, 70, 140));
    side.setColorAt(0.45, QColor(90, 160, 230));
    side.setColorAt(1.0, QColor(15, 55, 120));
    QPainterPath band;
    band.moveTo(body.left(), top + lid / 2);
    band.arcTo(QRectF(body.left(), top + height - lid / 2, body.width(), lid), 180, 180);
    band.lineTo(body.right(), top + lid / 2);
    band.arcTo(QRectF(body.left(), top, body.width(), lid), 0, -180);
    band.closeSubpath();
    p.setBrush(side);
    p.drawPath(band);
    if (withLid) {
        p.setBrush(QColor(150, 200, 245));
        p.drawEllipse(QRectF(body.left(), top, body.width(), lid));
    }
}

void DrawKey(QPainter& p, int size) {
    const qreal s = size / 48.0;
    p.setBrush(QColor(240, 190, 40));
    p.setPen(QPen(QColor(120, 80, 0), qMax<qreal>(1.0, 1.2 * s)));
    p.drawEllipse(QPointF(34 * s, 33 * s), 7 * s, 7 * s);
    p.drawRect(QRectF(37 * s, 31 * s, 9 * s, 4 * s));
    if (size >= 24) {
        p.setBrush(QColor(120, 80, 0));
        p.drawEllipse(QPointF(33 * s, 33 * s), 2.2 * s, 2.2 * s);
    }
}

// Draws the four images when the icon is first asked for one: X11 asks when the window is
// created, offscreen (and Wayland, in this Qt) never do. Every request goes to the icon the
// four images make, so sizes, modes and scaling are Qt's own.
class AppIconEngine : public QIconEngine {
  public:
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        drawn().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return drawn().actualSize(size, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return drawn().pixmap(size, mode, state);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override {
        return drawn().pixmap(size, scale, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
        return drawn().availableSizes(mode, state);
    }
    bool isNull() override { return false; }
    QString key() const override { return QStringLiteral("dsadmin-app-icon"); }
    QIconEngine* clone() const override { return new AppIconEngine(*this); }

  private:
    const QIcon& drawn() {
        if (icon_.isNull()) {
            for (int size : {48, 32, 24, 16})
                icon_.addPixmap(QPixmap::fromImage(AppIconImage(size)));
        }
        return icon_;
    }

    QIcon icon_;
};

}  // namespace

void DrawAppIcon(QPainter& p, int size) {
    p.setRenderHint(QPainter::Antialiasing, size >= 24);
    p.setPen(QPen(QColor(10, 35, 80), size >= 32 ? 1.5 : 1.0));
    const qreal s = size / 48.0;
    const QRectF body(4 * s, 3 * s, 32 * s, 40 * s);
    const qreal lid = 10 * s;
    const int discs = size >= 24 ? 3 : 2;
    const qreal step = (body.height() - lid) / discs;
    for (int i = discs - 1; i >= 0; --i) {
        DrawDisc(p, body, body.top() + i * step, step + lid / 2, lid, i == 0);
    }
    DrawKey(p, size);
}

QImage AppIconImage(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    DrawAppIcon(p, size);
    return image;
}

QIcon AppIcon() {
    return QIcon(new AppIconEngine);
}

}  // namespace dsadmin
