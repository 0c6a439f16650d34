#include "runs/SavePath.h"

#include <sys/stat.h>

namespace dsadmin {

bool SavePathExists(const std::string& path) {
    // The C call would stop at a NUL and test a different, shorter path.
    if (path.empty() || path.find('\0') != std::string::npos) return false;
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

std::string DataFilePath(const std::string& folder, const std::string& databaseName) {
    std::string path = folder;
    if (path.empty() || path.back() != '/') path += '/';
    return path + databaseName + "_dat.mdf";
}

}  // namespace dsadmin
