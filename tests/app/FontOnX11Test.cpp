// The window's font on a real X server (Xvfb, xcb platform), as an operator sees it: the
// server box's "(local)" and the Chinese captions are drawn with the Song face the window
// asks fontconfig for first, with no other face filling in.
#include <gtest/gtest.h>

#include <QGlyphRun>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QRawFont>
#include <QTest>
#include <QTextLayout>
#include <filesystem>
#include <memory>

#include "QtApp.h"
#include "app/AppSetup.h"
#include "app/frm_Main.h"
#include "support/ScriptedMsgBox.h"

namespace dsadmin {
namespace {

// The families whose glyphs draw `text` in `font`, in order, as the paint engine gets them
// (lower case: Qt keeps the family names as fontconfig matched them).
std::string FamiliesDrawing(const QString& text, const QFont& font) {
    QTextLayout layout(text, font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    QStringList families;
    for (const QGlyphRun& run : layout.glyphRuns()) families << run.rawFont().familyName();
    return families.join(QStringLiteral(", ")).toLower().toStdString();
}

TEST(FontOnX11, ServerNameAndCaptionsAreDrawnWithTheSongFace) {
    QApplication& app = test::QtApp();
    ASSERT_EQ(app.platformName(), QStringLiteral("xcb")) << "run me with under_xvfb.sh";
    char pattern[] = "/tmp/dsadmin-font-XXXXXX";
    const std::string folder = mkdtemp(pattern);
    test::ScriptedMsgBox boxes;
    {
        frm_Main w(frm_Main::Environment{&boxes, [] { return std::string(); }, folder});
        w.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
        ASSERT_EQ(w.Text1->text(), QStringLiteral("(local)"));
        const std::string face = QString::fromLatin1(kSongTiFace).toLower().toStdString();
        EXPECT_EQ(FamiliesDrawing(w.Text1->text(), w.Text1->font()), face);
        EXPECT_EQ(FamiliesDrawing(w.Label1[1]->text(), w.Label1[1]->font()), face);
        EXPECT_EQ(FamiliesDrawing(QStringLiteral("Table0041 正在创建"), w.font()), face);
        EXPECT_DOUBLE_EQ(w.Text1->font().pointSizeF(), 10.5);
    }
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace dsadmin
