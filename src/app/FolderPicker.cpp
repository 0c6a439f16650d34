#include "app/FolderPicker.h"

#include <QFileDialog>

namespace dsadmin {

std::string BrowseForFolder() {
    return FolderPath(QFileDialog::getExistingDirectory(nullptr, QString(), QStringLiteral("/"),
                                                        QFileDialog::ShowDirsOnly));
}

std::string FolderPath(const QString& chosen) {
    QString path = chosen;
    while (path.size() > 1 && path.endsWith(QLatin1Char('/'))) path.chop(1);
    return path.toStdString();
}

}  // namespace dsadmin
