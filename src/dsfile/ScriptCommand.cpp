// dsfile script FILE: the CREATE TABLE statements a create run sends for a structure file,
// built by the run's own code path (the Jet provider's two queries and GetCreateTableStr).

#include <ostream>

#include "db/Connection.h"
#include "db/ConnectionStrings.h"
#include "db/DbError.h"
#include "db/OleDbString.h"
#include "db/Recordset.h"
#include "db/TableStatements.h"
#include "dsfile/Commands.h"

namespace dsadmin::dsfile {
namespace {

// Walks the table list as the create run does and prints each statement it would send.
void printStatements(const std::string& path, std::ostream& out) {
    Connection structure;
    structure.ConnectionString(std::string("Provider=") + kJetProvider +
                               ";Data source=" + OleDbString::QuoteValue(path));
    structure.Open();
    Recordset tables;
    Recordset rows;
    tables.Open(kTableListQuery, structure, kOpenKeyset, kLockReadOnly, kUnspecified);
    if (!tables.Eof()) {
        tables.MoveFirst();
        while (!tables.Eof()) {
            const Value& name = tables.Fields("ftable");
            rows.Open(TableRowsQuery(name), structure, kOpenKeyset, kLockReadOnly, kUnspecified);
            if (!rows.Eof()) out << GetCreateTableStr(name, rows) << '\n';
            rows.Close();
            tables.MoveNext();
        }
    }
    tables.Close();
    structure.Close();
}

}  // namespace

int runScript(std::span<const std::string> args, Streams io) {
    if (args.size() != 1) return usageError("script", io);
    try {
        printStatements(args[0], io.out);
    } catch (const DbError& e) {
        io.out.flush();
        io.err << "dsfile: " << e.what() << '\n';
        return kBadInput;
    }
    return kOk;
}

}  // namespace dsadmin::dsfile
