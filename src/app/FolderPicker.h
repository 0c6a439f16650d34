#pragma once
// The platform's folder browser for the save-path box.

#include <QString>
#include <string>

namespace dsadmin {

// Opens the folder dialog (FolderDialog: folders only, the tree from "/", no owner window) and
// returns the chosen folder as FolderPath gives it, or "" when the operator cancels. Shows no
// message and writes nothing.
std::string BrowseForFolder();

// A chosen folder as the window stores it: UTF-8, the full path without a trailing "/"
// except for the root "/" itself; "" for an empty choice.
std::string FolderPath(const QString& chosen);

}  // namespace dsadmin
