// The icon files the package installs come from the window's own drawing: the SVG that
// export_icons wrote at build time draws, at 48 pixels, exactly the window's 48-pixel icon;
// and the window's icon is that drawing.
#include <gtest/gtest.h>

#include <QIcon>
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

// The window's icon draws its images only when asked, and then hands out exactly the drawn
// images at the four sizes it holds; other sizes and modes are Qt's, from those images.
TEST(AppIcon, WindowIconHandsOutTheDrawnImages) {
    test::QtApp();
    const QIcon icon = AppIcon();
    ASSERT_FALSE(icon.isNull());
    for (int size : {48, 32, 24, 16}) {
        EXPECT_EQ(icon.pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied),
                  AppIconImage(size))
            << size;
    }
    EXPECT_EQ(icon.pixmap(20).size(), QSize(20, 20));
    EXPECT_EQ(icon.pixmap(64).size(), QSize(48, 48));
    EXPECT_FALSE(icon.pixmap(24, QIcon::Disabled).isNull());
}

}  // namespace
}  // namespace dsadmin
