#include "StructureFile.h"

#include <fstream>

#include "ChildCommand.h"

namespace dsadmin::bench {
namespace {

// fname, flb, flong, fauto, findex of column c (c > 0).
void writeColumn(std::ofstream& tsv, int c) {
    switch (c % 5) {
        case 0:
            tsv << "Amount" << c << "\tDecimal(18,2)\t\\N\t0\t0";
            break;
        case 1:
            tsv << "Name" << c << "\tVarChar\t" << 10 + c << "\t0\t0";
            break;
        case 2:
            tsv << "Count" << c << "\tInt\t0\t0\t0";
            break;
        case 3:
            tsv << "At" << c << "\tDateTime\t\\N\t0\t0";
            break;
        default:
            tsv << "Note" << c << "\tNVarChar(100)\t100\t0\t0";
            break;
    }
}

}  // namespace

std::string WriteStructureFile(const std::string& dir, const std::string& name, int tables,
                               int columns) {
    const std::string tsvPath = dir + "/" + name + ".tsv", dsPath = dir + "/" + name + ".DS";
    {
        std::ofstream tsv(tsvPath);
        tsv << "ftable\tfname\tflb\tflong\tfauto\tfindex\n";
        for (int t = 0; t < tables; ++t) {
            tsv << 'T' << t << "\tID\tInt\t0\t1\t1\n";
            for (int c = 1; c < columns; ++c) {
                tsv << 'T' << t << '\t';
                writeColumn(tsv, c);
                tsv << '\n';
            }
        }
    }
    RunChecked({DsfileExe(), "write", dsPath, "--force"}, Redirects::StdinFrom(tsvPath));
    return dsPath;
}

void WriteStatements(const std::string& structureFile, const std::string& out) {
    RunChecked({DsfileExe(), "script", structureFile}, Redirects::StdoutTo(out));
}

const std::string& DsfileExe() {
    static const std::string path = DSADMIN_DSFILE_EXE;
    return path;
}

const std::string& SandboxExe() {
    static const std::string path = DSADMIN_SANDBOX_EXE;
    return path;
}

}  // namespace dsadmin::bench
