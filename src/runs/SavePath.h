#pragma once
// The create run's save-path rules. Paths are UTF-8 file-system paths with "/" separators.

#include <string>

namespace dsadmin {

// The existence test on the save-path box's text, untrimmed and taken literally (no wildcard
// expansion): true when it names an existing file or folder. A path that cannot be examined
// at all (no permission on a folder above it, too long, a loop of links, an embedded NUL)
// counts as not found. A path ending in "/" names the folder, so an existing folder passes
// and a file with a "/" after it does not.
bool SavePathExists(const std::string& path);

// The data file: folder, "/" unless folder already ends in "/", databaseName, "_dat.mdf".
std::string DataFilePath(const std::string& folder, const std::string& databaseName);

}  // namespace dsadmin
