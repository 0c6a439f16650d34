#pragma once
// The groups of figures bench/run prints. Each measures dsadmin and its reference side by
// side, interleaved, `repeats` times, in scratch folders under `work`.

#include <string>

#include "FigureTable.h"

namespace dsadmin::bench {

struct BenchContext {
    std::string work;  // scratch folder, removed by the caller
    int repeats = 3;
    bool quick = false;  // smaller sizes, for a trial of the script itself
};

// Create run against dsadmin-sandbox beside bsqldb sending the same statements; the modify
// run with every table present beside bsqldb sending the same existence queries; the create
// run with the window's wait hook, and the window's own (frm_Main offscreen), beside the run.
void RunFigures(const BenchContext& context, FigureTable& table);
// dsfile script (read ds, build every statement) beside mdb-export of the same file.
void StructureFigures(const BenchContext& context, FigureTable& table);
// CREATE TABLE statements per second that dsadmin-sandbox takes over 1 and 8 connections.
void SandboxFigures(const BenchContext& context, FigureTable& table);
// Logins per second to dsadmin-sandbox without TLS, with the login encrypted and with the
// whole session encrypted.
void ConnectionFigures(const BenchContext& context, FigureTable& table);
// dsadmin-cli plan modify and check of 1,000 tables beside the window's modify run with every
// table present.
void CliFigures(const BenchContext& context, FigureTable& table);
// The window program (main's path to frm_Main) from process start until its first paint event
// and until that paint is done, beside a bare Qt window and one with a single Chinese label
// (offscreen).
void WindowFigures(const BenchContext& context, FigureTable& table);

}  // namespace dsadmin::bench
