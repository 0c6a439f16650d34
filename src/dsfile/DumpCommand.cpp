// dsfile tables / dump: read a structure file through JetReader.

#include <charconv>
#include <ostream>
#include <string>
#include <variant>

#include "db/DbError.h"
#include "db/jet/JetReader.h"
#include "dsfile/Commands.h"
#include "dsfile/DateText.h"
#include "dsfile/HeaderCell.h"
#include "dsfile/TsvCell.h"

namespace dsadmin::dsfile {
namespace {

void appendCell(std::string& line, const Value& v) {
    struct Visitor {
        std::string& s;
        void operator()(Value::Null) const { s += TsvCell::kNull; }
        void operator()(std::int64_t i) const { s += std::to_string(i); }
        void operator()(double d) const {
            char buf[32];
            auto r = std::to_chars(buf, buf + sizeof buf, d);
            s.append(buf, r.ptr);
        }
        void operator()(const std::string& t) const { s += TsvCell::escape(t); }
        void operator()(bool b) const { s += b ? "1" : "0"; }
        void operator()(Date d) const { s += DateText::format(d.days); }
    };
    std::visit(Visitor{line}, v.storage());
}

}  // namespace

int runTables(std::span<const std::string> args, Streams io) {
    if (args.size() != 1) return usageError("tables", io);
    try {
        for (const auto& name : JetReader(args[0]).tableNames()) io.out << name << '\n';
    } catch (const DbError& e) {
        io.err << "dsfile: " << e.what() << '\n';
        return kBadInput;
    }
    return kOk;
}

int runDump(std::span<const std::string> args, Streams io) {
    if (args.empty() || args.size() > 2) return usageError("dump", io);
    JetTable table;
    try {
        table = JetReader(args[0]).readTable(args.size() == 2 ? args[1] : "ds");
    } catch (const DbError& e) {
        io.err << "dsfile: " << e.what() << '\n';
        return kBadInput;
    }
    std::string line;
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
        if (i) line += '\t';
        line += TsvCell::escape(HeaderCell::format(table.columns[i]));
    }
    io.out << line << '\n';
    for (std::size_t r = 0; r < table.rowCount(); ++r) {
        line.clear();
        auto row = table.row(r);
        for (std::size_t i = 0; i < row.size(); ++i) {
            if (i) line += '\t';
            appendCell(line, row[i]);
        }
        line += '\n';
        io.out << line;
    }
    io.out.flush();
    return io.out ? kOk : kBadInput;
}

}  // namespace dsadmin::dsfile
