#pragma once
// Reads the current result of an executed ODBC statement into client-side rows.

#include <sql.h>

#include "db/RowSet.h"

namespace dsadmin {

// Fetches every row of the statement's current result (it must have columns). Integers
// become whole numbers, bit yes/no, float/real doubles, decimal/numeric whole numbers when
// they have no fraction (else doubles), dates and times Date, everything else UTF-8 text.
// On a failed fetch returns false and leaves the diagnostics on the statement.
bool FetchRows(SQLHSTMT stmt, RowSet& out);

}  // namespace dsadmin
