#include "cli/CliOptions.h"

#include <charconv>
#include <iterator>
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
            "只能给出一个密码来源（--password-env、--password-file、--password-stdin 或 "
            "--password-prompt）");
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
    "多余的参数（密码只能经由 --password-env、--password-file、--password-stdin 或 "
    "--password-prompt 给出）";

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
    // By Command.
    static constexpr const char* kNames[] = {"create",      "modify",      "delete",
                                             "plan create", "plan modify", "check"};
    static_assert(std::size(kNames) == static_cast<std::size_t>(Command::Check) + 1);
    return kNames[static_cast<std::size_t>(command)];
}

namespace {

// One row per option: its name, whether a value follows, and what it sets. A flag given a
// value ("--yes=1") is refused, as is a valued option without one.
struct OptionRow {
    const char* name;
    bool takesValue;
    void (*apply)(CliOptions& o, const std::string& value);
};

// A whole number of seconds from 0 (wait for ever, or for the lock: not at all) to a day.
int Seconds(const char* option, const std::string& text) {
    int seconds = -1;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || seconds < 0 ||
        seconds > 86400)
        throw UsageError(std::string(option) + " 应为 0 到 86400 之间的整数秒数");
    return seconds;
}

const std::vector<OptionRow>& Options() {
    static const std::vector<OptionRow> options = {
        {"--app-folder", true, [](CliOptions& o, const std::string& v) { o.appFolder = v; }},
        {"--structure", true, [](CliOptions& o, const std::string& v) { o.structure = v; }},
        {"--login", true, [](CliOptions& o, const std::string& v) { o.login = v; }},
        {"--database", true, [](CliOptions& o, const std::string& v) { o.database = v; }},
        {"--save-folder", true, [](CliOptions& o, const std::string& v) { o.saveFolder = v; }},
        {"--server", true, [](CliOptions& o, const std::string& v) { o.server = v; }},
        {"--password-env", true,
         [](CliOptions& o, const std::string& v) { SetPassword(o, PasswordFrom::Env, v); }},
        {"--password-file", true,
         [](CliOptions& o, const std::string& v) { SetPassword(o, PasswordFrom::File, v); }},
        {"--password-stdin", false,
         [](CliOptions& o, const std::string&) { SetPassword(o, PasswordFrom::Stdin, {}); }},
        {"--password-prompt", false,
         [](CliOptions& o, const std::string&) { SetPassword(o, PasswordFrom::Prompt, {}); }},
        {"--lock-timeout", true,
         [](CliOptions& o, const std::string& v) {
             o.lockTimeoutSeconds = Seconds("--lock-timeout", v);
         }},
        {"--login-timeout", true,
         [](CliOptions& o, const std::string& v) {
             o.loginTimeoutSeconds = Seconds("--login-timeout", v);
         }},
        {"--query-timeout", true,
         [](CliOptions& o, const std::string& v) {
             o.queryTimeoutSeconds = Seconds("--query-timeout", v);
         }},
        {"--encrypt", true, [](CliOptions& o, const std::string& v) { o.encrypt = v; }},
        {"--trust-server-certificate", false,
         [](CliOptions& o, const std::string&) { o.trustServerCertificate = true; }},
        {"--ca-file", true, [](CliOptions& o, const std::string& v) { o.caFile = v; }},
        {"--yes", false, [](CliOptions& o, const std::string&) { o.yes = true; }},
        {"--json", false, [](CliOptions& o, const std::string&) { o.json = true; }},
        {"--quiet", false, [](CliOptions& o, const std::string&) { o.quiet = true; }},
        {"--verbose", false, [](CliOptions& o, const std::string&) { o.verbose = true; }},
    };
    return options;
}

const OptionRow* FindOption(const std::string& name) {
    for (const OptionRow& row : Options())
        if (name == row.name) return &row;
    return nullptr;
}

