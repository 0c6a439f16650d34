// The icon files the package installs come from the window's own drawing: the SVG that
// export_icons wrote at build time draws, at 48 pixels, exactly the window's 48-pixel icon.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include "QtApp.h"
#include "app/AppIcon.h"

namespace dsadmin {
namespace {

TEST(AppIcon, ScalableIconDrawsTheWindowsIcon) {
    test::QtApp();
    QSvgRenderer svg(QStringLiteral(DSADMIN_SCALABLE_ICON));
    ASSERT_TRUE(svg.isValid()) << DSADMIN_SCALABLE_ICON;
    EXPECT_EQ(svg.viewBox(), QRect(0, 0, 48, 48));
    QImage drawn(48, 48, QImage::Format_ARGB32_Premultiplied);
    drawn.fill(Qt::transparent);
    QPainter p(&drawn);
    svg.render(&p);
    p.end();
    const QImage icon = AppIconImage(48);
    int differing = 0;
    for (int y = 0; y < 48; ++y) {
        for (int x = 0; x < 48; ++x) differing += drawn.pixel(x, y) != icon.pixel(x, y);
    }
    EXPECT_LE(differing, 48) << "pixels differing between the SVG and the 48-pixel icon";
}

}  // namespace
}  // namespace dsadmin
