#include "app/FolderPicker.h"

#include <gtest/gtest.h>

namespace dsadmin {
namespace {

TEST(FolderPicker, FullPathWithoutTrailingSeparatorExceptTheRoot) {
    EXPECT_EQ(FolderPath(QStringLiteral("/data/")), "/data");
    EXPECT_EQ(FolderPath(QStringLiteral("/srv/数据")), "/srv/数据");
    EXPECT_EQ(FolderPath(QStringLiteral("/")), "/");
    EXPECT_EQ(FolderPath(QString()), "");
}

}  // namespace
}  // namespace dsadmin
