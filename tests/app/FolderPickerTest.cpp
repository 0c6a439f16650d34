#include "app/FolderPicker.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QDialogButtonBox>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>

#include "QtApp.h"

namespace dsadmin {
namespace {

TEST(FolderPicker, FullPathWithoutTrailingSeparatorExceptTheRoot) {
    EXPECT_EQ(FolderPath(QStringLiteral("/data/")), "/data");
    EXPECT_EQ(FolderPath(QStringLiteral("/srv/数据")), "/srv/数据");
    EXPECT_EQ(FolderPath(QStringLiteral("/")), "/");
    EXPECT_EQ(FolderPath(QString()), "");
}

// The real picker, driven as an operator would: `act` gets the dialog once it is up and must
// close it. Also checks that the picker wrote nothing to Qt's own settings file.
class FolderPickerDialog : public testing::Test {
  protected:
    void SetUp() override { test::QtApp(); }
    void TearDown() override { EXPECT_EQ(Contents(qtSettings), qtSettingsBefore) << qtSettings; }

    std::string Pick(std::function<void(QDialog&)> act) {
        bool acted = false;
        QTimer::singleShot(0, [&] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                acted = true;
                act(*dialog);
            }
        });
        const std::string chosen = BrowseForFolder();
        EXPECT_TRUE(acted);
        return chosen;
    }

    // Types as a slow operator does: one key at a time, letting the dialog react between keys.
    static void TypeSlowly(QLineEdit& edit, const QString& text) {
        edit.selectAll();
        QTest::keyClick(&edit, Qt::Key_Delete);
        for (QChar c : text) {
            QTest::keyClicks(&edit, QString(c));
            QTest::qWait(20);
        }
    }

    // Closes any message box that is up and says whether there was one.
    static bool DismissMessageBoxes() {
        bool any = false;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                any = true;
                box->accept();
            }
        }
        return any;
    }

    static std::string Contents(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    QTemporaryDir temp{QStringLiteral("/tmp/dsadmin-picker-XXXXXX")};
    QString scratch = temp.path();
    std::string qtSettings =
        QSettings(QSettings::UserScope, QStringLiteral("QtProject")).fileName().toStdString();
    std::string qtSettingsBefore = Contents(qtSettings);
};

TEST_F(FolderPickerDialog, TypedMissingFolderShowsNothingAndTheFolderTypedAfterIsReturnedExactly) {
    bool messageShown = false;
    const std::string chosen = Pick([&](QDialog& dialog) {
        QLineEdit& edit = *dialog.findChild<QLineEdit*>();
        EXPECT_EQ(dialog.focusWidget(), &edit);
        TypeSlowly(edit, scratch + QStringLiteral("/missing"));
        QTest::keyClick(&edit, Qt::Key_Return);
        QTest::qWait(100);
        messageShown = DismissMessageBoxes();
        ASSERT_TRUE(dialog.isVisible());
        TypeSlowly(edit, scratch + QStringLiteral("/"));
        QTest::keyClick(&edit, Qt::Key_Return);
        QTest::qWait(100);
        if (DismissMessageBoxes() || dialog.isVisible()) dialog.reject();
    });
    EXPECT_FALSE(messageShown);
    EXPECT_EQ(chosen, scratch.toStdString());
}

TEST_F(FolderPickerDialog, EscapeGivesTheEmptyText) {
    EXPECT_EQ(Pick([](QDialog& dialog) { QTest::keyClick(&dialog, Qt::Key_Escape); }), "");
}

TEST_F(FolderPickerDialog, FolderChosenInTheTreeIsReturnedWithItsFullPath) {
    const QString folder = scratch + QStringLiteral("/数据 it's");
    std::filesystem::create_directory(folder.toStdString());
    const std::string chosen = Pick([&](QDialog& dialog) {
        auto* view = dialog.findChild<QAbstractItemView*>();
        auto* model = qobject_cast<QFileSystemModel*>(view->model());
        ASSERT_TRUE(model);
        view->setCurrentIndex(model->index(folder));
        auto* buttons = dialog.findChild<QDialogButtonBox*>();
        buttons->button(QDialogButtonBox::Ok)->click();
    });
    EXPECT_EQ(chosen, folder.toStdString());
}

}  // namespace
}  // namespace dsadmin
