#include "dsfile/Commands.h"

#include <array>
#include <ostream>

#include "Version.h"

namespace dsadmin::dsfile {
namespace {

const std::array<Command, 4> kCommands = {{
    {"write", "FILE.DS [--table NAME] [--force] < rows.tsv",
     "write a new structure file from tab-separated rows", runWrite},
    {"dump", "FILE [TABLE]", "print a table (default ds) as tab-separated rows", runDump},
    {"tables", "FILE", "list the user tables, one a line", runTables},
    {"script", "FILE", "print the CREATE TABLE statements a create run sends, one a line",
     runScript},
}};

void printUsage(std::ostream& os) {
    os << "usage: dsfile --help | --version\n";
    for (const auto& c : kCommands)
        os << "  dsfile " << c.name << ' ' << c.usage << "\n      " << c.summary << '\n';
    os << "Rows: one a line, cells separated by tabs, a header line of column names first.\n"
          "In a cell: \\\\ backslash, \\t tab, \\n line feed, \\r carriage return; a cell\n"
          "that is exactly \\N is NULL, an empty cell the empty text. A header cell is a\n"
          "default ds column (ftable fname flb: text(64); flong fauto findex: long) or\n"
          "name:type, type one of text(1..255) text long integer byte double yesno\n"
          "datetime memo. Dates: YYYY-MM-DD[ HH:MM[:SS]]. Yes/No: 1 0 -1 true false yes no\n"
          "(no NULL: \\N is stored as 0). See docs/dsfile.md.\n";
}

}  // namespace

std::span<const Command> commands() {
    return kCommands;
}

int usageError(std::string_view name, Streams io) {
    for (const auto& c : kCommands)
        if (c.name == name) {
            io.err << "usage: dsfile " << c.name << ' ' << c.usage << '\n';
            return kUsage;
        }
    printUsage(io.err);
    return kUsage;
}

int dispatch(std::span<const std::string> args, Streams io) {
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h" || args[0] == "help")) {
        printUsage(io.out);
        return kOk;
    }
    if (!args.empty() && (args[0] == "--version" || args[0] == "-v")) {
        io.out << "dsfile " << kVersion << '\n';
        return kOk;
    }
    if (!args.empty() && args[0].size() > 1 && args[0][0] == '-') {
        io.err << "dsfile: unknown option \"" << args[0]
               << "\" (dsfile --help lists the commands)\n";
        return kUsage;
    }
    for (const auto& c : kCommands)
        if (!args.empty() && c.name == args[0]) return c.run(args.subspan(1), io);
    if (!args.empty()) io.err << "dsfile: unknown command \"" << args[0] << "\"\n";
    printUsage(io.err);
    return kUsage;
}

}  // namespace dsadmin::dsfile
