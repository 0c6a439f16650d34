#include "app/FolderPicker.h"

#include "app/FolderDialog.h"

namespace dsadmin {

std::string BrowseForFolder() {
    FolderDialog dialog;
    return dialog.exec() == QDialog::Accepted ? FolderPath(dialog.folder()) : std::string();
}

std::string FolderPath(const QString& chosen) {
    QString path = chosen;
    while (path.size() > 1 && path.endsWith(QLatin1Char('/'))) path.chop(1);
    return path.toStdString();
}

}  // namespace dsadmin
