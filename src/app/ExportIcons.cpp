// export_icons OUTDIR SIZE...: writes the window's icon drawing (AppIconImage) as
// OUTDIR/<size>/dsadmin.png for each size, for the hicolor icon theme. Runs at build time;
// needs no display.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <cstdio>

#include "app/AppIcon.h"

int main(int argc, char* argv[]) {
    if (argc < 3) {
        std::fputs("usage: export_icons OUTDIR SIZE...\n", stderr);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString out = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i < argc; ++i) {
        const int size = QString::fromLatin1(argv[i]).toInt();
        const QString folder = out + QLatin1Char('/') + QString::number(size);
        if (size <= 0 || !QDir().mkpath(folder) ||
            !dsadmin::AppIconImage(size).save(folder + QStringLiteral("/dsadmin.png"), "PNG")) {
            std::fprintf(stderr, "export_icons: cannot write the %s-pixel icon in %s\n", argv[i],
                         argv[1]);
            return 1;
        }
    }
    return 0;
}
