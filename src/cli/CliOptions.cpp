#include "cli/CliOptions.h"

#include <map>
#include <optional>

namespace dsadmin::cli {
namespace {

// The option's name without a value given after "=", so a message never shows a value.
std::string OptionName(const std::string& arg) {
    return arg.substr(0, arg.find('='));
}

void SetPassword(CliOptions& o, PasswordFrom from, std::string source) {
    if (o.passwordFrom != PasswordFrom::Settings)
        throw UsageError(
            "只能给出一个密码来源（--password-env、--password-file 或 --password-stdin）");
    o.passwordFrom = from;
    o.passwordSource = std::move(source);
}

// The folder is on the server's machine, which resolves no relative path: absolute there as a
// POSIX path, a Windows drive path or a UNC path.
bool AbsoluteOnSomeServer(const std::string& folder) {
    const auto slash = [](char c) { return c == '/' || c == '\\'; };
    if (!folder.empty() && folder[0] == '/') return true;
    const char drive = static_cast<char>(folder.empty() ? 0 : folder[0] | 0x20);
    if (folder.size() >= 3 && drive >= 'a' && drive <= 'z' && folder[1] == ':' && slash(folder[2]))
        return true;
    return folder.size() >= 3 && folder[0] == '\\' && folder[1] == '\\';
}

const char* const kExtraArgument =
    "多余的参数（密码只能经由 --password-env、--password-file 或 --password-stdin 给出）";

Command ReadCommand(const std::vector<std::string>& args, std::size_t& i) {
    static const std::map<std::string, Command> commands = {{"create", Command::Create},
                                                            {"modify", Command::Modify},
                                                            {"delete", Command::Delete},
                                                            {"check", Command::Check}};
    if (i >= args.size()) throw UsageError("缺少命令：create、modify、delete、plan 或 check");
    const std::string& word = args[i++];
    if (word == "plan") {
        if (i < args.size() && args[i] == "create") return ++i, Command::PlanCreate;
        if (i < args.size() && args[i] == "modify") return ++i, Command::PlanModify;
        throw UsageError("plan 之后应为 create 或 modify");
    }
    const auto it = commands.find(word);
    if (it == commands.end())
        throw UsageError("未知命令（可用：create、modify、delete、plan、check）");
    return it->second;
}

}  // namespace

std::string CliOptions::Name(Command command) {
    switch (command) {
        case Command::Create:
            return "create";
        case Command::Modify:
            return "modify";
        case Command::Delete:
            return "delete";
        case Command::PlanCreate:
            return "plan create";
        case Command::PlanModify:
            return "plan modify";
        case Command::Check:
            return "check";
    }
    return {};
}

CliOptions CliOptions::Parse(const std::vector<std::string>& args) {
    CliOptions o;
    for (const std::string& a : args) {
        if (a == "--help" || a == "-h") return o.help = true, o;
        if (a == "--version" || a == "-v") return o.version = true, o;
    }
    // Options may stand before or after the command alike.
    std::optional<Command> command;
    std::size_t i = 0;
    const std::map<std::string, std::optional<std::string>*> valued = {
        {"--app-folder", &o.appFolder}, {"--structure", &o.structure},    {"--login", &o.login},
        {"--database", &o.database},    {"--save-folder", &o.saveFolder}, {"--encrypt", &o.encrypt},
        {"--ca-file", &o.caFile}};
    while (i < args.size()) {
        if (args[i].rfind("-", 0) != 0) {
            if (command) throw UsageError(kExtraArgument);
            command = ReadCommand(args, i);
            continue;
        }
        const std::string arg = args[i++];
        const std::string name = OptionName(arg);
        const bool inlineValue = name.size() < arg.size();
        auto value = [&]() -> std::string {
            if (inlineValue) return arg.substr(name.size() + 1);
            if (i >= args.size()) throw UsageError("选项 " + name + " 缺少值");
            return args[i++];
        };
        if (const auto it = valued.find(name); it != valued.end()) {
            *it->second = value();
        } else if (name == "--server") {
            o.server = value();
        } else if (name == "--password-env") {
            SetPassword(o, PasswordFrom::Env, value());
        } else if (name == "--password-file") {
            SetPassword(o, PasswordFrom::File, value());
        } else if (name == "--password-stdin" && !inlineValue) {
            SetPassword(o, PasswordFrom::Stdin, {});
        } else if (name == "--yes" && !inlineValue) {
            o.yes = true;
        } else if (name == "--json" && !inlineValue) {
            o.json = true;
        } else if (name == "--trust-server-certificate" && !inlineValue) {
            o.trustServerCertificate = true;
        } else {
            throw UsageError("未知选项：" + name);
        }
    }
    if (!command) throw UsageError("缺少命令：create、modify、delete、plan 或 check");
    o.command = *command;
    if (o.encrypt && *o.encrypt != "optional" && *o.encrypt != "mandatory" &&
        *o.encrypt != "strict")
        throw UsageError("--encrypt 应为 optional、mandatory 或 strict");
    if (o.caFile && o.trustServerCertificate)
        throw UsageError("--ca-file 与 --trust-server-certificate 不能同时使用");
    if (o.saveFolder && o.command != Command::Create && o.command != Command::PlanCreate)
        throw UsageError("--save-folder 只用于 create 和 plan create");
    if ((o.command == Command::Create || o.command == Command::PlanCreate) && !o.saveFolder)
        throw UsageError("create 需要 --save-folder（数据库文件保存路径）");
    if (o.saveFolder && !AbsoluteOnSomeServer(*o.saveFolder))
        throw UsageError("--save-folder 应为服务器上的绝对路径（如 /var/opt/mssql/data），而不是“" +
                         *o.saveFolder + "”");
    return o;
}

std::string UsageText() {
    return R"TXT(用法：dsadmin-cli 命令 [选项]

命令：
  create        创建新数据库及结构文件描述的每个表（与窗口的“创建新数据库”相同）
  modify        为现有数据库补建缺少的表（与窗口的“修改现有库结构”相同）
  delete        删除数据库（与窗口的“删除数据库”相同）
  plan create   逐行列出 create 将发送的语句，不发送任何语句
  plan modify   逐行列出 modify 将发送的 CREATE TABLE，只发送表的存在查询
  check         比较结构文件与数据库，只读

选项：
  --app-folder DIR       程序目录（默认：本程序所在目录）；其中的 Setup.ini 提供
                         登录账号、密码、数据库名和结构文件名的默认值
  --structure FILE       结构文件（.DS），代替 Setup.ini 的 DSName
  --server HOST[,PORT]   服务器（默认 "(local)"）
  --login NAME           登录账号
  --database NAME        数据库名
  --save-folder DIR      数据库文件保存路径（create、plan create 必需）
  --password-env VAR     从环境变量 VAR 读取密码
  --password-file FILE   从文件 FILE 的第一行读取密码
  --password-stdin       从标准输入的第一行读取密码
  --encrypt MODE         连接加密：optional（服务器支持时加密）、mandatory（必须加密，
                         否则不连接）或 strict（TDS 8.0，需较新的 FreeTDS）；
                         默认按 odbcinst.ini 中 FreeTDS 的 Encryption，否则 request
  --trust-server-certificate  不验证服务器证书（只用于可信网络）
  --ca-file FILE         用 FILE 中的 CA 证书验证服务器证书及其主机名；mandatory、
                         strict 未给出时用本机信任的 CA 验证
  --yes                  不提问，全部回答“确定”
  --json                 在标准输出上只写一个 JSON 文档
  --help, -h             显示本帮助
  --version, -v          显示版本

密码从不出现在命令行上。本程序从不写入 Setup.ini。
退出码：0 完成（或检查无差异），1 运行或检查失败，2 用法错误，3 检查发现差异，
4 操作员回答了“否”。
)TXT";
}

}  // namespace dsadmin::cli
