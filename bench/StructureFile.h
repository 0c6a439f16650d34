#pragma once
// Structure files for measurements, written by dsfile: `tables` tables named T0, T1, ...
// of `columns` columns each (an Int identity key, then a mix of VarChar, Int, DateTime,
// NVarChar and Decimal columns), in table order.

#include <string>

namespace dsadmin::bench {

// Writes <dir>/<name>.DS (and <dir>/<name>.tsv, its rows). Throws std::runtime_error.
std::string WriteStructureFile(const std::string& dir, const std::string& name, int tables,
                               int columns);

// The CREATE TABLE statements a create run sends for `structureFile`, one a line, written to
// `out` by dsfile script. Throws std::runtime_error.
void WriteStatements(const std::string& structureFile, const std::string& out);

// The paths of the tools built beside the benchmarks.
const std::string& DsfileExe();
const std::string& SandboxExe();

}  // namespace dsadmin::bench