void CheckCombination(const CliOptions& o) {
    if (!o.command) throw UsageError("缺少命令：create、modify、delete、plan 或 check");
    const bool creates = o.command == Command::Create || o.command == Command::PlanCreate;
    if (o.saveFolder && !creates) throw UsageError("--save-folder 只用于 create 和 plan create");
    if (creates && !o.saveFolder)
        throw UsageError("create 需要 --save-folder（数据库文件保存路径）");
    if (o.saveFolder && !AbsoluteOnSomeServer(*o.saveFolder))
        throw UsageError(
            "--save-folder 应为服务器上的绝对路径（如 /var/opt/mssql/data、D:\\Data 或 "
            "\\\\host\\share）");
    if (o.quiet && o.verbose) throw UsageError("--quiet 与 --verbose 不能同时使用");
    if (o.encrypt && *o.encrypt != "optional" && *o.encrypt != "mandatory" &&
        *o.encrypt != "strict")
        throw UsageError("--encrypt 应为 optional、mandatory 或 strict");
    if (o.caFile && o.trustServerCertificate)
        throw UsageError("--ca-file 与 --trust-server-certificate 不能同时使用");
}

}  // namespace

CliOptions CliOptions::Parse(const std::vector<std::string>& args) {
    CliOptions o;
    Parse(args, o);
    return o;
}

void CliOptions::Parse(const std::vector<std::string>& args, CliOptions& o) {
    for (const std::string& a : args) {
        if (a == "--json") o.json = true;  // known before any mistake, for the usage report
        if (a == "--help" || a == "-h") return void(o.help = true);
        if (a == "--version" || a == "-v") return void(o.version = true);
    }
    // Options may stand before or after the command alike.
    std::size_t i = 0;
    while (i < args.size()) {
        if (args[i].rfind("-", 0) != 0) {
            if (o.command) throw UsageError(kExtraArgument);
            o.command = ReadCommand(args, i);
            continue;
        }
        const std::string arg = args[i++];
        const std::string name = OptionName(arg);
        const bool inlineValue = name.size() < arg.size();
        const OptionRow* row = FindOption(name);
        if (!row) throw UsageError("未知选项：" + name);
        if (!row->takesValue) {
            if (inlineValue) throw UsageError("选项 " + name + " 不带值（写作 " + name + "）");
            row->apply(o, {});
            continue;
        }
        if (!inlineValue && i >= args.size()) throw UsageError("选项 " + name + " 缺少值");
        row->apply(o, inlineValue ? arg.substr(name.size() + 1) : args[i++]);
    }
    CheckCombination(o);
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
  --password-prompt      在终端上提示输入密码（不回显）；未给出其他来源且 Setup.ini
                         没有密码时，在终端上也这样询问
  --encrypt MODE         连接加密：optional（服务器支持时加密）、mandatory（必须加密，
                         否则不连接）或 strict（TDS 8.0，需较新的 FreeTDS）；
                         默认按 odbcinst.ini 中 FreeTDS 的 Encryption，否则 request
  --trust-server-certificate  不验证服务器证书（只用于可信网络）
  --ca-file FILE         用 FILE 中的 CA 证书验证服务器证书及其主机名；mandatory、
                         strict 未给出时用本机信任的 CA 验证
  --lock-timeout SECONDS create、modify、delete 等待应用程序锁的秒数（默认 60，0 表示
                         不等待）
  --login-timeout SECONDS  连接并登录服务器最多等待的秒数（默认 15，0 表示一直等待）
  --query-timeout SECONDS  每条语句最多等待服务器应答的秒数（默认 30，0 表示一直等待）
  --yes                  不提问，全部回答“确定”
  --json                 在标准输出上只写一个 JSON 文档（用法错误时也写）
  --quiet                只输出错误
  --verbose              在标准错误上逐条显示发送的语句
  --help, -h             显示本帮助
  --version, -v          显示版本

密码从不出现在命令行上。本程序从不写入 Setup.ini。
--server 给出的服务器就是连接的服务器：TDSHOST、TDSPORT 等 FreeTDS 环境变量不起作用。
退出码：0 完成（或检查无差异），1 运行或检查失败，2 用法错误，3 检查发现差异，
4 操作员回答了“否”。
)TXT";
}

}  // namespace dsadmin::cli
