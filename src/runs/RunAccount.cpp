#include "runs/RunAccount.h"

#include "db/odbc/OdbcDiagnostics.h"

namespace dsadmin {
namespace {

const char* const kModifyButton = "“修改现有库结构”";

std::string N(std::size_t n) {
    return std::to_string(n);
}

// The server writes "operating system error 5(Access is denied.)"; a translated server puts
// its own words around the same number.
bool ReportsOsError(const std::string& failure, int error) {
    const std::string n = std::to_string(error);
    for (const std::string& form : {"operating system error " + n + "(", "操作系统错误 " + n + "(",
                                    "操作系统错误 " + n + "（"})
        if (failure.find(form) != std::string::npos) return true;
    return false;
}

// A link that broke or a server that stopped answering: the statement in flight may or may
// not have been carried out.
bool FateUnknown(const std::string& failure) {
    return failure.find(kConnectionLostText) != std::string::npos ||
           failure.find("（命令超时）") != std::string::npos;
}

}  // namespace

// A step told twice in a row counts once, whoever tells it again.
void RunAccount::report(const RunStep& step) {
    const bool again = last_ && last_->kind == step.kind && last_->index == step.index;
    last_ = step;
    if (step.kind == RunStep::Kind::CreatingDatabase) creating_ = true;
    if (step.kind == RunStep::Kind::ReadingStructure) readStructure_ = true;
    if (step.kind == RunStep::Kind::CreatingTable && !again) ++tablesCreated_;
    if (inner_) inner_->report(step);
}

std::optional<RunStep::Kind> RunAccount::lastStep() const {
    if (!last_) return std::nullopt;
    return last_->kind;
}

std::string RunAccount::FileErrorHint(const std::string& failure) {
    if (ReportsOsError(failure, 5))
        return "提示：操作系统错误 5 表示数据库服务器自己的账户（在 Linux 上是服务器的服务用户，"
               "例如 mssql，而不是操作员）无法写入所选的文件夹：请让该账户可以写入这个文件夹，"
               "或另选一个它能写入的文件夹。";
    if (ReportsOsError(failure, 3))
        return "提示：操作系统错误 3 表示所选的文件夹在数据库服务器所在的机器上不存在（服务器运行"
               "在容器中时，是指容器内部）：请选择服务器上存在的文件夹。";
    return {};
}

RunAccount::Text RunAccount::afterFailure(const std::string& failure) const {
    if (!readStructure_) return {};
    using Kind = RunStep::Kind;
    if (last_->kind == Kind::CheckingTable || last_->kind == Kind::CreatingTable)
        return stoppedAtTable();
    if (creating_) return databaseNotMade(failure);
    return {"服务器上没有任何改动", "运行没有完成：服务器上没有任何改动。"};
}

// The create run stopped at CREATE DATABASE or at the switch to the new database.
RunAccount::Text RunAccount::databaseNotMade(const std::string& failure) const {
    if (FateUnknown(failure))
        return {std::string("若数据库已创建，按") + kModifyButton + "补全",
                std::string("创建没有完成：连接在创建数据库时中断，不能确定数据库是否已创建。"
                            "若已创建，按") +
                    kModifyButton + "可补建所有的表；若没有，再按“创建新数据库”。"};
    const std::string hint = FileErrorHint(failure);
    std::string line = "数据库没有创建，服务器上没有任何改动";
    if (ReportsOsError(failure, 5)) line = "数据库没有创建：服务器账户不能写入该文件夹";
    if (ReportsOsError(failure, 3)) line = "数据库没有创建：该文件夹在服务器上不存在";
    return {line, "创建没有完成：数据库没有创建，服务器上没有任何改动。" +
                      (hint.empty() ? std::string() : "\n" + hint)};
}

// The table the run was at when it failed counts as not made: its statement either failed or
// its fate is unknown, and the modify run finds out which.
RunAccount::Text RunAccount::stoppedAtTable() const {
    const RunStep& s = *last_;
    const std::size_t done = s.index - 1;
    const std::string at = "停在第 " + N(s.index) + " 个表“" + s.table + "”。";
    if (creating_)
        return {std::string("按") + kModifyButton + "补全：已建 " + N(done) + "/" + N(s.count) +
                    " 个表，停在 " + s.table,
                "创建没有完成：数据库已创建，" + N(s.count) + " 个表中建好了前 " + N(done) +
                    " 个，" + at + "按" + kModifyButton + "可补建其余的表。"};
    const std::size_t created = tablesCreated_ - (s.kind == RunStep::Kind::CreatingTable ? 1 : 0);
    return {std::string("再按") + kModifyButton + "补全：已有 " + N(done) + "/" + N(s.count) +
                " 个表（新建 " + N(created) + " 个），停在 " + s.table,
            "修改没有完成：" + N(s.count) + " 个表中前 " + N(done) + " 个已在库中（这次新建了 " +
                N(created) + " 个），" + at + "再按" + kModifyButton + "可补建其余的表。"};
}

}  // namespace dsadmin
