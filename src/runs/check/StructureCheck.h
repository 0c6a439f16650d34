#pragma once
// The read-only comparison of a structure file with a live database: per described table,
// present or missing; per present table, the columns the database lacks, the columns it has
// that the file does not describe, and the columns whose type, length, precision, scale,
// identity or primary-key flag differ from what the table's CREATE TABLE would make. A
// database made by a create run from the same file compares clean. Text is UTF-8.

#include <string>
#include <vector>

#include "db/TableStatements.h"
#include "runs/RunInput.h"
#include "runs/check/DatabaseCatalog.h"

namespace dsadmin {

struct ColumnDifference {
    std::string column;              // the name as the structure file gives it
    std::string model;               // the definition's type and flags, as the statement has them
    std::string database;            // CatalogColumn::text()
    std::vector<std::string> facts;  // "type", "length", "precision", "scale", "identity",
                                     // "primaryKey"
};

struct TableCheck {
    std::string name;  // as the structure file gives it
    bool present = false;
    std::string schema;                     // of the table compared with, when present
    std::vector<ColumnDefinition> missing;  // described, not in the database
    std::vector<CatalogColumn> extra;       // in the database, not described
    std::vector<ColumnDifference> changed;

    bool clean() const { return present && missing.empty() && extra.empty() && changed.empty(); }
};

class StructureCheck {
  public:
    // Reads the structure file (input.structureFile, else DSName of input.setupPath in
    // input.appFolder) as the runs do, then, after the name check, opens the server
    // connection as the runs do, switches to the trimmed database name and reads its catalog
    // (DatabaseCatalog); every query is reported to input.watch. Sends nothing that changes
    // the server, writes no settings and shows no box. Throws DbError (a bad structure file,
    // a refused name, the server's refusal).
    static StructureCheck Run(const RunInput& input);

    // Compares one described table with the catalog.
    static TableCheck Compare(const std::string& table, const std::vector<ColumnDefinition>& model,
                              const DatabaseCatalog& catalog);

    const std::vector<TableCheck>& tables() const { return tables_; }
    bool clean() const;

  private:
    std::vector<TableCheck> tables_;
};

}  // namespace dsadmin
