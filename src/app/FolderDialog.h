#pragma once
// The folder picker's dialog: the file system's folders as a tree from "/", a path field that
// follows the tree and may be typed into, and 确定 / 取消.
//
// 确定 (and Enter) take effect only while the path field names an existing folder by an
// absolute path; otherwise they do nothing and no message appears. The dialog reads and
// writes no settings of its own (unlike QFileDialog, which keeps history in QtProject.conf).

#include <QDialog>
#include <QString>

class QDialogButtonBox;
class QFileSystemModel;
class QLineEdit;
class QModelIndex;
class QTreeView;

namespace dsadmin {

class FolderDialog : public QDialog {
    Q_OBJECT
  public:
    explicit FolderDialog(QWidget* parent = nullptr);

    // The chosen folder: the path field's text with "." and ".." segments, repeated and
    // trailing "/" removed ("/" stays "/"), when that names an existing folder; else "".
    QString folder() const;

    void accept() override;

  private:
    void showInTree(const QModelIndex& index);
    void pathTyped(const QString& text);

    QFileSystemModel* model_;
    QTreeView* tree_;
    QLineEdit* path_;
    QDialogButtonBox* buttons_;
};

}  // namespace dsadmin
