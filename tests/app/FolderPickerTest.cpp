#include "app/FolderPicker.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QAbstractItemView>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <filesystem>
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
    void SetUp() override {
        test::QtApp();
        char pattern[] = "/tmp/dsadmin-picker-XXXXXX";
        ASSERT_TRUE(mkdtemp(pattern));
        scratch = QString::fromUtf8(pattern);
        qtSettings = QSettings(QSettings::UserScope, QStringLiteral("QtProject")).fileName();
        qtSettingsBefore = Contents(qtSettings);
    }
    void TearDown() override {
        std::filesystem::remove_all(scratch.toStdString());
        EXPECT_EQ(Contents(qtSettings).toStdString(), qtSettingsBefore.toStdString())
            << "the picker wrote " << qtSettings.toStdString();
    }

    std::string Pick(std::function<void(QDialog&)> act) {
        bool acted = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog) return;
            acted = true;
            act(*dialog);
        });
        const std::string chosen = BrowseForFolder();
        EXPECT_TRUE(acted);
        return chosen;
    }

    static QLineEdit& PathField(QDialog& dialog) {
        for (QLineEdit* edit : dialog.findChildren<QLineEdit*>()) {
            if (edit->isVisible()) return *edit;
        }
        throw std::runtime_error("the picker has no path field");
    }

    // Types as a slow operator does: one key at a time, letting the dialog react between keys.
    static void TypeSlowly(QLineEdit& edit, const QString& text) {
        edit.setFocus();
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

    static QString Contents(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    QString scratch;
    QString qtSettings, qtSettingsBefore;
};

TEST_F(FolderPickerDialog, TypedMissingFolderShowsNothingAndTheFolderTypedAfterIsReturnedExactly) {
    bool messageShown = false;
    const std::string chosen = Pick([&](QDialog& dialog) {
        QLineEdit& edit = PathField(dialog);
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
