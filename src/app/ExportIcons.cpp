// export_icons OUTDIR SIZE...: writes the window's icon drawing (DrawAppIcon) as
// OUTDIR/<size>/dsadmin.png for each size, and as OUTDIR/scalable/dsadmin.svg for the size
// "scalable" (drawn at 48 units, with every detail), for the hicolor icon theme. Runs at build
// time; needs no display.
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <cstdio>

#include "app/AppIcon.h"

namespace {

bool WriteSvg(const QString& file) {
    constexpr int kUnits = 48;
    QSvgGenerator svg;
    svg.setFileName(file);
    svg.setSize(QSize(kUnits, kUnits));
    svg.setViewBox(QRect(0, 0, kUnits, kUnits));
    svg.setTitle(QStringLiteral("dsadmin"));
    QPainter p;
    if (!p.begin(&svg)) return false;
    dsadmin::DrawAppIcon(p, kUnits);
    return p.end() && QFileInfo(file).size() > 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc < 3) {
        std::fputs("usage: export_icons OUTDIR SIZE...|scalable\n", stderr);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString out = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i < argc; ++i) {
        const QString name = QString::fromLatin1(argv[i]);
        const QString folder = out + QLatin1Char('/') + name;
        bool ok = QDir().mkpath(folder);
        if (name == QLatin1String("scalable")) {
            ok = ok && WriteSvg(folder + QStringLiteral("/dsadmin.svg"));
        } else {
            const int size = name.toInt();
            ok = ok && size > 0 &&
                 dsadmin::AppIconImage(size).save(folder + QStringLiteral("/dsadmin.png"), "PNG");
        }
        if (!ok) {
            std::fprintf(stderr, "export_icons: cannot write the %s icon in %s\n", argv[i],
                         argv[1]);
            return 1;
        }
    }
    return 0;
}
