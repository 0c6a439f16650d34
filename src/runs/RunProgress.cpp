#include "runs/RunProgress.h"

namespace dsadmin {
namespace {

std::string TableText(const char* verb, const RunStep& step) {
    return std::string(verb) + "第 " + std::to_string(step.index) + " 个表（共 " +
           std::to_string(step.count) + " 个）：" + step.table;
}

}  // namespace

std::string ProgressText(const RunStep& step) {
    switch (step.kind) {
        case RunStep::Kind::Connecting:
            return step.address.empty() ? "正在连接服务器……" : "正在连接 " + step.address + "……";
        case RunStep::Kind::CreatingDatabase:
            return "正在创建数据库……";
        case RunStep::Kind::ReadingStructure:
            return "正在读取结构文件……";
        case RunStep::Kind::CheckingTable:
            return TableText("正在检查", step);
        case RunStep::Kind::CreatingTable:
            return TableText("正在创建", step);
        case RunStep::Kind::DroppingDatabase:
            return "正在删除数据库……";
    }
    return {};
}

}  // namespace dsadmin
