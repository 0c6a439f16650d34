#include "cli/PlanChecks.h"

#include <map>
#include <set>

#include "base/CaseFolding.h"
#include "base/TsqlKeywords.h"
#include "db/Recordset.h"
#include "db/TableStatements.h"
#include "runs/DatabaseName.h"
#include "runs/check/CheckColumnType.h"

namespace dsadmin::cli {
namespace {

// The names in `query`'s first column, case-folded.
std::set<std::string> Names(Connection& server, const std::string& query) {
    std::set<std::string> names;
    Recordset rows;
    rows.Open(query, server, kOpenKeyset, kLockReadOnly);
    for (; !rows.Eof(); rows.MoveNext()) names.insert(FoldCase(rows.Fields("name").text()));
    rows.Close();
    return names;
}

std::string Bracketed(const std::string& name) {
    std::string out;
    for (char c : name) out += c == ']' ? std::string("]]") : std::string(1, c);
    return out;
}

struct DescribedColumn {
    std::string name;  // fname
    std::string type;  // flb: its type's name is all a check needs
};

struct DescribedTable {
    std::string name;
    std::vector<DescribedColumn> columns;
};

// The described tables in the table list's order, each with its rows' names and types: two
// queries (the list, then every row at once), where the runs ask once per table; a file of
// 1,000 tables costs the checks two queries, not a thousand.
std::vector<DescribedTable> ReadModel(const RunInput& input) {
    Connection structure;
    Recordset list, rows;
    OpenStructureConnection(structure, input);
    std::vector<DescribedTable> model;
    std::map<std::string, std::size_t> index;
    list.Open(kTableListQuery, structure, kOpenKeyset, kLockReadOnly);
    for (; !list.Eof(); list.MoveNext()) {
        const Value& table = list.Fields("ftable");
        if (table.isNull()) continue;
        index.emplace(FoldCase(table.text()), model.size());  // Jet compares without case
        model.push_back({table.text(), {}});
    }
    list.Close();
    rows.Open("select ftable, fname, flb from ds", structure, kOpenKeyset, kLockReadOnly);
    for (; !rows.Eof(); rows.MoveNext()) {
        const auto it = index.find(FoldCase(rows.Fields("ftable").text()));
        if (it == index.end()) continue;
        model[it->second].columns.push_back(
            {rows.Fields("fname").text(), rows.Fields("flb").text()});
    }
    rows.Close();
    structure.Close();
    std::erase_if(model, [](const DescribedTable& t) { return t.columns.empty(); });
    return model;
}

// The type's name as sys.types holds it: "varchar" of "VarChar(20)", "footype" of
// "dbo.FooType".
std::string TypeName(const std::string& typeText) {
    std::string name = CheckColumnType::FromModel(typeText).name;
    if (const auto dot = name.rfind('.'); dot != std::string::npos) name = name.substr(dot + 1);
    return FoldCase(name);
}

}  // namespace

std::string PlanChecks::NameProblem(const std::string& name, bool table) {
    if (!IsPlainIdentifier(name, kMaxDatabaseNameUnits))
        return "不是普通标识符（只能包含字母、数字、_、@、# 和 $，不能以数字或 $ 开头，最长 128 "
               "个字符）";
    if (name[0] == '@') return "以 @ 开头，会被读作变量";
    if (table && name[0] == '#') return "以 # 开头，会成为临时表";
    if (IsTsqlReservedWord(name)) return "是 T-SQL 的保留字";
    return {};
}

std::vector<CheckFailure> PlanChecks::Run(const RunInput& input, Connection& server,
                                          const std::string& database, bool creates) {
    std::vector<CheckFailure> failures;
    const bool exists = !Names(server, "select name from sys.databases where name = N'" +
                                           DoubleQuotes(database) + "'")
                             .empty();
    if (creates && exists) failures.push_back({"server", "数据库 " + database + " 已存在"});
    if (!creates && !exists) failures.push_back({"server", "数据库 " + database + " 不存在"});
    const std::vector<DescribedTable> model = ReadModel(input);
    const std::string catalog = creates ? "model" : database;
    std::set<std::string> types;
    if (creates || exists)
        types = Names(server, "select name from [" + Bracketed(catalog) + "].sys.types");
    for (const DescribedTable& t : model) {
        if (const std::string p = NameProblem(t.name, true); !p.empty())
            failures.push_back({"name", "表名 " + t.name + " " + p});
        for (const DescribedColumn& c : t.columns) {
            if (const std::string p = NameProblem(c.name, false); !p.empty())
                failures.push_back({"name", "表 " + t.name + " 的列名 " + c.name + " " + p});
            if (!types.empty() && !types.count(TypeName(c.type)))
                failures.push_back({"model", "表 " + t.name + " 的列 " + c.name + " 的类型 " +
                                                 c.type + " 不在服务器的类型目录中（" + catalog +
                                                 " 的 sys.types）"});
        }
    }
    return failures;
}

}  // namespace dsadmin::cli
