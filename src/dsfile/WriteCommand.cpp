// dsfile write: a new structure file from tab-separated rows on standard input.

#include <sys/stat.h>

#include <istream>
#include <ostream>

#include "dsfile/Commands.h"
#include "dsfile/RowParser.h"
#include "jet/JetWriteError.h"
#include "jet/JetWriter.h"

namespace dsadmin::dsfile {
namespace {

struct WriteArgs {
    std::string file;
    std::string table = "ds";
    bool force = false;
};

bool parseArgs(std::span<const std::string> args, WriteArgs& out) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--force") {
            out.force = true;
        } else if (args[i] == "--table" && i + 1 < args.size()) {
            out.table = args[++i];
        } else if (args[i].starts_with("-") || !out.file.empty()) {
            return false;
        } else {
            out.file = args[i];
        }
    }
    return !out.file.empty();
}

bool readLine(std::istream& in, std::string& line) {
    if (!std::getline(in, line)) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();  // CRLF input
    return true;
}

int refuse(Streams io, std::size_t lineNo, const std::string& why) {
    io.err << "dsfile: ";
    if (lineNo) io.err << "line " << lineNo << ": ";
    io.err << why << "; no file written\n";
    return kBadInput;
}

}  // namespace

int runWrite(std::span<const std::string> args, Streams io) {
    WriteArgs a;
    if (!parseArgs(args, a)) return usageError("write", io);
    struct stat st {};
    if (!a.force && ::lstat(a.file.c_str(), &st) == 0)
        return refuse(io, 0, "\"" + a.file + "\" exists already (use --force to replace it)");
    std::string line, error;
    if (!readLine(io.in, line)) return refuse(io, 1, "no header line");
    auto columns = RowParser::header(line, error);
    if (!columns) return refuse(io, 1, error);
    try {
        jet::JetWriter writer({jet::TableDef{a.table, *columns}}, a.file, a.force);
        for (std::size_t lineNo = 2; readLine(io.in, line); ++lineNo) {
            auto row = RowParser::row(line, *columns, error);
            if (!row) return refuse(io, lineNo, error);
            try {
                writer.addRow(0, *row);
            } catch (const jet::JetWriteError& e) {
                return refuse(io, lineNo, e.what());
            }
        }
        writer.commit();
    } catch (const jet::JetWriteError& e) {
        return refuse(io, 0, e.what());
    }
    return kOk;
}

}  // namespace dsadmin::dsfile
