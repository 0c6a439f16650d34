#include "base/SystemErrorText.h"

#include <cerrno>
#include <cstring>

namespace dsadmin {

std::string SystemErrorText(int e) {
    switch (e) {
        case EACCES:
        case EPERM:
            return "权限不够";
        case ENOENT:
            return "不存在";
        case ENOTDIR:
            return "路径中有一级不是文件夹";
        case EISDIR:
            return "是文件夹，不是文件";
        case EIO:
            return "输入/输出错误";
        case ELOOP:
            return "符号链接太多或成环";
        case ENAMETOOLONG:
            return "路径太长";
        case EMFILE:
        case ENFILE:
            return "打开的文件太多";
        case ENOMEM:
            return "内存不足";
        case EAGAIN:
            return "资源暂时不可用";
        case ENOSPC:
            return "磁盘空间不足";
        case EROFS:
            return "文件系统是只读的";
        default:
            break;
    }
    char buffer[256] = {};
    // The GNU strerror_r returns its text, which may not be in buffer.
    const char* text = strerror_r(e, buffer, sizeof buffer);
    return std::string(text) + "（错误号 " + std::to_string(e) + "）";
}

}  // namespace dsadmin
