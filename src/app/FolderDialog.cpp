#include "app/FolderDialog.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace dsadmin {

FolderDialog::FolderDialog(QWidget* parent)
    : QDialog(parent),
      model_(new QFileSystemModel(this)),
      tree_(new QTreeView(this)),
      path_(new QLineEdit(this)),
      buttons_(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this)) {
    setWindowTitle(QStringLiteral("浏览文件夹"));
    model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    model_->setRootPath(QStringLiteral("/"));
    tree_->setModel(model_);
    for (int column = 1; column < model_->columnCount(); ++column) tree_->hideColumn(column);
    tree_->setHeaderHidden(true);
    tree_->expand(model_->index(QStringLiteral("/")));
    buttons_->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    buttons_->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    buttons_->button(QDialogButtonBox::Ok)->setEnabled(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tree_);
    layout->addWidget(new QLabel(QStringLiteral("文件夹:"), this));
    layout->addWidget(path_);
    layout->addWidget(buttons_);
    resize(420, 460);
    path_->setFocus();  // what is typed goes to the path, not to the tree's search by name

    connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& index) { path_->setText(model_->filePath(index)); });
    // textChanged, not textEdited: the tree's choice goes through the same check.
    connect(path_, &QLineEdit::textChanged, this, &FolderDialog::pathTyped);
    connect(buttons_, &QDialogButtonBox::accepted, this, &FolderDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &FolderDialog::reject);
}

QString FolderDialog::folder() const {
    const QString text = path_->text();
    if (!text.startsWith(QLatin1Char('/'))) return QString();
    const QString clean = QDir::cleanPath(text);
    return QFileInfo(clean).isDir() ? clean : QString();
}

void FolderDialog::accept() {
    if (!folder().isEmpty()) QDialog::accept();
}

void FolderDialog::pathTyped(const QString&) {
    const QString chosen = folder();
    buttons_->button(QDialogButtonBox::Ok)->setEnabled(!chosen.isEmpty());
    if (!chosen.isEmpty() && path_->hasFocus()) showInTree(model_->index(chosen));
}

// Shows a typed folder in the tree without letting the tree rewrite what is being typed.
void FolderDialog::showInTree(const QModelIndex& index) {
    if (!index.isValid()) return;
    const QSignalBlocker quiet(tree_->selectionModel());
    tree_->setCurrentIndex(index);
    tree_->scrollTo(index);
}

}  // namespace dsadmin
